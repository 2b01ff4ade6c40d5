#include "FuzzCheck.h"
#include "ftp/FtpFeatures.h"
#include "ftp/FtpListing.h"
#include "platform/Bytes.h"

// An MLSD reply, and the same bytes read as a FEAT reply. An MLSD entry has a
// name that ends its own line, is not empty and holds no LF; no folder is "."
// or ".."; a listing cut at a line end reads as its two halves. FEAT names
// MLSD only among the features it lists, and only in a 211 reply.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray listing = InputBytes(data, size);
    const auto [head, tail] = CutListing(listing);
    const QList<CFtpListEntry> entries = ParseFtpMlsdListing(head + tail);
    Check(SameEntries(entries, ParseFtpMlsdListing(head) + ParseFtpMlsdListing(tail)), "a listing reads line by line");
    CheckEntries(entries);
    for (const CFtpListEntry& entry : entries)
        Check(entry.m_nSize >= -1, "a size is known or -1");
    QList<QByteArray> lines;
    for (const QByteArray& line : listing.split('\n')) {
        CFtpListEntry entry;
        if (ParseFtpMlsdLine(line, entry))
            Check(line.endsWith(ToBytes(entry.m_strName)), "the name ends its line exactly as sent");
        lines.append(line + '\n');
    }
    const CFtpFeatures features = ParseFtpFeatures(lines);
    Check(!features.m_bMlsd || features.m_names.contains(QStringLiteral("MLST"))
              || features.m_names.contains(QStringLiteral("MLSD")),
          "MLSD only when MLST or MLSD is listed");
    Check(features.m_bKnown || (features.m_names.isEmpty() && !features.m_bMlsd && !features.m_bUtf8),
          "features only from a 211 reply");
    return 0;
}
