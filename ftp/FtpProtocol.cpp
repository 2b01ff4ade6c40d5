#include "FtpProtocol.h"

#include "platform/Bytes.h"

#include <QStringList>

namespace {

// Decimal number as the C library reads it: leading white space, then digits
// up to the first character that is not one.
int LeadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    int value = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i) {
        value = value * 10 + (text.at(i).unicode() - '0');
        if (value > 0xFFFFFF)
            break;
    }
    return value;
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
    const qsizetype open = reply.indexOf(QLatin1Char('('));
    const qsizetype close = reply.indexOf(QLatin1Char(')'));
    if (open < 0 || close < 0 || close < open)
        return false;
    QString numbers = reply.mid(open + 1, close - open - 1);

    qsizetype comma = numbers.lastIndexOf(QLatin1Char(','));
    if (comma < 0)
        return false;
    const int low = LeadingNumber(numbers.mid(comma + 1));
    numbers.truncate(comma);
    comma = numbers.lastIndexOf(QLatin1Char(','));
    if (comma < 0)
        return false;
    const int high = LeadingNumber(numbers.mid(comma + 1));
    numbers.truncate(comma);

    QStringList parts = numbers.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    for (QString& part : parts)
        part = QString::number(LeadingNumber(part));
    host = parts.join(QLatin1Char('.'));
    port = high * 256 + low;
    return port > 0 && port <= 65535;
}

QString MakeFtpPortArgument(const QString& dottedAddress, int port)
{
    QString text = dottedAddress;
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text + QStringLiteral(",%1,%2").arg(port / 256).arg(port % 256);
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

QString FtpServerPath(const QString& treePath)
{
    return QString(treePath).replace(QLatin1Char('\\'), QLatin1Char('/'));
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
