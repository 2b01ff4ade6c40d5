#include "FtpResume.h"

#include "FtpFeatures.h"
#include "FtpListing.h"
#include "ListingParsers.h"

#include <array>

namespace {

// No honest hash reply comes near this: code, algorithm, range, 64 hex
// digits and a name of a few hundred characters.
constexpr qsizetype kMaxHashReply = 1000;

qsizetype HexLength(EFtpHash hash)
{
    switch (hash) {
    case EFtpHash::SHA256:
        return 64;
    case EFtpHash::SHA1:
        return 40;
    case EFtpHash::MD5:
        return 32;
    case EFtpHash::CRC32:
        return 8;
    case EFtpHash::NONE:
        break;
    }
    return 0;
}

bool IsHex(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return !text.isEmpty();
}

constexpr std::array<quint32, 256> MakeCrcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<quint32, 256> kCrcTable = MakeCrcTable();

} // namespace

int CFtpResumePolicy::NextPauseMs(bool progressed)
{
    if (!m_bCanResume) {
        // Starting over is worth it once; a second break would likely come
        // again at the same place.
        if (m_bRetried)
            return -1;
        m_bRetried = true;
        return kPausesMs[0];
    }
    m_bCounted = m_bRetried;
    m_nFruitlessBefore = m_nFruitless;
    m_nFruitless = m_bRetried && !progressed ? m_nFruitless + 1 : 0;
    m_bRetried = true;
    return m_nFruitless < kMaxFruitless ? kPausesMs[m_nFruitless] : -1;
}

bool CFtpResumePolicy::Confirm(bool serverGained)
{
    if (serverGained || !m_bCanResume || !m_bCounted || m_nFruitless > m_nFruitlessBefore)
        return true;
    m_nFruitless = m_nFruitlessBefore + 1;
    return m_nFruitless < kMaxFruitless;
}

bool IsFtpBreakReply(const QString& reply)
{
    return reply.startsWith(QLatin1String("426"));
}

CFtpHashCommand ChooseFtpHash(const CFtpFeatures& features)
{
    struct CChoice
    {
        EFtpHash m_eHash;
        const char* m_szName;    // in the HASH feature
        const char* m_szCommand; // the older command
    };
    static const CChoice choices[] = {
        {EFtpHash::SHA256, "SHA-256", "XSHA256"},
        {EFtpHash::SHA1, "SHA-1", "XSHA1"},
        {EFtpHash::MD5, "MD5", "XMD5"},
        {EFtpHash::CRC32, "CRC32", "XCRC"},
    };
    CFtpHashCommand command;
    for (const CChoice& choice : choices) {
        if (!features.m_hashes.contains(QLatin1String(choice.m_szName)))
            continue;
        command.m_eHash = choice.m_eHash;
        command.m_strName = QLatin1String(choice.m_szName);
        command.m_strCommand = QStringLiteral("HASH");
        if (features.m_strHashSelected != QLatin1String(choice.m_szName))
            command.m_strSelect = QStringLiteral("OPTS HASH ") + QLatin1String(choice.m_szName);
        return command;
    }
    for (const CChoice& choice : choices) {
        if (features.m_names.contains(QLatin1String(choice.m_szCommand))) {
            command.m_eHash = choice.m_eHash;
            command.m_strName = QLatin1String(choice.m_szCommand);
            command.m_strCommand = command.m_strName;
            return command;
        }
    }
    return command;
}

bool ParseFtpHashReply(const QString& reply, const CFtpHashCommand& command, QByteArray& hex)
{
    if (reply.size() > kMaxHashReply || !reply.startsWith(QLatin1Char('2')) || reply.size() < 4
        || reply.at(3) != QLatin1Char(' '))
        return false;
    const QStringList words = reply.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // HASH: code, algorithm, byte range, digest, name.
    const bool hashCommand = command.m_strCommand == QLatin1String("HASH");
    const qsizetype at = hashCommand ? 3 : 1;
    if (words.size() <= at || (hashCommand && words.at(1).compare(command.m_strName, Qt::CaseInsensitive) != 0))
        return false;
    const QString& digest = words.at(at);
    if (digest.size() != HexLength(command.m_eHash) || !IsHex(digest))
        return false;
    hex = digest.toLatin1().toLower();
    return true;
}

bool ParseFtpMlstSize(const QList<QByteArray>& lines, qint64& size)
{
    // The facts line is the one between the first and the last, after a space.
    if (lines.size() < 3 || !lines.first().startsWith("250") || !lines.last().startsWith("250"))
        return false;
    QByteArray facts = lines.at(1).trimmed();
    if (facts.size() > kMaxHashReply)
        return false;
    CFtpListEntry entry;
    if (ParseFactsLine(QString::fromLatin1(facts), entry) != FTP_LINE_ENTRY || entry.m_bFolder || entry.m_nSize < 0)
        return false;
    size = entry.m_nSize;
    return true;
}

quint32 FtpCrc32(quint32 crc, const char* data, qsizetype size)
{
    crc = ~crc;
    for (qsizetype i = 0; i < size; ++i)
        crc = kCrcTable[(crc ^ static_cast<quint8>(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
