#include "FtpListing.h"

#include "platform/Bytes.h"

#include <QRegularExpression>

namespace {

struct CToken
{
    qsizetype m_nStart = 0;
    qsizetype m_nEnd = 0; // one past the last character
};

// Splits at runs of blanks, remembering where each field lies so that the
// name can be taken from the line itself with its inner spaces intact.
QList<CToken> Tokenize(const QString& line, int maxTokens)
{
    QList<CToken> tokens;
    qsizetype i = 0;
    while (i < line.size() && tokens.size() < maxTokens) {
        while (i < line.size() && line.at(i) == QLatin1Char(' '))
            ++i;
        if (i >= line.size())
            break;
        CToken token;
        token.m_nStart = i;
        while (i < line.size() && line.at(i) != QLatin1Char(' '))
            ++i;
        token.m_nEnd = i;
        tokens.append(token);
    }
    return tokens;
}

bool IsMonth(QStringView text)
{
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    if (text.size() != 3)
        return false;
    for (const char* month : months) {
        if (text.compare(QLatin1String(month), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool IsDigits(QStringView text, int minLength, int maxLength)
{
    if (text.size() < minLength || text.size() > maxLength)
        return false;
    for (QChar c : text) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

// "21:05" or "2024".
bool IsTimeOrYear(QStringView text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return IsDigits(text, 4, 4);
    return IsDigits(text.left(colon), 1, 2) && IsDigits(text.mid(colon + 1), 2, 2);
}

bool LooksLikeUnixMode(const QString& line)
{
    static const QRegularExpression mode(QStringLiteral("^[-dlbcpsDn][-rwxsStTlL]{9}"));
    return mode.match(line).hasMatch();
}

bool ParseUnixLine(const QString& line, CFtpListEntry& entry)
{
    if (!LooksLikeUnixMode(line))
        return false;
    // Mode, links, owner, group, size, month, day, time: the date is found by
    // its shape, since some servers leave out the group or the link count.
    const QList<CToken> tokens = Tokenize(line, 10);
    for (qsizetype i = 2; i + 2 < tokens.size(); ++i) {
        const QStringView month = QStringView(line).mid(tokens[i].m_nStart, tokens[i].m_nEnd - tokens[i].m_nStart);
        const QStringView day =
            QStringView(line).mid(tokens[i + 1].m_nStart, tokens[i + 1].m_nEnd - tokens[i + 1].m_nStart);
        const CToken& time = tokens[i + 2];
        if (!IsMonth(month) || !IsDigits(day, 1, 2)
            || !IsTimeOrYear(QStringView(line).mid(time.m_nStart, time.m_nEnd - time.m_nStart)))
            continue;
        // One blank separates the date from the name; further blanks belong to it.
        QString name = line.mid(time.m_nEnd + 1);
        if (line.at(0) == QLatin1Char('l')) {
            const qsizetype arrow = name.indexOf(QLatin1String(" -> "));
            if (arrow >= 0)
                name.truncate(arrow);
        }
        if (name.isEmpty())
            return false;
        entry.m_strName = name;
        entry.m_bFolder = line.at(0) == QLatin1Char('d');
        return true;
    }
    return false;
}

bool ParseDosLine(const QString& line, CFtpListEntry& entry)
{
    // "12-06-26  09:15PM       <DIR>          Sub Folder"
    // "12-06-26  09:15PM                 1234 a file.txt"
    static const QRegularExpression dos(
        QStringLiteral("^(\\d{1,2}-\\d{1,2}-\\d{2,4})\\s+(\\d{1,2}:\\d{2}\\s*([AaPp][Mm])?)\\s+(<DIR>|\\d+)\\s(.*)$"));
    const QRegularExpressionMatch match = dos.match(line);
    if (!match.hasMatch())
        return false;
    QString name = match.captured(5);
    // The name column starts after the padding that aligns it.
    qsizetype start = 0;
    while (start < name.size() && name.at(start) == QLatin1Char(' '))
        ++start;
    name = name.mid(start);
    if (name.isEmpty())
        return false;
    entry.m_strName = name;
    entry.m_bFolder = match.captured(4) == QLatin1String("<DIR>");
    return true;
}

} // namespace

QString FixedColumnFtpName(const QString& line)
{
    if (line.size() < 55)
        return QString();
    const bool atColumn54 =
        line.at(52) != QLatin1Char(' ') && line.at(53) == QLatin1Char(' ') && line.at(54) != QLatin1Char(' ');
    return line.mid(atColumn54 ? 54 : 59);
}

bool ParseFtpListLine(const QString& line, CFtpListEntry& entry)
{
    if (line.startsWith(QLatin1String("total ")) || line == QLatin1String("total"))
        return false;
    CFtpListEntry parsed;
    if (!ParseUnixLine(line, parsed) && !ParseDosLine(line, parsed)) {
        parsed.m_strName = FixedColumnFtpName(line);
        parsed.m_bFolder = line.startsWith(QLatin1Char('d'));
        if (parsed.m_strName.isEmpty())
            return false;
    }
    if (parsed.m_bFolder && (parsed.m_strName == QLatin1String(".") || parsed.m_strName == QLatin1String("..")))
        return false;
    entry = parsed;
    return true;
}

QList<CFtpListEntry> ParseFtpListing(const QByteArray& listing)
{
    QList<CFtpListEntry> entries;
    qsizetype start = 0;
    for (qsizetype i = 0; i < listing.size(); ++i) {
        const char c = listing.at(i);
        if (c != '\r' && c != '\n')
            continue;
        if (i > start) {
            CFtpListEntry entry;
            if (ParseFtpListLine(FromBytes(listing.mid(start, i - start)), entry))
                entries.append(entry);
        }
        start = i + 1;
    }
    return entries;
}

bool ParseFtpMlsdLine(const QByteArray& line, CFtpListEntry& entry)
{
    const qsizetype space = line.indexOf(' ');
    if (space < 0 || space + 1 >= line.size())
        return false;
    CFtpListEntry parsed;
    QByteArray type;
    for (const QByteArray& fact : line.left(space).split(';')) {
        const qsizetype equals = fact.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray name = fact.left(equals).toLower();
        const QByteArray value = fact.mid(equals + 1);
        if (name == "type") {
            type = value.toLower();
        } else if (name == "size" && IsDigits(QString::fromLatin1(value), 1, 18)) {
            parsed.m_nSize = value.toLongLong();
        }
    }
    if (type == "cdir" || type == "pdir")
        return false;
    parsed.m_bFolder = type == "dir";
    parsed.m_strName = FromBytes(line.mid(space + 1));
    // As with LIST: a folder "." or ".." is the folder itself or its parent.
    if (parsed.m_bFolder && (parsed.m_strName == QLatin1String(".") || parsed.m_strName == QLatin1String("..")))
        return false;
    entry = parsed;
    return true;
}

QList<CFtpListEntry> ParseFtpMlsdListing(const QByteArray& listing)
{
    QList<CFtpListEntry> entries;
    qsizetype start = 0;
    for (qsizetype end = listing.indexOf('\n'); end >= 0; end = listing.indexOf('\n', start)) {
        QByteArray line = listing.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        CFtpListEntry entry;
        if (ParseFtpMlsdLine(line, entry))
            entries.append(entry);
        start = end + 1;
    }
    return entries;
}
