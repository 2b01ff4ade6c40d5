#include "SimInstrument.h"
#include "SimState.h"
#include "WireText.h"

#include <gtest/gtest.h>

namespace {

// Drives the engine the way the handheld does: one command line at a time.
class SimTest : public ::testing::Test
{
protected:
    QByteArray Say(const QByteArray& line) { return Sim().HandleLine(line); }

    CSimInstrument& Sim()
    {
        if (!m_sim)
            m_sim = std::make_unique<CSimInstrument>(m_state, m_options);
        return *m_sim;
    }

    CSimState m_state = CSimState::Default();
    SSimOptions m_options;
    std::unique_ptr<CSimInstrument> m_sim;
};

TEST_F(SimTest, WakeUpAndIdentify)
{
    EXPECT_EQ(Say("a"), QByteArray());
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));
    EXPECT_EQ(Say("%R1Q,5004:"), QByteArray("%R1P,0,0:0,\"TC1610\"\r\n"));
}

TEST_F(SimTest, IdentifyFailurePaths)
{
    m_options.m_bNoName = true;
    EXPECT_EQ(Say("%R1Q,5004:"), QByteArray());
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));  // the rest still answers

    m_sim.reset();
    m_options.m_bNoName = false;
    m_options.m_nIdentifyCode = 1;
    m_options.m_endMark = "\r";
    m_state.m_strName = QStringLiteral("ABC");
    EXPECT_EQ(Say("%R1Q,5004:"), QByteArray("%R1P,0,0:1,\"ABC\"\r"));
}

