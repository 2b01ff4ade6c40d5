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
    const QByteArray listing(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = size == 0 ? 0 : data[0] % (size + 1);
    const QByteArray head = listing.left(cut) + '\n';
    const QByteArray tail = listing.mid(cut);
    const QList<CFtpListEntry> entries = ParseFtpMlsdListing(head + tail);
    const QList<CFtpListEntry> halves = ParseFtpMlsdListing(head) + ParseFtpMlsdListing(tail);
    Check(entries.size() == halves.size(), "a listing reads line by line");
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const CFtpListEntry& entry = entries[i];
        Check(entry.m_strName == halves[i].m_strName && entry.m_bFolder == halves[i].m_bFolder,
              "the halves give the same entries");
        Check(!entry.m_strName.isEmpty(), "no empty name");
        Check(!entry.m_strName.contains(QLatin1Char('\n')), "no LF in a name");
        Check(!entry.m_bFolder || (entry.m_strName != QLatin1String(".") && entry.m_strName != QLatin1String("..")),
              "no folder . or ..");
        Check(entry.m_nSize >= -1, "a size is known or -1");
    }
    for (const QByteArray& line : listing.split('\n')) {
        CFtpListEntry entry;
        if (ParseFtpMlsdLine(line, entry))
            Check(line.endsWith(ToBytes(entry.m_strName)), "the name ends its line exactly as sent");
    }

    QList<QByteArray> lines;
    for (const QByteArray& line : listing.split('\n'))
        lines.append(line + '\n');
    const CFtpFeatures features = ParseFtpFeatures(lines);
    Check(!features.m_bMlsd || features.m_names.contains(QStringLiteral("MLST"))
              || features.m_names.contains(QStringLiteral("MLSD")),
          "MLSD only when MLST or MLSD is listed");
    Check(features.m_bKnown || (features.m_names.isEmpty() && !features.m_bMlsd && !features.m_bUtf8),
          "features only from a 211 reply");
    return 0;
}
