// LIST lines of Unix servers ("ls -l" and its variants) and of NetWare.
#include "ListingParsers.h"

namespace {

// "drwxr-xr-x", perhaps with "+", "@" or "." after it for ACLs and
// extended attributes.
bool IsUnixMode(QStringView mode)
{
    if (mode.size() == 11 && QStringView(u"+@.").contains(mode.back()))
        mode.chop(1);
    if (mode.size() != 10 || !QStringView(u"-dlbcpsDn").contains(mode[0]))
        return false;
    for (qsizetype i = 1; i < mode.size(); ++i) {
        if (!QStringView(u"-rwxsStTlL").contains(mode[i]))
            return false;
    }
    return true;
}

// A device's size field: the minor number after "major," or "major,minor".
bool IsDeviceNumbers(const CListLine& line, qsizetype index)
{
    const QStringView field = line.Token(index);
    const QStringView before = line.Token(index - 1);
    if (IsDigits(field, 1, 9))
        return before.endsWith(QLatin1Char(',')) && IsDigits(before.chopped(1), 1, 9);
    const qsizetype comma = field.indexOf(QLatin1Char(','));
    return comma > 0 && IsDigits(field.left(comma), 1, 9) && IsDigits(field.mid(comma + 1), 1, 9);
}

// A field that could start or continue a date: a line whose date no rule
// read must not give the date as part of a name.
bool LooksLikeDate(const CListLine& line, qsizetype index)
{
    for (qsizetype i = index; i < index + 3 && i < line.Count(); ++i) {
        const QStringView field = line.Token(i);
        QTime time;
        EFtpTimePrecision precision;
        QDate date;
        if (ReadClock(field, time, precision) || ReadNumericDate(field, date)
            || (IsDigits(field, 4, 4) && field.toInt() >= 1900 && field.toInt() < 2100))
            return true;
    }
    return false;
}

EFtpLine TakeName(QString name, QChar kind, CFtpListEntry& entry)
{
    if (kind == QLatin1Char('l')) {
        // "ls" cannot say whether " -> " belongs to the name or the target;
        // the first one is taken as the separator.
        const qsizetype arrow = name.indexOf(QLatin1String(" -> "));
        if (arrow >= 0) {
            entry.m_strLinkTarget = name.mid(arrow + 4);
            name.truncate(arrow);
        }
        entry.m_bLink = true;
    }
    if (name.isEmpty())
        return FTP_LINE_UNREAD;
    entry.m_strName = name;
    entry.m_bFolder = kind == QLatin1Char('d');
    if (entry.m_bFolder && (name == QLatin1String(".") || name == QLatin1String("..")))
        return FTP_LINE_NONE;
    return FTP_LINE_ENTRY;
}

// Mode, links, owner, group, size and no date at all; or without the group.
EFtpLine ParseUndatedLine(const CListLine& line, CFtpListEntry& entry)
{
    if (!IsDigits(line.Token(1), 1, 9))
        return FTP_LINE_UNREAD;
    for (const qsizetype size : {4, 3}) {
        if (size + 1 >= line.Count() || DecimalNumber(line.Token(size)) < 0
            || (size == 3 && DecimalNumber(line.Token(4)) >= 0) || LooksLikeDate(line, size + 1))
            continue;
        const QChar kind = line.Token(0).at(0);
        if (kind != QLatin1Char('b') && kind != QLatin1Char('c'))
            entry.m_nSize = DecimalNumber(line.Token(size));
        return TakeName(line.After(size, 1), kind, entry);
    }
    return FTP_LINE_UNREAD;
}

} // namespace

EFtpLine ParseUnixLine(const CListLine& line, const CFtpListContext& context, CFtpListEntry& entry)
{
    if (!IsUnixMode(line.Token(0)))
        return FTP_LINE_UNREAD;
    const QChar kind = line.Token(0).at(0);
    const bool device = kind == QLatin1Char('b') || kind == QLatin1Char('c');
    // The size stands right before the date. Before it come the link count,
    // owner and group, or fewer of them; the full set is tried first so
    // that an owner or group that reads like a date is not taken for one.
    for (const qsizetype size : {4, 3, 2, 1, 5}) {
        if ((size == 4 && !IsDigits(line.Token(1), 1, 9)) || (size == 5 && !device))
            continue;
        if (device ? !IsDeviceNumbers(line, size) : DecimalNumber(line.Token(size)) < 0)
            continue;
        const CListDate date = ReadUnixDate(line, size + 1, context.m_today);
        const qsizetype last = size + date.m_nTokens;
        if (!date.m_nTokens || last + 1 >= line.Count())
            continue;
        CFtpListEntry parsed;
        parsed.m_nSize = device ? -1 : DecimalNumber(line.Token(size));
        SetEntryTime(parsed, date);
        // One blank ends the date; further blanks belong to the name.
        const EFtpLine result = TakeName(line.After(last, 1), kind, parsed);
        if (result == FTP_LINE_ENTRY)
            entry = parsed;
        return result;
    }
    CFtpListEntry parsed;
    const EFtpLine result = ParseUndatedLine(line, parsed);
    if (result == FTP_LINE_ENTRY)
        entry = parsed;
    return result;
}

EFtpLine ParseNetWareLine(const CListLine& line, const CFtpListContext& context, CFtpListEntry& entry)
{
    // "d [RWCEAFMS] owner  512  Jun 07 21:22  name"
    const QStringView kind = line.Token(0);
    const QStringView rights = line.Token(1);
    if ((kind != QLatin1String("d") && kind != QLatin1String("-")) || rights.size() != 10
        || !rights.startsWith(QLatin1Char('[')) || !rights.endsWith(QLatin1Char(']')))
        return FTP_LINE_UNREAD;
    for (QChar c : rights.mid(1, 8)) {
        if (!QStringView(u"RWCEAFMS-").contains(c))
            return FTP_LINE_UNREAD;
    }
    const qint64 size = DecimalNumber(line.Token(3));
    const CListDate date = ReadUnixDate(line, 4, context.m_today);
    const qsizetype last = 3 + date.m_nTokens;
    if (size < 0 || !date.m_nTokens || last + 1 >= line.Count())
        return FTP_LINE_UNREAD;
    CFtpListEntry parsed;
    parsed.m_nSize = size;
    SetEntryTime(parsed, date);
    // NetWare pads before the name.
    const EFtpLine result = TakeName(line.After(last, CListLine::kAllBlanks), kind.at(0), parsed);
    if (result == FTP_LINE_ENTRY)
        entry = parsed;
    return result;
}
