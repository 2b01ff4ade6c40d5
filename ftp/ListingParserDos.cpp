// LIST lines of Windows (IIS and "dir"), OS/2 and VxWorks servers.
#include "ListingParsers.h"

namespace {

bool IsAmPm(QStringView field)
{
    return field.compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0
        || field.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
}

bool IsDotFolder(const CFtpListEntry& entry)
{
    return entry.m_bFolder && (entry.m_strName == QLatin1String(".") || entry.m_strName == QLatin1String(".."));
}

EFtpLine Taken(const CFtpListEntry& parsed, CFtpListEntry& entry)
{
    if (parsed.m_strName.isEmpty())
        return FTP_LINE_UNREAD;
    if (IsDotFolder(parsed))
        return FTP_LINE_NONE;
    entry = parsed;
    return FTP_LINE_ENTRY;
}

} // namespace

EFtpLine ParseDosLine(const CListLine& line, CFtpListEntry& entry)
{
    // "02-14-24  03:21PM       <DIR>          aspnet_client"
    // "06/07/2024  09:22 PM         1,234,567 report.pdf"
    CListDate date;
    qsizetype field = 2;
    if (!ReadNumericDate(line.Token(0), date.m_date))
        return FTP_LINE_UNREAD;
    if (IsAmPm(line.Token(2))) {
        if (!ReadClock(line.Token(1).toString() + line.Token(2).toString(), date.m_time, date.m_ePrecision))
            return FTP_LINE_UNREAD;
        ++field;
    } else if (!ReadClock(line.Token(1), date.m_time, date.m_ePrecision)) {
        return FTP_LINE_UNREAD;
    }
    if (field + 1 >= line.Count())
        return FTP_LINE_UNREAD;
    CFtpListEntry parsed;
    SetEntryTime(parsed, date);
    const QStringView what = line.Token(field);
    if (what.startsWith(QLatin1Char('<')) && what.endsWith(QLatin1Char('>'))) {
        parsed.m_bFolder = what == QLatin1String("<DIR>");
        parsed.m_bLink = what == QLatin1String("<JUNCTION>") || what == QLatin1String("<SYMLINK>")
            || what == QLatin1String("<SYMLINKD>");
        if (!parsed.m_bFolder && !parsed.m_bLink)
            return FTP_LINE_UNREAD;
        // The tag and its padding fill 15 columns; blanks beyond belong to the name.
        parsed.m_strName = line.After(field, qMax(1, 15 - int(what.size())));
        const qsizetype open = parsed.m_strName.lastIndexOf(QLatin1String(" ["));
        if (parsed.m_bLink && open > 0 && parsed.m_strName.endsWith(QLatin1Char(']'))) {
            parsed.m_strLinkTarget = parsed.m_strName.mid(open + 2).chopped(1);
            parsed.m_strName.truncate(open);
        }
    } else {
        parsed.m_nSize = GroupedNumber(what);
        if (parsed.m_nSize < 0)
            return FTP_LINE_UNREAD;
        parsed.m_strName = line.After(field, 1);
    }
    return Taken(parsed, entry);
}

EFtpLine ParseOs2Line(const CListLine& line, CFtpListEntry& entry)
{
    // "     12345      A          05-12-24   14:20  file.txt"
    // "         0           DIR   05-12-24   14:20  folder"
    CFtpListEntry parsed;
    parsed.m_nSize = DecimalNumber(line.Token(0));
    if (parsed.m_nSize < 0)
        return FTP_LINE_UNREAD;
    qsizetype field = 1;
    for (; field < 4; ++field) {
        const QStringView attributes = line.Token(field);
        if (attributes == QLatin1String("DIR")) {
            parsed.m_bFolder = true;
            continue;
        }
        bool attribute = !attributes.isEmpty() && attributes.size() <= 4;
        for (QChar c : attributes)
            attribute = attribute && QStringView(u"ARHS").contains(c);
        if (!attribute)
            break;
    }
    const QStringView day = line.Token(field);
    CListDate date;
    if (day.size() != 8 || day[2] != QLatin1Char('-') || !ReadNumericDate(day, date.m_date)
        || !ReadClock(line.Token(field + 1), date.m_time, date.m_ePrecision) || field + 2 >= line.Count())
        return FTP_LINE_UNREAD;
    SetEntryTime(parsed, date);
    if (parsed.m_bFolder)
        parsed.m_nSize = -1;
    parsed.m_strName = line.After(field + 1, 2);
    return Taken(parsed, entry);
}

EFtpLine ParseVxWorksLine(const CListLine& line, CFtpListEntry& entry)
{
    // "  size          date       time       name" and a rule of dashes
    // head the listing.
    if (line.Count() == 4 && line.Token(0) == QLatin1String("size") && line.Token(3) == QLatin1String("name"))
        return FTP_LINE_NONE;
    if (line.Count() == 4 && line.Text().trimmed().remove(QLatin1Char('-')).remove(QLatin1Char(' ')).isEmpty())
        return FTP_LINE_NONE;
    // "     512    JUN-07-2024  21:22:33   sub dir           <DIR>"
    const QList<QStringView> day = line.Token(1).split(QLatin1Char('-'));
    CFtpListEntry parsed;
    parsed.m_nSize = DecimalNumber(line.Token(0));
    if (parsed.m_nSize < 0 || day.size() != 3 || !IsDigits(day[1], 1, 2) || !IsDigits(day[2], 4, 4) || line.Count() < 4)
        return FTP_LINE_UNREAD;
    CListDate date;
    date.m_date = QDate(day[2].toInt(), MonthNumber(day[0]), day[1].toInt());
    if (!date.m_date.isValid() || !ReadClock(line.Token(2), date.m_time, date.m_ePrecision))
        return FTP_LINE_UNREAD;
    SetEntryTime(parsed, date);
    QString name = line.After(2, CListLine::kAllBlanks);
    if (name.endsWith(QLatin1String("<DIR>"))) {
        parsed.m_bFolder = true;
        name.chop(5);
        while (name.endsWith(QLatin1Char(' ')))
            name.chop(1);
        parsed.m_nSize = -1;
    }
    parsed.m_strName = name;
    return Taken(parsed, entry);
}
