#include "InstrumentFixture.h"

namespace {

using ComPortTest = InstrumentTest;

// A line ends at the end mark, after the read time-out of silence, or cut at
// 4096 characters or 30 s however the instrument sends (CRs included).
TEST_F(ComPortTest, ReadLineEndsAtTheEndMarkASilenceOrItsBounds)
{
    struct CCase
    {
        const char* what;
        const char* endMark;
        QByteArray input;
        QByteArray endless; // sent without end after the input
        int periodMs;       // between two repetitions of `endless`
        QStringList lines;
        const char* ends; // of each line: the end Mark, a Silence, or Cut at a bound
    };
    const QString latin = QString(QChar(0xE9)) + QChar(0xFF) + QChar(1) + "\r\n";
    const QByteArray crs(5000, '\r'), as(4095, 'a');
    const QList<CCase> cases = {
        {"CR inside the line", "\r\n", "a\rb\r\n", "", 0, {"a\rb\r\n", ""}, "MS"},
        {"a lone LF", "\r\n", "ab\ncd\r\nx", "", 0, {"ab\ncd\r\n", "x"}, "MS"},
        {"? CR then silence", "\r\n", "?\r", "", 0, {"?\r"}, "S"},
        {"end mark CR: the LF starts the next line", "\r", "@W1\r\nOK\r", "", 0, {"@W1\r", "\nOK\r", ""}, "MMS"},
        {"nothing", "\r\n", "", "", 0, {""}, "S"},
        {"bytes above 127 as the characters of the same value", "\r\n", "\xE9\xFF\x01\r\n", "", 0, {latin}, "M"},
        {"5,000 CRs then x", "\r\n", crs + "x\r\n", "", 0, {crs.left(4096), crs.left(904) + "x\r\n"}, "CM"},
        {"endless CRs", "\r\n", "", "\r", 0, QStringList(3, crs.left(4096)), "CCC"},
        {"endless data", "\r", "", "x", 0, QStringList(2, QString(4096, 'x')), "CC"},
        // The LF after a cut right behind a CR completes the end mark.
        {"cut between CR and LF", "\r\n", as + "\r\nOK\r\n", "", 0, {as + "\r", "\n", "OK\r\n"}, "CMM"},
        // One byte a second (the first at once) never times out a read, but
        // the line ends after 30 s.
        {"trickle", "\r\n", "", "x", 1000, {QString(31, 'x'), QString(30, 'x')}, "CC"},
        {"trickle of CRs", "\r\n", "", "\r", 1000, {QString(31, '\r')}, "C"},
    };
    for (const CCase& c : cases) {
        m_link.m_port.EndMark = QString::fromLatin1(c.endMark);
        Fresh();
        ASSERT_TRUE(m_link.m_port.Open());
        m_device->Feed(c.input);
        m_device->FeedEndless(c.endless, c.periodMs);
        for (qsizetype i = 0; i < c.lines.size(); ++i) {
            SCOPED_TRACE(std::string(c.what) + " line " + std::to_string(i));
            const qint64 before = m_clock.Now();
            EXPECT_EQ(m_link.m_port.ReadLine(), c.lines.at(i));
            EXPECT_EQ(m_link.m_port.m_bTimedOut, c.ends[i] == 'S');
            EXPECT_EQ(m_link.m_port.m_bLineCut, c.ends[i] == 'C');
            // A read that found nothing waited the fixed time-out, a trickle 30 s, no longer.
            EXPECT_EQ(m_clock.Now() - before, c.ends[i] == 'S' ? CComPort::kReadTimeoutMs : c.periodMs ? 30000 : 0);
        }
    }
}

TEST_F(ComPortTest, OpenAppliesLineSettingsAndKeepsFlowControl)
{
    CComPort& port = m_link.m_port;
    port.SetSettings(Settings(4800, 7, 2, 2, 3));
    m_device->m_state = {115200, 8, 0, 0, 2};
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(port.m_bOpen, 1);
    const CSerialLineState& state = m_device->m_state;
    EXPECT_EQ(
        QList<int>({state.m_nBaudRate, state.m_nByteSize, state.m_nParity, state.m_nStopBits, state.m_nFlowControl}),
        QList<int>({4800, 7, 2, 2, 2}));
    EXPECT_TRUE(port.Write("ab", 2));
    EXPECT_EQ(m_device->m_writeTimeouts, QList<int>{2002});
    port.Purge();
    port.Close();
    port.Close(); // twice is harmless
    EXPECT_EQ(port.m_bOpen, 0);
    EXPECT_FALSE(port.Write("x", 1)); // closed: nothing goes out
    EXPECT_EQ(Trace(), "<open>|ab|<purge>|<close>");
    EXPECT_TRUE(m_prompt.m_shown.isEmpty());
}

TEST_F(ComPortTest, OpenFailuresShowTheirMessages)
{
    m_device->m_bFailOpen = true;
    EXPECT_FALSE(m_link.m_port.Open());
    m_device->m_bFailOpen = false;
    m_device->m_bFailLineState = true;
    EXPECT_FALSE(m_link.m_port.Open());
    EXPECT_FALSE(m_device->IsOpen());
    m_device->m_bFailLineState = false;
    m_device->m_bFailWriteLineState = true;
    EXPECT_FALSE(m_link.m_port.Open()); // rejected settings: no message
    EXPECT_FALSE(m_device->IsOpen());
    EXPECT_EQ(m_link.m_port.m_bOpen, 0);
    EXPECT_EQ(m_prompt.m_shown, (QStringList{"Error: COM Invalid handle", "Error: Can not open COM port"}));
}

} // namespace
