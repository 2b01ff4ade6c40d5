// Data connections of CFtpClient: opening one in passive mode (EPSV, PASV)
// or active mode (PORT, EPRT), and moving its bytes.
#include "FtpClient.h"

#include "FtpDataLink.h"
#include "FtpProtocol.h"

#include "platform/Clock.h"
#include "platform/Progress.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QIODevice>
#include <QSslSocket>

namespace {

// Upload data queued in the socket beyond this many blocks is written out
// before the next block is read, so that memory stays small.
constexpr int kQueuedBlocks = 4;

// Over TLS a block goes to the socket in pieces of four full TLS records:
// each piece is encrypted and handed to the kernel in one write, so no
// buffer on the way holds more than a piece. Qt and OpenSSL allocate and
// free their buffers for every piece (see CFtpDataLink::StartTls): pieces
// of one record cost a third more processor time, larger ones gain nothing.
constexpr qint64 kTlsPiece = 64 * 1024;

// The bytes the socket still holds: over TLS the encrypted ones not yet
// handed to the kernel count too, as the plain text is encrypted at once.
qint64 QueuedBytes(const QTcpSocket& data)
{
    const auto* tls = qobject_cast<const QSslSocket*>(&data);
    return data.bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0);
}

// Writes size bytes in pieces, each flushed; returns how many the socket
// took, or -1 when it failed.
qint64 WriteInPieces(QTcpSocket& data, const char* bytes, qint64 size, qint64 piece)
{
    qint64 taken = 0;
    while (taken < size) {
        const qint64 sent = data.write(bytes + taken, qMin(piece, size - taken));
        if (sent < 0)
            return -1;
        taken += sent;
        data.flush();
        if (sent < piece)
            break;
    }
    return taken;
}

} // namespace

bool CFtpClient::IsIPv6Control() const
{
    bool ipv4 = false;
    m_pControl->peerAddress().toIPv4Address(&ipv4);
    return !ipv4;
}

void CFtpClient::ListingPause(int ms)
{
    if (m_bListing && m_eCopyMode == COPY_AS_EXPLORER)
        CServices::Clock().Sleep(ms);
}

bool CFtpClient::SetBinaryType()
{
    // A server keeps the type for the connection; only the explorer repeats it.
    if (m_eCopyMode == COPY_FAST && m_bBinaryType)
        return true;
    m_bBinaryType = Command(QStringLiteral("TYPE I"));
    return m_bBinaryType;
}

bool CFtpClient::OpenDataConnection(const QString& command, bool passive, CFtpDataLink& link)
{
    // Behind NAT or a firewall one of the modes often cannot connect at all;
    // the other is tried once, and kept for this connection if it works.
    const bool first = passive != m_bOtherModeWorks;
    EDataOpen result = TryDataConnection(command, first, link);
    if (result == DATA_NO_CONNECTION && IsOpen() && !m_bModeSettled) {
        link.Abort();
        result = TryDataConnection(command, !first, link);
        if (result == DATA_OPEN)
            m_bOtherModeWorks = !m_bOtherModeWorks;
    }
    // A fast copy does not pay for a mode that failed once more per file.
    if (result == DATA_OPEN && m_eCopyMode == COPY_FAST)
        m_bModeSettled = true;
    return result == DATA_OPEN;
}

