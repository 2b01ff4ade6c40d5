#include "SimInstrument.h"
#include "SimState.h"
#include "WireText.h"

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
    SSimOptions& Restart()
    {
        m_sim.reset();
        return m_options = SSimOptions();
    }
    QByteArray Measurement(int job, int i) { return ToWire(m_state.FindJob(job)->m_measurements[i]) + "\r\n"; }

    CSimState m_state = CSimState::Default();
    SSimOptions m_options;
    std::unique_ptr<CSimInstrument> m_sim;
};

TEST_F(SimTest, IdentifyItsFailureOptionsAndSilence)
{
    Play({{"a", kNothing}, {"c", kQuery}, {"%R1Q,5004:", "%R1P,0,0:0,\"SIM-1\"\r\n"}});
    Restart().m_bNoName = true;
    Play({{"%R1Q,5004:", kNothing}, {"c", kQuery}});
    Restart().m_nIdentifyCode = 1;
    m_options.m_endMark = "\r";
    m_state.m_strName = QStringLiteral("ABC");
    Play({{"%R1Q,5004:", "%R1P,0,0:1,\"ABC\"\r"}, {"c", "?\r"}});

    Restart().m_bSilent = true;
    for (const char* line : {"a", "c", "%R1Q,5004:", "JOB/CONF/LIST", "?", "JOB/ERASE/1", "CODE/SND/1"})
        EXPECT_EQ(Say(line), kNothing) << line;
    EXPECT_EQ(m_state.FindJob(1)->m_strName, QStringLiteral("A1"));
}

TEST_F(SimTest, ListingsGiveEveryRowThenTheirEnd)
{
    // The job loop asks twice at the end; both get the bare "?".
    Polls("JOB/CONF/LIST", {"A1,1,3,5\r\n", ",2,0,0\r\n", "QUARRY,3,0,12\r\n", "P7,7,0,2\r\n", kBare, kBare});
    Polls("FORM/CONF/LIST", {"TQS,1,1,1\r\n", "VORN,2,1,1\r\n", "XYZ,3,8,0\r\n", ",4,0,0\r\n", kBare});
    Polls("CODE/CONF/LIST", {"CODES,1,12\r\n", ",2,0\r\n", "TREES,3,4\r\n", kBare});
    Polls("CODE/CONF/LIST", {"CODES,1,12\r\n"}); // a new listing starts from its first row

    for (const auto& [end, reply] : std::vector<std::pair<SSimOptions::EListEnd, QByteArray>>{
             {SSimOptions::EListEnd::Line, kQuery}, {SSimOptions::EListEnd::Silence, kNothing}}) {
        Restart().m_listEnd = end;
        Polls("CODE/CONF/LIST", {"CODES,1,12\r\n", ",2,0\r\n", "TREES,3,4\r\n", reply, reply});
        Play({{"c", kQuery}, {"?", kBare}}); // outside a listing a poll gets the bare "?"
    }

    Restart().m_bReply127 = true; // only the first time
    Play({{"JOB/CONF/LIST", "@127"}, {"JOB/CONF/LIST", "A1,1,3,5\r\n"}, {"FORM/CONF/LIST", "TQS,1,1,1\r\n"}});

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
    EXPECT_EQ(m_state.FindJob(2)->m_strName, QStringLiteral("NEW"));
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

} // namespace
