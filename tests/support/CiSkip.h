#pragma once

#include <QtGlobal>

// A test that cannot run on this machine (no pyftpdlib, vsftpd, openssl or
// root) skips; under TESSARO_CI=1, as .ci/run sets it, it fails instead, so a
// missing package cannot turn into a green run. Include gtest or QTest first.
inline bool SkipIsFailure()
{
    return qEnvironmentVariable("TESSARO_CI") == QLatin1String("1");
}

#define TESSARO_GTEST_SKIP(reason)                                                                                     \
    do {                                                                                                               \
        if (SkipIsFailure())                                                                                           \
            GTEST_FAIL() << "cannot run here (TESSARO_CI=1): " << (reason);                                            \
        else                                                                                                           \
            GTEST_SKIP() << (reason);                                                                                  \
    } while (false)

#define TESSARO_QSKIP(reason)                                                                                          \
    do {                                                                                                               \
        if (SkipIsFailure())                                                                                           \
            QFAIL(reason);                                                                                             \
        else                                                                                                           \
            QSKIP(reason);                                                                                             \
    } while (false)
