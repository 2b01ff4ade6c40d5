// The simulator's protocol engine, its state file, line splitting, wire
// text and line check.

#include "SimInstrument.h"
#include "LineCheck.h"
#include "LineSplitter.h"
#include "SimState.h"
#include "WireText.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

// Lines from the handheld, each with the reply expected to it.
using Script = std::vector<std::pair<QByteArray, QByteArray>>;

const QByteArray kOk("OK\r\n"), kRefused("@W\r\n"), kQuery("?\r\n"), kBare("?"), kNothing, kBusy("\x16", 1);

// Drives the engine the way the handheld does: one command line at a time.
class SimTest : public ::testing::Test
{
protected:
    CSimInstrument& Sim()
    {
        if (!m_sim)
            m_sim = std::make_unique<CSimInstrument>(m_state, m_options);
        return *m_sim;
    }
    QByteArray Say(const QByteArray& line) { return Sim().HandleLine(line); }
    void Play(const Script& script)
    {
        for (const auto& [line, reply] : script)
            EXPECT_EQ(Say(line), reply) << line.toStdString();
    }
    // A command, then one "?" poll for each further reply (listings, receives).
    void Polls(const QByteArray& command, const QList<QByteArray>& replies)
    {
        for (qsizetype i = 0; i < replies.size(); ++i)
            EXPECT_EQ(Say(i ? "?" : command), replies[i]) << command.toStdString() << ", reply " << i;
    }
    void ExpectRefused(std::initializer_list<const char*> lines)
    {
        for (const char* line : lines)
            EXPECT_EQ(Say(line), kRefused) << line;
    }
    // A fresh instrument on the same state, with default options to change.
    CSimOptions& Restart()
    {
        m_sim.reset();
        return m_options = CSimOptions();
    }
    QByteArray Measurement(int job, int i) { return ToWire(m_state.FindJob(job)->m_measurements[i]) + "\r\n"; }

    CSimState m_state = CSimState::Default();
    CSimOptions m_options;
    std::unique_ptr<CSimInstrument> m_sim;
};

TEST_F(SimTest, IdentifyAndItsFailureOptions)
{
    Play({{"a", kNothing}, {"c", kQuery}, {"%R1Q,5004:", "%R1P,0,0:0,\"SIM-1\"\r\n"}});
    Restart().m_bNoName = true;
    Play({{"%R1Q,5004:", kNothing}, {"c", kQuery}});
    Restart().m_nIdentifyCode = 1;
    m_options.m_endMark = "\r";
    m_state.m_strName = QStringLiteral("ABC");
    Play({{"%R1Q,5004:", "%R1P,0,0:1,\"ABC\"\r"}, {"c", "?\r"}});
}

TEST_F(SimTest, ListingsGiveEveryRowThenTheirEnd)
{
    // The rows and the bare "?" at the end: see tessaro-cli's listings against the simulator.
    for (const auto& [end, reply] : std::vector<std::pair<CSimOptions::EListEnd, QByteArray>>{
             {CSimOptions::EListEnd::LINE, kQuery}, {CSimOptions::EListEnd::SILENCE, kNothing}}) {
        Restart().m_listEnd = end;
        Polls("CODE/CONF/LIST", {"CODES,1,12\r\n", ",2,0\r\n", "TREES,3,4\r\n", reply, reply});
        Play({{"c", kQuery}, {"?", kBare}}); // outside a listing a poll gets the bare "?"
    }

    Restart();
    m_state.m_jobs.clear();
    Play({{"JOB/CONF/LIST", kBare}, {"DISK/CONF/LIST", kRefused}});
}

