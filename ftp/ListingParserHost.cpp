// LIST lines of VMS, z/OS (MVS) and IBM i (OS/400) servers.
#include "ListingParsers.h"

namespace {

constexpr qint64 kVmsBlock = 512;

// "DATA.TXT;3": the name without its version.
bool SplitVmsName(QStringView field, QStringView& name)
{
    const qsizetype semicolon = field.lastIndexOf(QLatin1Char(';'));
    if (semicolon <= 0 || !IsDigits(field.mid(semicolon + 1), 1, 5))
        return false;
    name = field.left(semicolon);
    return true;
}

// "7-JUN-2024"
bool ReadVmsDate(QStringView field, QDate& date)
{
    const QList<QStringView> parts = field.split(QLatin1Char('-'));
    if (parts.size() != 3 || !IsDigits(parts[0], 1, 2) || !IsDigits(parts[2], 4, 4))
        return false;
    date = QDate(parts[2].toInt(), MonthNumber(parts[1]), parts[0].toInt());
    return date.isValid();
}

bool IsEnclosed(QStringView field, char open, char close)
{
    return field.size() >= 2 && field.front() == QLatin1Char(open) && field.back() == QLatin1Char(close);
}

// 1 to 8 of A-Z, 0-9, @, # and $, not starting with a digit.
bool IsMemberName(QStringView field)
{
    if (field.isEmpty() || field.size() > 8 || field[0].isDigit())
        return false;
    for (QChar c : field) {
        if (!(c >= QLatin1Char('A') && c <= QLatin1Char('Z')) && !(c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            && !QStringView(u"@#$").contains(c))
            return false;
    }
    return true;
}

bool IsUpperWord(QStringView field, int maxLength)
{
    if (field.isEmpty() || field.size() > maxLength)
        return false;
    for (QChar c : field) {
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            return false;
    }
    return true;
}

EFtpLine Named(QString name, CFtpListEntry& parsed, CFtpListEntry& entry)
{
    if (name.isEmpty())
        return FTP_LINE_UNREAD;
    parsed.m_strName = name;
    entry = parsed;
    return FTP_LINE_ENTRY;
}

// "SMS001 3390   2024/06/07  1   15  FB      80 27920  PO  SOURCE.LIB"
EFtpLine ParseDataSetLine(const CListLine& line, CFtpListEntry& entry)
{
    CFtpListEntry parsed;
    if (line.Count() == 2 && line.Token(0) == QLatin1String("Migrated"))
        return Named(line.Token(1).toString(), parsed, entry);
    if (line.Count() == 3 && line.Token(0) == QLatin1String("Pseudo") && line.Token(1) == QLatin1String("Directory")) {
        parsed.m_bFolder = true;
        return Named(line.Token(2).toString(), parsed, entry);
    }
    QDate referred;
    const QStringView dsorg = line.Token(8);
    if (line.Count() != 10 || !IsDigits(line.Token(1), 4, 4)
        || (line.Token(2) != QLatin1String("**NONE**") && !ReadNumericDate(line.Token(2), referred))
        || !IsDigits(line.Token(3), 1, 5) || !IsDigits(line.Token(4), 1, 9) || !IsUpperWord(line.Token(5), 4)
        || !IsDigits(line.Token(6), 1, 6) || !IsDigits(line.Token(7), 1, 6) || dsorg.isEmpty())
        return FTP_LINE_UNREAD;
    // The date is the last reference, not a change, and the space is counted
    // in tracks: neither is kept.
    parsed.m_bFolder = dsorg == QLatin1String("PO") || dsorg == QLatin1String("PO-E");
    return Named(line.Token(9).toString(), parsed, entry);
}

// "MEMBER1   01.01 2024/06/01 2024/06/07 21:22    10    10     0 USERID"
EFtpLine ParseMemberLine(const CListLine& line, const CFtpListContext& context, CFtpListEntry& entry)
{
    CFtpListEntry parsed;
    const QStringView version = line.Token(1);
    CListDate changed;
    QDate created;
    if (line.Count() >= 8 && line.Count() <= 9 && IsMemberName(line.Token(0)) && version.size() == 5
        && version[2] == QLatin1Char('.') && IsDigits(version.left(2), 2, 2) && IsDigits(version.mid(3), 2, 2)
        && ReadNumericDate(line.Token(2), created) && ReadNumericDate(line.Token(3), changed.m_date)
        && ReadClock(line.Token(4), changed.m_time, changed.m_ePrecision)) {
        // The size is counted in records, not bytes.
        SetEntryTime(parsed, changed);
        return Named(line.Token(0).toString(), parsed, entry);
    }
    // A member without statistics is its name alone, which only the
    // server's system tells from other lines.
    if (context.m_eSystem == FTP_SYSTEM_MVS && line.Count() == 1 && IsMemberName(line.Token(0)))
        return Named(line.Token(0).toString(), parsed, entry);
    return FTP_LINE_UNREAD;
}

} // namespace

bool IsVmsNameAlone(const CListLine& line)
{
    QStringView name;
    return line.Count() == 1 && SplitVmsName(line.Token(0), name);
}

EFtpLine ParseVmsLine(const CListLine& line, CFtpListEntry& entry)
{
    // "Directory DISK$USER:[SURVEY]" heads the listing, "Total of 3 files,
    // 12/36 blocks." and "Grand total of ..." end it.
    const QStringView first = line.Token(0);
    if ((first == QLatin1String("Directory") && line.Count() == 2)
        || (first == QLatin1String("Total") && line.Token(1) == QLatin1String("of"))
        || (first == QLatin1String("Grand") && line.Token(1) == QLatin1String("total")))
        return FTP_LINE_NONE;
    // "DATA.TXT;1   213/216  29-JAN-2024 03:33:12  [SURVEY,OWNER]  (RWED,RWED,RE,)"
    QStringView name;
    const QStringView size = line.Token(1);
    const qsizetype slash = size.indexOf(QLatin1Char('/'));
    const QStringView blocks = slash < 0 ? size : size.left(slash); // used, then allocated
    CListDate date;
    if (!SplitVmsName(first, name) || !IsDigits(blocks, 1, 12) || (slash >= 0 && !IsDigits(size.mid(slash + 1), 1, 12))
        || !ReadVmsDate(line.Token(2), date.m_date))
        return FTP_LINE_UNREAD;
    date.m_ePrecision = FTP_TIME_DAY;
    qsizetype field = 3;
    if (ReadClock(line.Token(field), date.m_time, date.m_ePrecision))
        ++field;
    if (IsEnclosed(line.Token(field), '[', ']'))
        ++field;
    if (IsEnclosed(line.Token(field), '(', ')'))
        ++field;
    if (field != line.Count())
        return FTP_LINE_UNREAD;
    CFtpListEntry parsed;
    SetEntryTime(parsed, date);
    if (name.endsWith(QLatin1String(".DIR"), Qt::CaseInsensitive)) {
        parsed.m_bFolder = true;
        name.chop(4);
    } else {
        parsed.m_nSize = blocks.toLongLong() * kVmsBlock;
    }
    return Named(name.toString(), parsed, entry);
}

EFtpLine ParseMvsLine(const CListLine& line, const CFtpListContext& context, CFtpListEntry& entry)
{
    const QStringView first = line.Token(0);
    // " Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname" and
    // " Name     VV.MM   Created ..." or " Name      Size     TTR ..." for members.
    if ((first == QLatin1String("Volume") && line.Token(1) == QLatin1String("Unit"))
        || (first == QLatin1String("Name")
            && (line.Token(1) == QLatin1String("VV.MM") || line.Token(2) == QLatin1String("TTR"))))
        return FTP_LINE_NONE;
    const EFtpLine result = ParseDataSetLine(line, entry);
    return result == FTP_LINE_UNREAD ? ParseMemberLine(line, context, entry) : result;
}

EFtpLine ParseOs400Line(const CListLine& line, CFtpListEntry& entry)
{
    // "SURVEY        77824 06/07/24 21:22:00 *DIR       Jobs/"
    // "SURVEY                                *MEM       QGPL/QCLSRC.FILE/MBR1.MBR"
    const qsizetype typeAt = line.Token(4).startsWith(QLatin1Char('*')) ? 4 : 1;
    const QStringView type = line.Token(typeAt);
    if (type.size() < 3 || !type.startsWith(QLatin1Char('*')) || !IsUpperWord(type.mid(1), 10)
        || typeAt + 1 >= line.Count())
        return FTP_LINE_UNREAD;
    CFtpListEntry parsed;
    if (typeAt == 4) {
        CListDate date;
        parsed.m_nSize = DecimalNumber(line.Token(1));
        if (parsed.m_nSize < 0 || !ReadNumericDate(line.Token(2), date.m_date)
            || !ReadClock(line.Token(3), date.m_time, date.m_ePrecision))
            return FTP_LINE_UNREAD;
        SetEntryTime(parsed, date);
    }
    static const QStringList folders{QStringLiteral("*DIR"), QStringLiteral("*DDIR"), QStringLiteral("*LIB"),
                                     QStringLiteral("*FLR"), QStringLiteral("*FILE")};
    parsed.m_bFolder = folders.contains(type);
    parsed.m_bLink = type == QLatin1String("*SYMLNK");
    if (parsed.m_bFolder)
        parsed.m_nSize = -1;
    // Objects of the library file system are listed with their path; the
    // entry is the last part.
    QString name = line.After(typeAt, CListLine::kAllBlanks);
    if (name.endsWith(QLatin1Char('/')))
        name.chop(1);
    return Named(name.mid(name.lastIndexOf(QLatin1Char('/')) + 1), parsed, entry);
}
