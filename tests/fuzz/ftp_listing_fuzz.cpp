#include "FuzzCheck.h"
#include "ftp/FtpListing.h"
#include "platform/Bytes.h"

// A LIST reply as the server sends it. Every entry has a name that is part of
// its line, not empty and free of CR and LF; no folder is "." or ".."; and a
// listing cut at a line end reads as its two halves one after the other.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray listing = InputBytes(data, size);
    const auto [head, tail] = CutListing(listing);
    const QList<CFtpListEntry> entries = ParseFtpListing(head + tail);
    Check(SameEntries(entries, ParseFtpListing(head) + ParseFtpListing(tail)), "a listing reads line by line");
    CheckEntries(entries);
    for (const CFtpListEntry& entry : entries)
        Check(!entry.m_strName.contains(QLatin1Char('\r')), "no CR in a name");
    // Each line on its own, as the parser of one line sees it.
    for (const QByteArray& bytes : listing.split('\n')) {
        const QString line = FromBytes(bytes);
        CFtpListEntry entry;
        if (ParseFtpListLine(line, entry))
            Check(!entry.m_strName.isEmpty() && line.contains(entry.m_strName), "a name is taken from its line");
        const QString fixed = FixedColumnFtpName(line);
        Check(line.size() < 55 ? fixed.isEmpty() : line.endsWith(fixed), "the fixed-column name ends its line");
    }
    return 0;
}
