// Listings made of facts: MLSD lines (also sent for LIST by some servers)
// and EPLF.
#include "ListingParsers.h"

#include "platform/Bytes.h"

namespace {

bool IsDotName(const QString& name)
{
    return name == QLatin1String(".") || name == QLatin1String("..");
}

// "20240607212233" or "20240607212233.123", UTC.
bool ReadModifyFact(const QByteArray& value, CFtpListEntry& entry)
{
    const QString text = QString::fromLatin1(value);
    if (text.size() < 14 || !IsDigits(QStringView(text).left(14), 14, 14)
        || (text.size() > 14 && (text.at(14) != QLatin1Char('.') || !IsDigits(QStringView(text).mid(15), 1, 9))))
        return false;
    const QDate date(text.left(4).toInt(), text.mid(4, 2).toInt(), text.mid(6, 2).toInt());
    const QTime time(text.mid(8, 2).toInt(), text.mid(10, 2).toInt(), text.mid(12, 2).toInt());
    if (!date.isValid() || !time.isValid())
        return false;
    entry.m_modified = QDateTime(date, time, Qt::UTC);
    entry.m_eTimePrecision = FTP_TIME_SECOND;
    entry.m_bUtc = true;
    return true;
}

// One line of facts "name=value;" up to the first space, then the name.
EFtpLine ReadFacts(const QByteArray& line, CFtpListEntry& entry)
{
    const qsizetype space = line.indexOf(' ');
    if (space < 0 || space + 1 >= line.size())
        return FTP_LINE_UNREAD;
    CFtpListEntry parsed;
    QByteArray type;
    for (const QByteArray& fact : line.left(space).split(';')) {
        const qsizetype equals = fact.indexOf('=');
        if (fact.isEmpty())
            continue;
        if (equals <= 0)
            return FTP_LINE_UNREAD;
        const QByteArray name = fact.left(equals).toLower();
        const QByteArray value = fact.mid(equals + 1);
        if (name == "type")
            type = value;
        else if (name == "size")
            parsed.m_nSize = DecimalNumber(QString::fromLatin1(value));
        else if (name == "modify")
            ReadModifyFact(value, parsed);
    }
    const QByteArray kind = type.toLower();
    if (kind == "cdir" || kind == "pdir")
        return FTP_LINE_NONE;
    parsed.m_bFolder = kind == "dir";
    if (kind.startsWith("os.unix=slink") || kind.startsWith("os.unix=symlink")) {
        parsed.m_bLink = true;
        const qsizetype colon = type.indexOf(':');
        if (colon >= 0)
            parsed.m_strLinkTarget = FromBytes(type.mid(colon + 1));
    }
    parsed.m_strName = FromBytes(line.mid(space + 1));
    // As with LIST: a folder "." or ".." is the folder itself or its parent.
    if (parsed.m_bFolder && IsDotName(parsed.m_strName))
        return FTP_LINE_NONE;
    entry = parsed;
    return FTP_LINE_ENTRY;
}

} // namespace

bool ParseFtpMlsdLine(const QByteArray& line, CFtpListEntry& entry)
{
    return ReadFacts(line, entry) == FTP_LINE_ENTRY;
}

EFtpLine ParseFactsLine(const QString& line, CFtpListEntry& entry)
{
    // In a LIST reply only a line whose first field is all facts counts.
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    if (space < 2 || line.at(space - 1) != QLatin1Char(';'))
        return FTP_LINE_UNREAD;
    for (const QStringView fact : QStringView(line).left(space - 1).split(QLatin1Char(';'))) {
        if (fact.indexOf(QLatin1Char('=')) <= 0)
            return FTP_LINE_UNREAD;
    }
    return ReadFacts(ToBytes(line), entry);
}

EFtpLine ParseEplfLine(const QString& line, CFtpListEntry& entry)
{
    // "+i8388621.44468,m839956783,r,s10376,\tREADME"
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    if (!line.startsWith(QLatin1Char('+')) || tab < 0)
        return FTP_LINE_UNREAD;
    CFtpListEntry parsed;
    for (const QStringView fact : QStringView(line).mid(1, tab - 1).split(QLatin1Char(','))) {
        if (fact == QLatin1String("/")) {
            parsed.m_bFolder = true;
        } else if (fact.startsWith(QLatin1Char('s'))) {
            parsed.m_nSize = DecimalNumber(fact.mid(1));
        } else if (fact.startsWith(QLatin1Char('m'))) {
            const qint64 seconds = DecimalNumber(fact.mid(1));
            if (seconds >= 0 && seconds < 253402300800) { // before the year 10000
                parsed.m_modified = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
                parsed.m_eTimePrecision = FTP_TIME_SECOND;
                parsed.m_bUtc = true;
            }
        }
    }
    parsed.m_strName = line.mid(tab + 1);
    if (parsed.m_strName.isEmpty())
        return FTP_LINE_UNREAD;
    if (parsed.m_bFolder && IsDotName(parsed.m_strName))
        return FTP_LINE_NONE;
    entry = parsed;
    return FTP_LINE_ENTRY;
}

QList<CFtpListEntry> ParseFtpMlsdListing(const QByteArray& listing, int* unread)
{
    QList<CFtpListEntry> entries;
    qsizetype start = 0;
    for (qsizetype end = listing.indexOf('\n'); end >= 0; end = listing.indexOf('\n', start)) {
        QByteArray line = listing.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        CFtpListEntry entry;
        const EFtpLine result = ReadFacts(line, entry);
        if (result == FTP_LINE_ENTRY)
            entries.append(entry);
        else if (result == FTP_LINE_UNREAD && unread && !line.isEmpty())
            ++*unread;
        start = end + 1;
    }
    return entries;
}
