// The simulator's line check: which settings it takes and what it compares
// on a pseudo-terminal's settings.

#include "LineCheck.h"

#include <gtest/gtest.h>

namespace {

TEST(SimLineCheck, ParsesSpeedAndFraming)
{
    struct CCase
    {
        const char* m_szText;
        bool m_bOk;
        int m_nBaud, m_nDataBits;
        char m_cParity;
        int m_nStopBits;
    };
    const CCase cases[] = {
        {"9600,8N1", true, 9600, 8, 'N', 1},     {"38400,7E1", true, 38400, 7, 'E', 1},
        {"115200,7O2", true, 115200, 7, 'O', 2}, {"9601,8N1", false, 0, 0, 0, 0},
        {"9600,6N1", false, 0, 0, 0, 0},         {"9600,8M1", false, 0, 0, 0, 0},
        {"9600,8N3", false, 0, 0, 0, 0},         {"9600 8N1", false, 0, 0, 0, 0},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.m_szText);
        SLineSettings settings;
        ASSERT_EQ(ParseLineSettings(QString::fromLatin1(c.m_szText), settings), c.m_bOk);
        if (!c.m_bOk)
            continue;
        EXPECT_EQ(settings.m_nBaud, c.m_nBaud);
        EXPECT_EQ(settings.m_nDataBits, c.m_nDataBits);
        EXPECT_EQ(settings.m_cParity, c.m_cParity);
        EXPECT_EQ(settings.m_nStopBits, c.m_nStopBits);
    }
}

// Terminal settings as a pseudo-terminal keeps them after the handheld set
// them: the speed, PARODD and CSTOPB survive, CS8 is forced, PARENB cleared.
TEST(SimLineCheck, ComparesWhatAPseudoTerminalKeeps)
{
    const auto kept = [](speed_t speed, tcflag_t flags) {
        termios tio{};
        tio.c_cflag = CS8 | CREAD | flags;
        cfsetspeed(&tio, speed);
        return tio;
    };
    SLineSettings odd;
    ASSERT_TRUE(ParseLineSettings(QStringLiteral("4800,7O1"), odd));
    EXPECT_TRUE(LineMatches(kept(B4800, PARODD), odd));
    EXPECT_FALSE(LineMatches(kept(B9600, PARODD), odd));
    EXPECT_FALSE(LineMatches(kept(B4800, 0), odd));               // even or none
    EXPECT_FALSE(LineMatches(kept(B4800, PARODD | CSTOPB), odd)); // two stop bits
    EXPECT_FALSE(LineMatches(kept(B50, PARODD), odd));

    SLineSettings twoStops;
    ASSERT_TRUE(ParseLineSettings(QStringLiteral("115200,8N2"), twoStops));
    EXPECT_TRUE(LineMatches(kept(B115200, CSTOPB), twoStops));
    EXPECT_FALSE(LineMatches(kept(B115200, 0), twoStops));

    // Even parity and 7 data bits do not survive on a pseudo-terminal.
    SLineSettings even;
    ASSERT_TRUE(ParseLineSettings(QStringLiteral("9600,7E1"), even));
    EXPECT_TRUE(LineMatches(kept(B9600, 0), even));
}

} // namespace
