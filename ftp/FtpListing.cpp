// Picks the rule for each LIST line; the families' rules are in
// ListingParser*.cpp.
#include "FtpListing.h"

#include "ListingParsers.h"

#include "platform/Bytes.h"

#include <QSet>

namespace {

// "total 24", "total 24K": the blocks that "ls -l" counts first.
bool IsTotalLine(const CListLine& line)
{
    if (line.Count() != 2 || line.Token(0) != QLatin1String("total"))
        return false;
    QStringView count = line.Token(1);
    if (!count.isEmpty() && count.back().isLetter())
        count.chop(1);
    return IsDigits(count, 1, 18);
}

EFtpLine ParseLine(const QString& text, const CFtpListContext& context, CFtpListEntry& entry, bool& vms)
{
    vms = false;
    const CListLine line(text);
    if (line.Count() == 0 || IsTotalLine(line))
        return FTP_LINE_NONE;
    EFtpLine result = ParseFactsLine(text, entry);
    if (result == FTP_LINE_UNREAD)
        result = ParseEplfLine(text, entry);
    if (result == FTP_LINE_UNREAD)
        result = ParseUnixLine(line, context, entry);
    if (result == FTP_LINE_UNREAD)
        result = ParseNetWareLine(line, context, entry);
    if (result == FTP_LINE_UNREAD)
        result = ParseDosLine(line, entry);
    if (result == FTP_LINE_UNREAD)
        result = ParseOs2Line(line, entry);
    if (result == FTP_LINE_UNREAD)
        result = ParseVxWorksLine(line, entry);
    if (result == FTP_LINE_UNREAD) {
        result = ParseVmsLine(line, entry);
        vms = result == FTP_LINE_ENTRY;
    }
    if (result == FTP_LINE_UNREAD)
        result = ParseOs400Line(line, entry);
    if (result == FTP_LINE_UNREAD)
        result = ParseMvsLine(line, context, entry);
    // Whatever the family: a folder "." or ".." is the folder itself or its parent.
    if (result == FTP_LINE_ENTRY && entry.m_bFolder
        && (entry.m_strName == QLatin1String(".") || entry.m_strName == QLatin1String("..")))
        return FTP_LINE_NONE;
    return result;
}

// Collects the entries of a LIST reply line by line.
class CListingReader
{
public:
    explicit CListingReader(const CFtpListContext& context) : m_context(context)
    {
        // Once for the listing: the current date costs a look at the zone.
        if (!m_context.m_today.isValid())
            m_context.m_today = QDate::currentDate();
    }

    void Read(const QString& text);
    void Finish()
    {
        if (!m_strPending.isNull())
            ++m_nUnread;
        m_strPending.clear();
    }

    QList<CFtpListEntry> m_entries;
    int m_nUnread = 0;

private:
    void Take(const CFtpListEntry& entry, bool vms);

    CFtpListContext m_context;
    QString m_strPending; // a VMS name alone, whose entry goes on in the next line
    QSet<QString> m_vmsNames;
};

void CListingReader::Read(const QString& text)
{
    CFtpListEntry entry;
    bool vms = false;
    if (!m_strPending.isNull()) {
        const QString joined = m_strPending + QLatin1Char(' ') + text;
        m_strPending.clear();
        if (ParseLine(joined, m_context, entry, vms) == FTP_LINE_ENTRY) {
            Take(entry, vms);
            return;
        }
        ++m_nUnread;
    }
    if (m_context.m_eSystem == FTP_SYSTEM_VMS && IsVmsNameAlone(CListLine(text))) {
        m_strPending = text;
        return;
    }
    const EFtpLine result = ParseLine(text, m_context, entry, vms);
    if (result == FTP_LINE_ENTRY)
        Take(entry, vms);
    else if (result == FTP_LINE_UNREAD)
        ++m_nUnread;
}

void CListingReader::Take(const CFtpListEntry& entry, bool vms)
{
    // VMS lists every version of a file, the newest first; names are taken
    // without the version, so the older ones are left out.
    if (vms) {
        if (m_vmsNames.contains(entry.m_strName))
            return;
        m_vmsNames.insert(entry.m_strName);
    }
    m_entries.append(entry);
}

} // namespace

EFtpLine ParseFtpListLine(const QString& line, const CFtpListContext& context, CFtpListEntry& entry)
{
    bool vms = false;
    CFtpListEntry parsed;
    const EFtpLine result = ParseLine(line, context, parsed, vms);
    if (result == FTP_LINE_ENTRY)
        entry = parsed;
    return result;
}

QList<CFtpListEntry> ParseFtpListing(const QByteArray& listing, const CFtpListContext& context, int* unread)
{
    CListingReader reader(context);
    qsizetype start = 0;
    for (qsizetype i = 0; i < listing.size(); ++i) {
        const char c = listing.at(i);
        if (c != '\r' && c != '\n')
            continue;
        if (i > start)
            reader.Read(FromBytes(listing.mid(start, i - start)));
        start = i + 1;
    }
    reader.Finish();
    if (unread)
        *unread += reader.m_nUnread;
    return reader.m_entries;
}

QString FtpEntryTimeText(const CFtpListEntry& entry)
{
    if (!entry.m_modified.isValid())
        return QString();
    switch (entry.m_eTimePrecision) {
    case FTP_TIME_NONE:
        return QString();
    case FTP_TIME_DAY:
        return entry.m_modified.date().toString(Qt::ISODate);
    case FTP_TIME_MINUTE:
        return entry.m_modified.toString(QStringLiteral("yyyy-MM-ddTHH:mm"))
            + (entry.m_bUtc ? QLatin1String("Z") : QLatin1String());
    case FTP_TIME_SECOND:
        return entry.m_modified.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
            + (entry.m_bUtc ? QLatin1String("Z") : QLatin1String());
    }
    return QString();
}