CFtpClient::EDataOpen CFtpClient::TryDataConnection(const QString& command, bool passive, CFtpDataLink& link)
{
    if (!m_pControl)
        return DATA_FAILED;
    if (passive) {
        quint16 port = 0;
        if (!EnterPassiveMode(port))
            return IsOpen() ? DATA_NO_CONNECTION : DATA_FAILED;
        // The server's own address, whatever the reply named: a PASV reply
        // must not send the data to a third party or an internal address.
        if (!link.Connect(m_pControl->peerAddress(), port, m_nTimeoutMs)) {
            m_strReply = LoadString(IDS_FTP_NO_DATA_CONNECTION);
            return DATA_NO_CONNECTION;
        }
    } else if (!EnterActiveMode(link)) {
        return IsOpen() ? DATA_NO_CONNECTION : DATA_FAILED;
    }
    ListingPause(100);
    if (!SendRest() || !SendLine(command))
        return DATA_FAILED;
    ListingPause(300);
    if (!ReadReply())
        return DATA_FAILED;
    if (m_nReplyClass != 1) {
        // 425: the server could not open the data connection either.
        return m_strReply.startsWith(QLatin1String("425")) ? DATA_NO_CONNECTION : DATA_FAILED;
    }
    ListingPause(100);
    if (!passive && !link.Accept(m_pControl->peerAddress(), m_nTimeoutMs)) {
        // The announced connection never came; the closing reply is still due.
        Command(QString());
        m_strReply = LoadString(IDS_FTP_NO_DATA_CONNECTION);
        return DATA_FAILED;
    }
    if (!SecureData(link)) {
        const QString problem = m_strReply;
        link.Abort();
        Command(QString());
        m_strReply = problem;
        return DATA_FAILED;
    }
    ListingPause(100);
    return DATA_OPEN;
}

bool CFtpClient::SendRest()
{
    // Right before the transfer command, as REST STREAM asks.
    m_bRestRefused = false;
    if (m_nRestOffset == 0)
        return true;
    if (!SendLine(QStringLiteral("REST %1").arg(m_nRestOffset)) || !ReadReply())
        return false;
    m_bRestRefused = m_nReplyClass != 3;
    return !m_bRestRefused;
}

bool CFtpClient::EnterPassiveMode(quint16& port)
{
    // PASV cannot name an IPv6 port; EPSV is tried first everywhere and,
    // once refused, not again on this connection.
    const bool ipv6 = IsIPv6Control();
    if (ipv6 || !m_bEpsvRefused) {
        int value = 0;
        if (Command(QStringLiteral("EPSV")) && ParseFtpEpsvReply(m_strReply, value)) {
            port = static_cast<quint16>(value);
            return true;
        }
        if (!IsOpen() || ipv6)
            return false;
        m_bEpsvRefused = true;
    }
    QString host;
    int value = 0;
    if (!Command(QStringLiteral("PASV")) || !ParseFtpPasvReply(m_strReply, host, value))
        return false;
    port = static_cast<quint16>(value);
    return true;
}

bool CFtpClient::EnterActiveMode(CFtpDataLink& link)
{
    m_strReply = LoadString(IDS_FTP_NO_SOCKET_NAME);
    const QHostAddress local = m_pControl->localAddress();
    if (!link.Listen(local))
        return false;
    ListingPause(100);
    ListingPause(100);
    bool ipv4 = false;
    const quint32 dotted = local.toIPv4Address(&ipv4);
    const QString command = ipv4
        ? QStringLiteral("PORT ") + MakeFtpPortArgument(QHostAddress(dotted).toString(), link.ListenPort())
        : QStringLiteral("EPRT ") + MakeFtpEprtArgument(local.toString(), true, link.ListenPort());
    return Command(command);
}

CFtpClient::EDataEnd CFtpClient::ReceiveData(QTcpSocket& data, QIODevice& target, qint64 limit, bool showBytes)
{
    CProgress& progress = CServices::Progress();
    QByteArray block(qMax(1, m_nBlockSize), Qt::Uninitialized);
    qint64 count = 0;
    for (;;) {
        if (progress.PollCancel())
            return END_CANCELLED;
        if (data.bytesAvailable() == 0) {
            if (data.state() != QAbstractSocket::ConnectedState)
                return END_COMPLETE;
            if (!data.waitForReadyRead(m_nTimeoutMs) && data.bytesAvailable() == 0) {
                if (data.error() == QAbstractSocket::SocketTimeoutError)
                    return END_STALLED;
                // The server closing the connection is the normal end.
                return data.error() == QAbstractSocket::RemoteHostClosedError ? END_COMPLETE : END_BROKEN;
            }
        }
        const qint64 received = data.read(block.data(), block.size());
        if (received < 0)
            return END_BROKEN;
        if (received == 0)
            continue;
        if (received > limit - count)
            return END_TOO_LARGE;
        if (target.write(block.constData(), received) != received)
            return END_FILE_ERROR;
        count += received;
        if (showBytes)
            ShowBytes(count);
    }
}

