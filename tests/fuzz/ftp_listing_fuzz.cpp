#include "FuzzCheck.h"
#include "ftp/FtpListing.h"
#include "platform/Bytes.h"

#include <QSet>

// The entries of the two halves are those of the whole listing, in order,
// except for later entries under a name the whole took earlier: the older
// versions of a file in VMS lines, which the whole listing leaves out
// whatever system the server named.
static bool SameButOlderVersions(const QList<CFtpListEntry>& whole, const QList<CFtpListEntry>& halves)
{
    qsizetype taken = 0;
    QSet<QString> names;
    for (const CFtpListEntry& entry : halves) {
        const bool same = taken < whole.size() && whole[taken].m_strName == entry.m_strName
            && whole[taken].m_bFolder == entry.m_bFolder;
        if (same)
            names.insert(whole[taken++].m_strName);
        else if (!names.contains(entry.m_strName))
            return false;
    }
    return taken == whole.size();
}

// A LIST reply as a server of the system that its last byte names sends it.
// Every entry has a name that is part of its line, not empty and free of CR
// and LF; no folder is "." or ".."; a link is no folder; a size is known or
// -1; a time is valid exactly when it has a precision. A listing cut at a
// line end reads as its two halves, with as many lines left unread, except
// on VMS, where an entry may go on in the next line and older versions of a
// file listed earlier are left out (the latter in VMS lines from any server).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray listing = InputBytes(data, size);
    CFtpListContext context;
    context.m_eSystem = EFtpSystem(listing.isEmpty() ? 0 : uchar(listing.back()) % (FTP_SYSTEM_NETWARE + 1));
    context.m_today = QDate(2024, 6, 7);
    const auto [head, tail] = CutListing(listing);
    int unread = 0;
    const QList<CFtpListEntry> entries = ParseFtpListing(head + tail, context, &unread);
    if (context.m_eSystem != FTP_SYSTEM_VMS) {
        int unreadHalves = 0;
        const QList<CFtpListEntry> halves =
            ParseFtpListing(head, context, &unreadHalves) + ParseFtpListing(tail, context, &unreadHalves);
        Check(SameButOlderVersions(entries, halves), "a listing reads line by line");
        Check(unread == unreadHalves, "every line not understood is counted once");
    }
    CheckEntries(entries);
    for (const CFtpListEntry& entry : entries) {
        Check(!entry.m_strName.contains(QLatin1Char('\r')), "no CR in a name");
        Check(entry.m_nSize >= -1, "a size is known or -1");
        Check(!(entry.m_bLink && entry.m_bFolder), "a link is no folder");
        Check(entry.m_modified.isValid() == (entry.m_eTimePrecision != FTP_TIME_NONE), "a time has a precision");
    }
    // Each line on its own, as the parser of one line sees it.
    for (const QByteArray& bytes : listing.split('\n')) {
        const QString line = FromBytes(bytes);
        CFtpListEntry entry;
        if (ParseFtpListLine(line, context, entry) == FTP_LINE_ENTRY)
            Check(!entry.m_strName.isEmpty() && line.contains(entry.m_strName), "a name is taken from its line");
    }
    return 0;
}
