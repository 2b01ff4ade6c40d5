#include "FuzzCheck.h"
#include "ftp/FtpProtocol.h"
#include "platform/Bytes.h"

#include <QHostAddress>

// Four numbers 0..255 joined by ".", written without leading zeros.
static bool IsDottedQuad(const QString& host)
{
    const QHostAddress address(host);
    return address.protocol() == QAbstractSocket::IPv4Protocol && address.toString() == host;
}

// PASV and EPSV replies as the server sends them, byte by byte: an address
// taken from one is a dotted quad and a port in 1..65535, and the PORT, PASV
// and EPSV forms of that address read back to the same address.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString reply = FromBytes(InputBytes(data, size));
    QString host;
    int port = 0;
    if (ParseFtpPasvReply(reply, host, port)) {
        Check(IsPort(port) && IsDottedQuad(host), "a PASV address is a dotted quad and a port in 1..65535");
        const QString argument = MakeFtpPortArgument(host, port);
        Check(!HasFtpLineBreak(argument), "a PORT argument holds no line break");
        QString again;
        int againPort = 0;
        Check(ParseFtpPasvReply(QStringLiteral("227 Entering Passive Mode (%1).\r\n").arg(argument), again, againPort)
                  && again == host && againPort == port,
              "a PASV address reads back from its PORT form");
    }
    if (ParseFtpEpsvReply(reply, port)) {
        Check(IsPort(port), "an EPSV port is in 1..65535");
        int again = 0;
        Check(ParseFtpEpsvReply(QStringLiteral("229 Entering Extended Passive Mode (|||%1|)\r\n").arg(port), again)
                  && again == port,
              "an EPSV port reads back");
    }
    return 0;
}