TEST_F(SimTest, ListingsGiveEveryRowThenBareQuestionMarks)
{
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));
    EXPECT_EQ(Say("JOB/CONF/LIST"), QByteArray("A1,1,3,5\r\n"));
    EXPECT_EQ(Say("?"), QByteArray(",2,0,0\r\n"));  // free slot: empty name
    EXPECT_EQ(Say("?"), QByteArray("QUARRY,3,0,12\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("P7,7,0,2\r\n"));
    // The job loop asks twice at the end; both get the bare "?".
    EXPECT_EQ(Say("?"), QByteArray("?"));
    EXPECT_EQ(Say("?"), QByteArray("?"));

    EXPECT_EQ(Say("FORM/CONF/LIST"), QByteArray("TQS,1,1,1\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("VORN,2,1,1\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("GSI8,3,8,0\r\n"));
    EXPECT_EQ(Say("?"), QByteArray(",4,0,0\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("?"));
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));

    EXPECT_EQ(Say("CODE/CONF/LIST"), QByteArray("CODES,1,12\r\n"));
    EXPECT_EQ(Say("?"), QByteArray(",2,0\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("TREES,3,4\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("?"));

    // A new listing starts from its first row again.
    EXPECT_EQ(Say("CODE/CONF/LIST"), QByteArray("CODES,1,12\r\n"));
}

TEST_F(SimTest, ListEndsCanBeLinesOrSilence)
{
    m_options.m_listEnd = SSimOptions::EListEnd::Line;
    EXPECT_EQ(Say("CODE/CONF/LIST"), QByteArray("CODES,1,12\r\n"));
    Say("?");
    Say("?");
    EXPECT_EQ(Say("?"), QByteArray("?\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("?\r\n"));

    m_sim.reset();
    m_options.m_listEnd = SSimOptions::EListEnd::Silence;
    EXPECT_EQ(Say("CODE/CONF/LIST"), QByteArray("CODES,1,12\r\n"));
    Say("?");
    Say("?");
    EXPECT_EQ(Say("?"), QByteArray());
    // Outside a listing a poll still gets the bare "?".
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("?"));
}

TEST_F(SimTest, ListingFailurePaths)
{
    m_options.m_bReply127 = true;
    EXPECT_EQ(Say("JOB/CONF/LIST"), QByteArray("@127"));        // only the first time
    EXPECT_EQ(Say("JOB/CONF/LIST"), QByteArray("A1,1,3,5\r\n"));
    EXPECT_EQ(Say("FORM/CONF/LIST"), QByteArray("TQS,1,1,1\r\n"));

    m_sim.reset();
    m_state.m_jobs.clear();
    m_options.m_bReply127 = false;
    EXPECT_EQ(Say("JOB/CONF/LIST"), QByteArray("?"));  // nothing to list
    EXPECT_EQ(Say("DISK/CONF/LIST"), QByteArray("@W\r\n"));

    m_sim.reset();
    m_state = CSimState::Default();
    m_options.m_bSilent = true;
    for (const char* line : {"a", "c", "%R1Q,5004:", "JOB/CONF/LIST", "?", "JOB/ERASE/1"})
        EXPECT_EQ(Say(line), QByteArray()) << line;
    EXPECT_EQ(m_state.FindJob(1)->m_strName, QStringLiteral("A1"));
}

TEST_F(SimTest, ReceiveSendsLinesThenFallsSilent)
{
    EXPECT_EQ(Say("FORM/SET/0"), QByteArray("OK\r\n"));
    EXPECT_EQ(Sim().SelectedFormat(), 0);
    EXPECT_EQ(Say("JOB/RCV/OBSERV/7"), QByteArray("OK\r\n"));
    const SSimJob* job = m_state.FindJob(7);
    ASSERT_EQ(job->m_measurements.size(), 2);
    EXPECT_EQ(Say("?"), ToWire(job->m_measurements[0]) + "\r\n");
    EXPECT_EQ(Say("?"), ToWire(job->m_measurements[1]) + "\r\n");
    EXPECT_EQ(Say("?"), QByteArray());
    EXPECT_EQ(Say("?"), QByteArray());

    EXPECT_EQ(Say("JOB/RCV/COORDS/1"), QByteArray("OK\r\n"));
    EXPECT_EQ(Say("?"), ToWire(m_state.FindJob(1)->m_fixpoints[0]) + "\r\n");
    // "c" stops the transfer; a poll after it is no data poll.
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("?"));

    EXPECT_EQ(Say("CODE/RCV/3"), QByteArray("OK\r\n"));
    int lines = 0;
    while (!Say("?").isEmpty())
        ++lines;
    EXPECT_EQ(lines, 4);

    // A closed port ends a receive too.
    EXPECT_EQ(Say("CODE/RCV/3"), QByteArray("OK\r\n"));
    Sim().PortClosed();
    EXPECT_EQ(Say("?"), QByteArray("?"));
}

TEST_F(SimTest, ReceiveFailurePaths)
{
    m_options.m_nBusy = 2;
    m_options.m_nErrorAfter = 3;
    EXPECT_EQ(Say("JOB/RCV/OBSERV/3"), QByteArray("OK\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("\x16", 1));
    EXPECT_EQ(Say("?"), QByteArray("\x16", 1));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Say("?"), ToWire(m_state.FindJob(3)->m_measurements[i]) + "\r\n");
    EXPECT_EQ(Say("?"), QByteArray("@E1\r\n"));

    // Busy and error count again for the next receive.
    EXPECT_EQ(Say("JOB/RCV/OBSERV/3"), QByteArray("OK\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("\x16", 1));

    // The error reply can be "@W1" instead.
    m_sim.reset();
    m_options.m_nBusy = 0;
    m_options.m_nErrorAfter = 0;
    m_options.m_strErrorReply = QStringLiteral("@W1");
    EXPECT_EQ(Say("JOB/RCV/COORDS/1"), QByteArray("OK\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("@W1\r\n"));

    // An unknown job is refused and its polls fail.
    EXPECT_EQ(Say("JOB/RCV/OBSERV/99"), QByteArray("@W\r\n"));
    EXPECT_EQ(Say("?"), QByteArray("@E1\r\n"));
    EXPECT_EQ(Say("CODE/RCV/x"), QByteArray("@W\r\n"));
}

TEST_F(SimTest, SendStoresLinesAndIgnoresTheDoubledTerminator)
{
    EXPECT_EQ(Say("JOB/SND/COORD/2"), QByteArray("OK\r\n"));
    // Each file line arrives as its text, CR LF, CR LF: one reply per line.
    EXPECT_EQ(Say("L1"), QByteArray("?\r\n"));
    EXPECT_EQ(Say(""), QByteArray());
    EXPECT_EQ(Say(""), QByteArray("?\r\n"));   // an empty file line
    EXPECT_EQ(Say(""), QByteArray());
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));  // data, not a command
    EXPECT_EQ(Say(""), QByteArray());
    EXPECT_EQ(Say(QByteArray("\xE9\x01 x\r y", 7)), QByteArray("?\r\n"));
    Sim().PortClosed();
    const SSimJob* job = m_state.FindJob(2);
    EXPECT_EQ(job->m_fixpoints, QStringList({"L1", "", "c", FromWire(QByteArray("\xE9\x01 x\r y", 7))}));
    EXPECT_EQ(job->m_nFixpointBlocks, 4);
    // After the close, lines are commands again.
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));

    // A code list is replaced the same way.
    EXPECT_EQ(Say("CODE/SND/1"), QByteArray("OK\r\n"));
    EXPECT_EQ(Say("001 NEW"), QByteArray("?\r\n"));
    Sim().PortClosed();
    EXPECT_EQ(m_state.FindCodeList(1)->m_lines, QStringList({"001 NEW"}));
    EXPECT_EQ(m_state.FindCodeList(1)->m_nCount, 1);

    // A format ends with the single character 0x1A.
    EXPECT_EQ(Say("FORM/SND/4"), QByteArray("OK\r\n"));
    EXPECT_EQ(Say("FORMAT NEW"), QByteArray("?\r\n"));
    EXPECT_EQ(Say(""), QByteArray());
    EXPECT_EQ(Say("\x1A"), QByteArray("OK\r\n"));
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));
    const SSimFormat* format = m_state.FindFormat(4);
    EXPECT_EQ(format->m_lines, QStringList({"FORMAT NEW"}));
    EXPECT_TRUE(format->m_nFirst != 0 && format->m_nSecond != 0);
}

TEST_F(SimTest, SendFailurePaths)
{
    // A line too long to keep ends the data; what came before stays.
    EXPECT_EQ(Say("CODE/SND/3"), QByteArray("OK\r\n"));
    EXPECT_EQ(Say("001 KEPT"), QByteArray("?\r\n"));
    EXPECT_EQ(Sim().HandleOverlongLine(), QByteArray("@W\r\n"));
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));
    EXPECT_EQ(m_state.FindCodeList(3)->m_lines, QStringList({"001 KEPT"}));

    EXPECT_EQ(Say("JOB/SND/COORD/99"), QByteArray("@W\r\n"));
    EXPECT_EQ(Say("FORM/SND/99"), QByteArray("@W\r\n"));
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));  // not storing

    m_sim.reset();
    m_options.m_bRefuseSnd = true;
    EXPECT_EQ(Say("CODE/SND/1"), QByteArray("@W\r\n"));
    EXPECT_EQ(Say("LINE"), QByteArray("@W\r\n"));  // an unknown command now
    EXPECT_EQ(m_state.FindCodeList(1)->m_nCount, 12);
}

