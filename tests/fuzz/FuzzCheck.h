#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

// A property that every input must keep. When it fails the harness aborts, so
// libFuzzer keeps the input as a crash and the replay of the regressions fails.
inline void Check(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz property failed: %s\n", property);
    std::abort();
}

inline QByteArray InputBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The rest of the input as UTF-16 text: what a user, a profile or a local
// folder can hand in, characters above U+00FF included.
inline QString TakeUtf16(FuzzedDataProvider& input)
{
    const std::string raw = input.ConsumeRemainingBytesAsString();
    std::u16string units(raw.size() / 2, u'\0');
    std::memcpy(units.data(), raw.data(), units.size() * 2);
    return QString::fromStdU16String(units);
}

inline bool IsPort(int port)
{
    return port >= 1 && port <= 65535;
}

// A listing cut at a line end, where the first byte says: its two halves.
inline std::pair<QByteArray, QByteArray> CutListing(const QByteArray& listing)
{
    const qsizetype cut = listing.isEmpty() ? 0 : uchar(listing.at(0)) % (listing.size() + 1);
    return {listing.left(cut) + '\n', listing.mid(cut)};
}

// Entries of a directory listing (CFtpListEntry): the same names and kinds,
// and each with a name that is not empty, holds no LF and is no folder "." "..".
template <typename Entry>
bool SameEntries(const QList<Entry>& a, const QList<Entry>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].m_strName != b[i].m_strName || a[i].m_bFolder != b[i].m_bFolder)
            return false;
    }
    return true;
}

template <typename Entry>
void CheckEntries(const QList<Entry>& entries)
{
    for (const Entry& entry : entries) {
        const QString& name = entry.m_strName;
        Check(!name.isEmpty() && !name.contains(QLatin1Char('\n')), "a name is not empty and holds no LF");
        Check(!entry.m_bFolder || (name != QLatin1String(".") && name != QLatin1String("..")), "no folder . or ..");
    }
}