// The misbehaviours without end: a flood byte that the next line or the
// port's close stops, and a list that never runs out of rows.
TEST_F(SimTest, EndlessMisbehaviours)
{
    m_options.m_bEndlessCr = true;
    Play({{"c", kQuery}, {"%R1Q,5004:", kNothing}});
    EXPECT_EQ(Sim().Flood(), '\r');
    Play({{"c", kQuery}});
    EXPECT_EQ(Sim().Flood(), 0);

    Restart().m_bEndlessData = true;
    Polls("JOB/RCV/OBSERV/1", {kOk, kNothing});
    EXPECT_EQ(Sim().Flood(), 'x');
    Sim().PortClosed();
    EXPECT_EQ(Sim().Flood(), 0);

    Restart().m_bEndlessList = true;
    Polls("CODE/CONF/LIST", {"CODES,1,12\r\n", ",2,0\r\n", "TREES,3,4\r\n", "X4,4,1,1\r\n", "X5,5,1,1\r\n"});
    EXPECT_EQ(Sim().Flood(), 0);
}

TEST_F(SimTest, ReceiveSendsLinesThenFallsSilent)
{
    Polls("JOB/RCV/OBSERV/7", {kOk, Measurement(7, 0), Measurement(7, 1), kNothing, kNothing});
    // "c" stops the transfer; a poll after it is no data poll.
    Polls("JOB/RCV/COORDS/1", {kOk, ToWire(m_state.FindJob(1)->m_fixpoints[0]) + "\r\n"});
    Play({{"c", kQuery}, {"?", kBare}, {"CODE/RCV/3", kOk}});
    for (const QString& line : m_state.FindCodeList(3)->m_lines)
        EXPECT_EQ(Say("?"), ToWire(line) + "\r\n");
    Play({{"?", kNothing}, {"CODE/RCV/3", kOk}});
    Sim().PortClosed(); // a closed port ends a receive too
    Play({{"?", kBare}});

    // Busy and error count again for each receive.
    Restart().m_nBusy = 2;
    m_options.m_nErrorAfter = 3;
    Polls("JOB/RCV/OBSERV/3", {kOk, kBusy, kBusy, Measurement(3, 0), Measurement(3, 1), Measurement(3, 2), "@E1\r\n"});
    Polls("JOB/RCV/OBSERV/3", {kOk, kBusy});

    // An unknown job is refused and its polls fail.
    Restart().m_nErrorAfter = 0;
    m_options.m_strErrorReply = QStringLiteral("@W1");
    Polls("JOB/RCV/COORDS/1", {kOk, "@W1\r\n"});
    Polls("JOB/RCV/OBSERV/99", {kRefused, "@E1\r\n"});
    ExpectRefused({"CODE/RCV/x"});
}

TEST_F(SimTest, SendStoresLinesUntilTheClose)
{
    // Each file line arrives as its text, CR LF, CR LF: one reply per line.
    const QByteArray raw("\xE9\x01 x\r y", 7);
    Play({{"JOB/SND/COORD/2", kOk},
          {"L1", kQuery},
          {"", kNothing},
          {"", kQuery},
          {"", kNothing},
          {"c", kQuery},
          {"", kNothing},
          {raw, kQuery}});
    Sim().PortClosed();
    EXPECT_EQ(m_state.FindJob(2)->m_fixpoints, QStringList({"L1", "", "c", FromWire(raw)}));
    EXPECT_EQ(m_state.FindJob(2)->m_nFixpointBlocks, 4);
    // After the close lines are commands again; a code list is replaced the same way.
    Play({{"c", kQuery}, {"CODE/SND/1", kOk}, {"001 NEW", kQuery}});
    Sim().PortClosed();
    EXPECT_EQ(m_state.FindCodeList(1)->m_lines, QStringList({"001 NEW"}));
    EXPECT_EQ(m_state.FindCodeList(1)->m_nCount, 1);

    // A format ends with the single character 0x1A.
    Play({{"FORM/SND/4", kOk}, {"FORMAT NEW", kQuery}, {"", kNothing}, {"\x1A", kOk}, {"c", kQuery}});
    EXPECT_EQ(m_state.FindFormat(4)->m_lines, QStringList({"FORMAT NEW"}));
    EXPECT_TRUE(m_state.FindFormat(4)->m_nFirst != 0 && m_state.FindFormat(4)->m_nSecond != 0);

    // A line too long to keep ends the data; what came before stays.
    Play({{"CODE/SND/3", kOk}, {"001 KEPT", kQuery}});
    EXPECT_EQ(Sim().HandleOverlongLine(), kRefused);
    EXPECT_EQ(Say("c"), kQuery);
    ExpectRefused({"JOB/SND/COORD/99", "FORM/SND/99"});
    EXPECT_EQ(m_state.FindCodeList(3)->m_lines, QStringList({"001 KEPT"}));

    Restart().m_bRefuseSnd = true;
    ExpectRefused({"JOB/SND/COORD/2", "L2"}); // L2 is an unknown command now
    EXPECT_EQ(m_state.FindJob(2)->m_fixpoints.size(), 4);
}

