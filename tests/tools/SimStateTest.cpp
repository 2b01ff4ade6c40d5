// The simulator's state file, line splitting, wire text and line check.

#include "SimState.h"
#include "LineCheck.h"
#include "LineSplitter.h"
#include "WireText.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

TEST(SimState, FileRoundTripKeepsEveryByteAndBadFilesAreRefused)
{
    const QByteArray bytes("\x01\x7F\x80\xE9\xFF\"\\,", 8);
    CSimState state = CSimState::Default();
    state.m_strName = QStringLiteral("SIM 2");
    state.m_jobs[0].m_fixpoints.append(FromWire(bytes));
    state.m_jobs[0].m_nFixpointBlocks = 9;
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(state.Save(dir.filePath("state.json"), error)) << error.toStdString();
    CSimState loaded;
    ASSERT_TRUE(loaded.Load(dir.filePath("state.json"), error)) << error.toStdString();
    EXPECT_EQ(loaded.ToJson(), state.ToJson());
    EXPECT_EQ(ToWire(loaded.m_jobs[0].m_fixpoints.last()), bytes);
    EXPECT_EQ(loaded.m_jobs[0].m_nFixpointBlocks, 9);

    // Missing counts default to the line counts, a missing name to the default one.
    CSimState parsed;
    ASSERT_TRUE(parsed.FromJson(R"({"jobs":[{"name":"J","number":4,"measurements":["m1 xx","m2 xx"]}],
                                   "codeLists":[{"name":"C","number":5,"lines":["a b c"],"count":7}]})",
                                error));
    EXPECT_EQ(parsed.m_strName, QStringLiteral("SIM-1"));
    EXPECT_EQ(parsed.FindJob(4)->m_nMeasurementBlocks, 2);
    EXPECT_EQ(parsed.FindJob(4)->m_nFixpointBlocks, 0);
    EXPECT_EQ(parsed.FindCodeList(5)->m_nCount, 7);
    EXPECT_FALSE(parsed.FromJson("[1,2]", error));
    EXPECT_FALSE(parsed.FromJson("{\"jobs\": [", error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(parsed.Load("/nonexistent/state.json", error));
}

TEST(LineSplitter, CutsOnlyAtCrLf)
{
    CLineSplitter splitter;
    auto lines = splitter.Feed(QByteArray("JOB/CONF/LIST\r\n?\r"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].m_bytes, QByteArray("JOB/CONF/LIST"));
    EXPECT_EQ(lines[0].m_nEndOffset, 15);
    lines = splitter.Feed(QByteArray("\na\rb\nc\r\n\r\n")); // CR LF split across two reads
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].m_bytes + "|" + lines[1].m_bytes + "|" + lines[2].m_bytes, "?|a\rb\nc|"); // lone CR, LF are data
    EXPECT_EQ(lines[0].m_nEndOffset, 1);
    EXPECT_FALSE(splitter.HasPartial());

    lines = splitter.Feed(QByteArray(CLineSplitter::MaxLine + 10, 'x') + "\r\nok\r\nhalf");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].m_bOverlong && lines[0].m_bytes.isEmpty());
    EXPECT_TRUE(!lines[1].m_bOverlong && lines[1].m_bytes == "ok");
    EXPECT_TRUE(splitter.HasPartial());
    splitter.Clear();
    lines = splitter.Feed("c\r\n");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].m_bytes, QByteArray("c"));
}

TEST(WireText, LowBytesAndEscapes)
{
    EXPECT_EQ(ToWire(QString(QChar(0x0141)) + QChar(0xE9) + "A"),
              QByteArray("\x41\xE9"
                         "A"));
    EXPECT_EQ(FromWire(QByteArray("\xE9\x00", 2)), QString(QChar(0xE9)) + QChar(0));
    EXPECT_EQ(EscapeBytes(QByteArray("?\r\n\\\x16\xFF ~", 8)), QByteArray("?\\r\\n\\\\\\x16\\xFF ~"));
}

TEST(SimLineCheck, ParsesSpeedAndFraming)
{
    using Fields = std::tuple<int, int, char, int>;
    for (const auto& [text, fields] : std::vector<std::pair<const char*, Fields>>{
             {"9600,8N1", {9600, 8, 'N', 1}}, {"38400,7E1", {38400, 7, 'E', 1}}, {"115200,7O2", {115200, 7, 'O', 2}}}) {
        SLineSettings s;
        ASSERT_TRUE(ParseLineSettings(QString::fromLatin1(text), s)) << text;
        EXPECT_EQ(Fields(s.m_nBaud, s.m_nDataBits, s.m_cParity, s.m_nStopBits), fields) << text;
    }
    SLineSettings settings;
    for (const char* bad : {"9601,8N1", "9600,6N1", "9600,8M1", "9600,8N3", "9600 8N1"})
        EXPECT_FALSE(ParseLineSettings(QString::fromLatin1(bad), settings)) << bad;
}

// Terminal settings as a pseudo-terminal keeps them after the handheld set
// them: the speed, PARODD and CSTOPB survive, CS8 is forced, PARENB cleared.
TEST(SimLineCheck, ComparesWhatAPseudoTerminalKeeps)
{
    struct CCase
    {
        speed_t m_speed;
        tcflag_t m_flags;
        const char* m_szSettings;
        bool m_bMatches;
    };
    const CCase cases[] = {
        {B4800, PARODD, "4800,7O1", true}, {B9600, PARODD, "4800,7O1", false},
        {B4800, 0, "4800,7O1", false},     {B4800, PARODD | CSTOPB, "4800,7O1", false},
        {B50, PARODD, "4800,7O1", false},  {B115200, CSTOPB, "115200,8N2", true},
        {B115200, 0, "115200,8N2", false}, {B9600, 0, "9600,7E1", true}, // even parity does not show
    };
    for (const CCase& c : cases) {
        termios tio{};
        tio.c_cflag = CS8 | CREAD | c.m_flags;
        cfsetspeed(&tio, c.m_speed);
        SLineSettings settings;
        ASSERT_TRUE(ParseLineSettings(QString::fromLatin1(c.m_szSettings), settings));
        EXPECT_EQ(LineMatches(tio, settings), c.m_bMatches) << c.m_szSettings << ' ' << c.m_speed << ' ' << c.m_flags;
    }
}

} // namespace
