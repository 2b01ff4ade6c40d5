#pragma once

#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// A property that every input must keep. When it fails the harness aborts, so
// libFuzzer keeps the input as a crash and the replay of the regressions fails.
inline void Check(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz property failed: %s\n", property);
    std::abort();
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