TEST_F(SimTest, SettingNamesAndFormatsWithRefusals)
{
    m_options.m_nRefuseSet = 3;
    EXPECT_EQ(Say("FORM/SET/1"), QByteArray("@W\r\n"));
    EXPECT_EQ(Say("JOB/SET/NEW/2"), QByteArray("@W\r\n"));
    EXPECT_EQ(Say("CODE/SET/NEW/2"), QByteArray("@W\r\n"));
    EXPECT_EQ(Say("JOB/SET/NEW/2"), QByteArray("OK\r\n"));
    EXPECT_EQ(m_state.FindJob(2)->m_strName, QStringLiteral("NEW"));
    EXPECT_EQ(Say("CODE/SET/BIRDS/2"), QByteArray("OK\r\n"));
    EXPECT_EQ(m_state.FindCodeList(2)->m_strName, QStringLiteral("BIRDS"));
    // A number without a slot gets one.
    EXPECT_EQ(Say("JOB/SET/P12/12"), QByteArray("OK\r\n"));
    ASSERT_NE(m_state.FindJob(12), nullptr);
    EXPECT_EQ(m_state.FindJob(12)->m_strName, QStringLiteral("P12"));
    EXPECT_EQ(Say("FORM/SET/3"), QByteArray("OK\r\n"));
    EXPECT_EQ(Sim().SelectedFormat(), 3);

    for (const char* bad : {"JOB/SET//2", "JOB/SET/NAME", "JOB/SET/NAME/x", "FORM/SET/", "FORM/SET/-1", "FORM/SET/a"})
        EXPECT_EQ(Say(bad), QByteArray("@W\r\n")) << bad;
    EXPECT_EQ(Sim().SelectedFormat(), 3);
}

