#include "FtpProtocol.h"

#include "platform/Bytes.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// One number of a PASV reply: 1 to 3 digits, blanks around them allowed,
// at most 255. Anything else makes the whole reply unusable: a longer field
// would overflow, and a bent one names something else than it seems to.
bool PasvField(QStringView text, int& value)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 3)
        return false;
    value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    return value <= 255;
}

// The text between the first "(" and the first ")" after it.
bool Parenthesised(const QString& reply, QStringView& inside)
{
    const qsizetype open = reply.indexOf(QLatin1Char('('));
    const qsizetype close = open < 0 ? -1 : reply.indexOf(QLatin1Char(')'), open);
    if (close < 0)
        return false;
    inside = QStringView(reply).mid(open + 1, close - open - 1);
    return true;
}

} // namespace

int FtpReplyClass(const QString& line)
{
    if (line.isEmpty())
        return 0;
    return line.at(0).unicode() - '0';
}

bool ParseFtpPasvReply(const QString& reply, QString& host, int& port)
{
    QStringView inside;
    if (!Parenthesised(reply, inside))
        return false;
    const QList<QStringView> fields = inside.split(QLatin1Char(','));
    if (fields.size() != 6)
        return false;
    int numbers[6] = {};
    for (int i = 0; i < 6; ++i) {
        if (!PasvField(fields[i], numbers[i]))
            return false;
    }
    const int value = numbers[4] * 256 + numbers[5];
    if (value == 0)
        return false;
    host = QStringLiteral("%1.%2.%3.%4").arg(numbers[0]).arg(numbers[1]).arg(numbers[2]).arg(numbers[3]);
    port = value;
    return true;
}

bool ParseFtpEpsvReply(const QString& reply, int& port)
{
    QStringView inside;
    if (!Parenthesised(reply, inside) || inside.size() < 5)
        return false;
    // "|||6446|": a printable delimiter three times, the port, the delimiter.
    const QChar delimiter = inside.at(0);
    if (delimiter.unicode() < 33 || delimiter.unicode() > 126 || inside.at(1) != delimiter || inside.at(2) != delimiter
        || inside.back() != delimiter)
        return false;
    const QStringView digits = inside.mid(3, inside.size() - 4);
    if (digits.isEmpty() || digits.size() > 5)
        return false;
    int value = 0;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

QString MakeFtpPortArgument(const QString& dottedAddress, int port)
{
    QString text = dottedAddress;
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text + QStringLiteral(",%1,%2").arg(port / 256).arg(port % 256);
}

QString MakeFtpEprtArgument(const QString& address, bool ipv6, int port)
{
    return QStringLiteral("|%1|%2|%3|").arg(ipv6 ? 2 : 1).arg(address).arg(port);
}

bool SplitFtpServerName(const QString& serverName, QString& host, int& port, int defaultPort)
{
    const QString name = serverName.trimmed();
    const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
    // More than one colon is a bare IPv6 address; "[addr]:port" names a port.
    const bool bracketed = name.startsWith(QLatin1Char('['));
    if (colon < 0 || (!bracketed && name.indexOf(QLatin1Char(':')) != colon)
        || (bracketed && name.at(colon - 1) != QLatin1Char(']'))) {
        host = name;
        if (bracketed && name.endsWith(QLatin1Char(']')))
            host = name.mid(1, name.size() - 2);
        port = defaultPort;
        return true;
    }
    bool ok = false;
    const int value = name.mid(colon + 1).toInt(&ok);
    if (!ok || value < 1 || value > 65535)
        return false;
    host = name.left(colon);
    if (bracketed)
        host = host.mid(1, host.size() - 2);
    port = value;
    return true;
}

QString FtpReplyText(const QString& reply)
{
    QString text = reply;
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

bool HasFtpLineBreak(const QString& text)
{
    // What counts is the byte that goes out: U+010A is sent as LF.
    for (QChar c : text) {
        const int byte = c.unicode() & 0xFF;
        if (byte == '\r' || byte == '\n')
            return true;
    }
    return false;
}

bool IsSafeFtpName(const QString& name)
{
    // Judged by the bytes on the wire: U+012F goes out as "/", U+012E as ".".
    const QByteArray bytes = ToBytes(name);
    if (bytes.isEmpty() || bytes == "." || bytes == "..")
        return false;
    for (char c : bytes) {
        if (c == '/' || c == '\\' || c == '\r' || c == '\n')
            return false;
    }
    return true;
}

QString FtpSeconds(int ms)
{
    return QString::number(ms / 1000.0, 'g', 4);
}

QString FtpPartPath(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/')) + 1;
    return path.left(slash) + QLatin1Char('.') + path.mid(slash) + QStringLiteral(".tessaro-part");
}

bool ParseFtpSizeReply(const QString& reply, qint64& size)
{
    static const QRegularExpression pattern(QStringLiteral("^213 (\\d{1,18})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(reply);
    if (!match.hasMatch())
        return false;
    size = match.captured(1).toLongLong();
    return true;
}
