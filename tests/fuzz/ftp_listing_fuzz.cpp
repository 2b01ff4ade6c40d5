#include "FuzzCheck.h"
#include "ftp/FtpListing.h"
#include "platform/Bytes.h"

namespace {

bool SameEntries(const QList<CFtpListEntry>& a, const QList<CFtpListEntry>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].m_strName != b[i].m_strName || a[i].m_bFolder != b[i].m_bFolder)
            return false;
    }
    return true;
}

} // namespace

// A LIST reply as the server sends it. Every entry has a name that is part of
// its line, not empty and free of CR and LF; no folder is "." or ".."; and a
// listing cut at a line end reads as its two halves one after the other.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray listing(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = size == 0 ? 0 : data[0] % (size + 1);
    const QByteArray head = listing.left(cut) + '\n';
    const QByteArray tail = listing.mid(cut);
    const QList<CFtpListEntry> entries = ParseFtpListing(head + tail);
    Check(SameEntries(entries, ParseFtpListing(head) + ParseFtpListing(tail)), "a listing reads line by line");
    for (const CFtpListEntry& entry : entries) {
        const QString& name = entry.m_strName;
        Check(!name.isEmpty(), "no empty name");
        Check(!name.contains(QLatin1Char('\r')) && !name.contains(QLatin1Char('\n')), "no CR or LF in a name");
        Check(!entry.m_bFolder || (name != QLatin1String(".") && name != QLatin1String("..")), "no folder . or ..");
    }
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