TEST_F(SimTest, SettingAndErasing)
{
    m_options.m_nRefuseSet = 3;
    ExpectRefused({"FORM/SET/1", "JOB/SET/NEW/2", "CODE/SET/NEW/2"});
    Play({{"JOB/SET/NEW/2", kOk}, {"CODE/SET/BIRDS/2", kOk}, {"JOB/SET/P12/12", kOk}, {"FORM/SET/3", kOk}});
    EXPECT_EQ(m_state.FindCodeList(2)->m_strName, QStringLiteral("BIRDS"));
    ASSERT_NE(m_state.FindJob(12), nullptr); // a number without a slot gets one
    EXPECT_EQ(m_state.FindJob(12)->m_strName, QStringLiteral("P12"));
    ExpectRefused({"JOB/SET//2", "JOB/SET/NAME", "JOB/SET/NAME/x", "FORM/SET/", "FORM/SET/-1", "FORM/SET/a"});
    EXPECT_EQ(Sim().SelectedFormat(), 3);

    Play({{"JOB/ERASE/OBSERV/1", kOk}});
    EXPECT_TRUE(m_state.FindJob(1)->m_measurements.isEmpty());
    EXPECT_EQ(m_state.FindJob(1)->m_nFixpointBlocks, 3);
    // Erased slots stay, listed as free slots.
    Play({{"JOB/ERASE/COORD/1", kOk}, {"JOB/ERASE/3", kOk}, {"CODE/ERASE/1", kOk}, {"FORM/ERASE/2", kOk}});
    Polls("JOB/CONF/LIST", {"A1,1,0,0\r\n", "NEW,2,0,0\r\n", ",3,0,0\r\n"});
    Polls("CODE/CONF/LIST", {",1,0\r\n"});
    EXPECT_TRUE(m_state.FindCodeList(1)->m_lines.isEmpty());
    Polls("FORM/CONF/LIST", {"TQS,1,1,1\r\n", ",2,0,0\r\n"});
    ExpectRefused({"JOB/ERASE/99", "CODE/ERASE/99", "FORM/ERASE/x", "JOB/ERASE/FOO/1", "DISK/ERASE/1"});

    for (const QByteArray& line :
         {QByteArray(), QByteArray("x"), QByteArray("??"), QByteArray("JOB"), QByteArray("/"), QByteArray("//"),
          QByteArray("JOB/RCV"), QByteArray("JOB/RCV/OBSERV/"), QByteArray("%R1Q,5005:"), QByteArray("\x00\xFF\x16", 3),
          QByteArray(600, 'Z'), QByteArray("FORM/CONF/LIST/1")}) {
        const QByteArray reply = Say(line);
        EXPECT_TRUE(reply.isEmpty() || reply == kRefused) << line.toStdString();
    }
    EXPECT_EQ(Say("c"), kQuery);
}

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

// Line settings parsed, and compared with terminal settings as a
// pseudo-terminal keeps them after the handheld set them: the speed, PARODD
// and CSTOPB survive, CS8 is forced, PARENB cleared.
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
        CLineSettings settings;
        ASSERT_TRUE(ParseLineSettings(QString::fromLatin1(c.m_szSettings), settings));
        EXPECT_EQ(LineMatches(tio, settings), c.m_bMatches) << c.m_szSettings << ' ' << c.m_speed << ' ' << c.m_flags;
    }
    CLineSettings settings;
    for (const char* bad : {"9601,8N1", "9600,6N1", "9600,8M1", "9600,8N3", "9600 8N1"})
        EXPECT_FALSE(ParseLineSettings(QString::fromLatin1(bad), settings)) << bad;
}

} // namespace
