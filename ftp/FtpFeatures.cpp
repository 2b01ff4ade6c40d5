#include "FtpFeatures.h"

namespace {

QByteArray WithoutLineEnd(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

// The HASH feature's list: "SHA-256*;SHA-1;MD5" (the selected one marked).
void ReadHashes(const QByteArray& list, CFtpFeatures& features)
{
    static const char* const known[] = {"SHA-256", "SHA-1", "MD5", "CRC32"};
    for (const QByteArray& item : list.split(';')) {
        const bool selected = item.endsWith('*');
        const QByteArray name = (selected ? item.chopped(1) : item).trimmed().toUpper();
        for (const char* algorithm : known) {
            if (name != algorithm || features.m_hashes.contains(QLatin1String(algorithm)))
                continue;
            features.m_hashes.append(QLatin1String(algorithm));
            if (selected)
                features.m_strHashSelected = QLatin1String(algorithm);
        }
    }
}

} // namespace

CFtpFeatures ParseFtpFeatures(const QList<QByteArray>& lines)
{
    CFtpFeatures features;
    if (lines.isEmpty() || !lines.first().startsWith("211"))
        return features;
    features.m_bKnown = true;
    // The first and the last line carry the code and free text; the lines in
    // between are features.
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QByteArray line = WithoutLineEnd(lines.at(i)).trimmed();
        const qsizetype space = line.indexOf(' ');
        const QByteArray name = (space < 0 ? line : line.left(space)).toUpper();
        if (name.isEmpty())
            continue;
        features.m_names.append(QString::fromLatin1(name));
        if (name == "MLST" || name == "MLSD")
            features.m_bMlsd = true;
        else if (name == "UTF8")
            features.m_bUtf8 = true;
        else if (name == "REST")
            features.m_bRestStream |= line.mid(space + 1).trimmed().toUpper() == "STREAM" && space > 0;
        else if (name == "HASH" && space > 0)
            ReadHashes(line.mid(space + 1), features);
    }
    return features;
}

void ParseFtpSystem(const QString& reply, CFtpFeatures& features)
{
    features.m_eSystem = FTP_SYSTEM_UNKNOWN;
    features.m_strSystem.clear();
    if (!reply.startsWith(QLatin1String("215")) || (reply.size() > 3 && reply.at(3) != QLatin1Char(' ')))
        return;
    // Only what can be shown anywhere is kept, and not more of it than a
    // system's name needs.
    for (qsizetype i = 4; i < reply.size() && features.m_strSystem.size() < CFtpFeatures::kMaxSystemText; ++i) {
        const char16_t c = reply.at(i).unicode();
        if (c >= 0x20 && c < 0x7F)
            features.m_strSystem.append(QChar(c));
    }
    features.m_strSystem = features.m_strSystem.trimmed();
    // The first word names the system; servers of one family differ in the rest.
    const QString word = features.m_strSystem.section(QLatin1Char(' '), 0, 0).toUpper();
    struct CName
    {
        const char* m_szWord;
        EFtpSystem m_eSystem;
    };
    static const CName names[] = {
        {"UNIX", FTP_SYSTEM_UNIX},       {"WINDOWS_NT", FTP_SYSTEM_WINDOWS},
        {"WINDOWS", FTP_SYSTEM_WINDOWS}, {"WIN32", FTP_SYSTEM_WINDOWS},
        {"VMS", FTP_SYSTEM_VMS},         {"OPENVMS", FTP_SYSTEM_VMS},
        {"MVS", FTP_SYSTEM_MVS},         {"Z/OS", FTP_SYSTEM_MVS},
        {"OS/390", FTP_SYSTEM_MVS},      {"OS/400", FTP_SYSTEM_OS400},
        {"OS/2", FTP_SYSTEM_OS2},        {"NETWARE", FTP_SYSTEM_NETWARE},
    };
    for (const CName& name : names) {
        if (word == QLatin1String(name.m_szWord))
            features.m_eSystem = name.m_eSystem;
    }
}
