#include "FuzzCheck.h"
#include "ftp/FtpProtocol.h"
#include "instrument/Protocol.h"
#include "platform/Bytes.h"

#include <algorithm>

static bool IsControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20;
}

// Names and commands judged by what goes on the wire, where each character
// is sent as its low 8 bits. A text that the checks let through never puts an
// extra line end into an FTP command, a separator or "." ".." into a remote
// path, a "/" or control byte into an instrument command, or a separator into
// a local file name.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QString text = TakeUtf16(input);
    const QByteArray wire = ToBytes(text);

    if (!HasFtpLineBreak(text)) {
        const QByteArray command = ToBytes(QStringLiteral("RETR ") + text + QStringLiteral("\r\n"));
        Check(command.indexOf('\r') == command.size() - 2 && command.indexOf('\n') == command.size() - 1,
              "an FTP command line ends at its own CR LF only");
    }
    if (IsSafeFtpName(text)) {
        const QByteArrayList parts = ToBytes(QStringLiteral("/upload/") + text).split('/');
        Check(parts.size() == 3 && parts[2] == wire && wire != "." && wire != "..", "a remote name is one component");
        Check(!wire.contains('\\') && !wire.contains('\r') && !wire.contains('\n'), "a remote name holds no \\ CR LF");
    }
    if (Protocol::IsSendableName(text)) {
        Check(!wire.isEmpty() && !wire.contains('/') && std::none_of(wire.begin(), wire.end(), IsControl),
              "an instrument name holds no / and no control byte on the wire");
    }
    const int unsendable = Protocol::UnsendableCharacter(text);
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A control byte on the wire is sent as itself or refused at its first place.
        if (IsControl(wire.at(i)) && text.at(i).unicode() > 0xFF)
            Check(unsendable >= 0 && unsendable <= i, "a character that goes out as a control byte is refused");
    }
    Check(unsendable < 0 || text.at(unsendable).unicode() > 0xFF, "only a character above U+00FF is refused");
    const QString fileName = Protocol::SafeFileName(text);
    Check(text.isEmpty() || Protocol::IsSafeFileName(fileName), "a file name from an instrument name is safe");
    if (Protocol::IsSafeFileName(text)) {
        Check(!text.contains(QLatin1Char('/')) && !text.contains(QLatin1Char('\\')) && text != QLatin1String(".")
                  && text != QLatin1String(".."),
              "a safe file name stays in its folder");
    }
    return 0;
}