TEST_F(SimTest, EraseClearsWhatItNames)
{
    EXPECT_EQ(Say("JOB/ERASE/OBSERV/1"), QByteArray("OK\r\n"));
    EXPECT_TRUE(m_state.FindJob(1)->m_measurements.isEmpty());
    EXPECT_EQ(m_state.FindJob(1)->m_nMeasurementBlocks, 0);
    EXPECT_EQ(m_state.FindJob(1)->m_nFixpointBlocks, 3);
    EXPECT_EQ(Say("JOB/ERASE/COORD/1"), QByteArray("OK\r\n"));
    EXPECT_EQ(m_state.FindJob(1)->m_nFixpointBlocks, 0);
    EXPECT_EQ(m_state.FindJob(1)->m_strName, QStringLiteral("A1"));
    EXPECT_EQ(Say("JOB/ERASE/3"), QByteArray("OK\r\n"));
    EXPECT_EQ(Say("CODE/ERASE/1"), QByteArray("OK\r\n"));
    EXPECT_EQ(Say("FORM/ERASE/2"), QByteArray("OK\r\n"));

    // Erased slots stay, listed as free slots.
    EXPECT_EQ(Say("JOB/CONF/LIST"), QByteArray("A1,1,0,0\r\n"));
    EXPECT_EQ(Say("?"), QByteArray(",2,0,0\r\n"));
    EXPECT_EQ(Say("?"), QByteArray(",3,0,0\r\n"));
    EXPECT_EQ(Say("CODE/CONF/LIST"), QByteArray(",1,0\r\n"));
    EXPECT_EQ(Say("FORM/CONF/LIST"), QByteArray("TQS,1,1,1\r\n"));
    EXPECT_EQ(Say("?"), QByteArray(",2,0,0\r\n"));

    for (const char* bad : {"JOB/ERASE/99", "CODE/ERASE/99", "FORM/ERASE/x", "JOB/ERASE/FOO/1", "DISK/ERASE/1"})
        EXPECT_EQ(Say(bad), QByteArray("@W\r\n")) << bad;
}

TEST_F(SimTest, AnyOtherLineGetsARefusalOrNothing)
{
    const QList<QByteArray> junk = {"", "x", "??", "JOB", "JOB/", "/", "//", "JOB/RCV", "JOB/RCV/OBSERV/",
                                    "%R1Q,5005:", QByteArray("\x00\xFF\x16", 3), QByteArray(600, 'Z'),
                                    "JOB/SND/COORD/-5", "FORM/CONF/LIST/1"};
    for (const QByteArray& line : junk) {
        const QByteArray reply = Say(line);
        EXPECT_TRUE(reply.isEmpty() || reply == "@W\r\n") << line.toStdString();
    }
    EXPECT_EQ(Say("c"), QByteArray("?\r\n"));
}

} // namespace