CFtpClient::EDataEnd CFtpClient::SendData(QTcpSocket& data, QIODevice& source)
{
    CProgress& progress = CServices::Progress();
    QByteArray block(qMax(1, m_nBlockSize), Qt::Uninitialized);
    // The socket takes whole blocks and writes them out as the peer reads;
    // only a few blocks wait in memory, and Cancel is polled while they go.
    const qint64 maxQueued = kQueuedBlocks * qMax<qint64>(block.size(), 64 * 1024);
    const auto* tls = qobject_cast<const QSslSocket*>(&data);
    const qint64 piece = tls && tls->isEncrypted() ? kTlsPiece : block.size();
    qint64 count = 0;
    for (;;) {
        if (progress.PollCancel())
            return END_CANCELLED;
        if (QueuedBytes(data) > maxQueued) {
            if (!data.waitForBytesWritten(m_nTimeoutMs))
                return data.error() == QAbstractSocket::SocketTimeoutError ? END_STALLED : END_BROKEN;
            data.flush();
            continue;
        }
        const qint64 read = source.read(block.data(), block.size());
        if (read < 0)
            return END_FILE_ERROR;
        if (read == 0)
            return END_COMPLETE;
        const qint64 sent = WriteInPieces(data, block.constData(), read, piece);
        if (sent < 0)
            return END_BROKEN;
        if (sent < read)
            source.seek(source.pos() - (read - sent));
        count += sent;
        ShowBytes(count);
        progress.Step();
    }
}

void CFtpClient::ShowBytes(qint64 count)
{
    // A resumed transfer goes on counting where it broke off; one started
    // over does not count from 0 again.
    m_nShownBytes = qMax(m_nShownBytes, m_nDataBase + count);
    CServices::Progress().SetBytes(m_nShownBytes);
}

bool CFtpClient::EndData(EDataEnd end, CFtpDataLink& link)
{
    // The data stopped early: drop the connection and read the closing reply
    // so that the control connection stays in step. What the client knows
    // about the data wins over a reply that claims success; a failure reply
    // of the server is kept, as it says more.
    link.Abort();
    // A stall has used up the time-out: the closing reply is taken if it is
    // there within a tenth of it, else the control connection is closed as
    // out of step.
    const int timeoutMs = m_nTimeoutMs;
    if (end == END_STALLED)
        m_nTimeoutMs = timeoutMs / 10;
    const bool confirmed = Command(QString());
    m_nTimeoutMs = timeoutMs;
    if (end == END_CANCELLED) {
        m_bCancelled = true;
        return false;
    }
    const bool serverFailed = !confirmed && IsOpen() && (m_nReplyClass == 4 || m_nReplyClass == 5);
    if (serverFailed && end != END_FILE_ERROR && end != END_TOO_LARGE)
        return false;
    switch (end) {
    case END_STALLED:
        m_strReply = LoadString(IDS_FTP_DATA_TIMEOUT).arg(FtpSeconds(m_nTimeoutMs));
        break;
    case END_BROKEN:
        m_strReply = LoadString(IDS_FTP_DATA_BROKEN);
        break;
    case END_FILE_ERROR:
        m_strReply = LoadString(IDS_FILE_ERROR);
        break;
    case END_TOO_LARGE:
        m_strReply = LoadString(IDS_FTP_LISTING_TOO_LARGE).arg(m_nMaxListingBytes / (1024 * 1024));
        break;
    case END_COMPLETE:
    case END_CANCELLED:
        break;
    }
    return false;
}
