// tessaro-cli's instrument commands against the simulator on a
// pseudo-terminal (real time: the protocol's pauses make each command take
// seconds), and the simulator program itself on a pseudo-terminal.

#include "PtyPeer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

namespace {

// One command with its exit code, its output (when given) and a part of its
// error output.
struct CCliStep
{
    QStringList m_args;
    int m_nExit = 0;
    std::optional<QString> m_out = {};
    QString m_strErrPart = {};
};

// The state the simulator starts from; also the expected answers.
const char* const kState = R"({
  "name": "SIM-5 PLUS",
  "jobs": [
    {"name": "A1", "number": 1, "fixpointBlocks": 2, "measurementBlocks": 4, "fixpoints": ["F1 100.000 200.000"],
     "measurements": ["M1 0.000 90.0000 12.345 1.600 \u00e9\u00b0", "M2 45.000 90.1000 22.450 1.600 x",
                      "M3 90.000 89.9000 31.005 1.600 y", "M4 135.500 90.0500 40.100 1.600 z"]},
    {"name": "", "number": 2}, {"name": "NO\u001b]0;x\tRTH", "number": 5, "fixpointBlocks": 0, "measurementBlocks": 9}
  ],
  "formats": [{"name": "TQS", "number": 1, "first": 1, "second": 1}, {"name": "VORN", "number": 2, "first": 3, "second": 4},
              {"name": "", "number": 3, "first": 0, "second": 0}],
  "codeLists": [{"name": "CODES", "number": 1, "count": 12}, {"name": "", "number": 2, "count": 0},
                {"name": "TREES", "number": 3, "count": 4, "lines": ["001 OAK", "002 ASH", "003 ELM", "004 YEW"]}]
})";

// A scratch folder with an empty profile (default port settings: 19200
// bit/s, CR LF) and a simulator started from kState.
class CliTest : public ::testing::Test
{
protected:
    // Runs tessaro-cli, on the simulator's line once one runs; its output and error output.
    std::pair<QString, QString> Check(const CCliStep& step)
    {
        QStringList arguments = QStringList{"--profile", Path("profile.ini")} + step.m_args;
        if (!m_sim.Device().isEmpty() && m_bOnSimulator)
            arguments << "--device" << m_sim.Device();
        QProcess process;
        process.start(QStringLiteral(TESSARO_CLI), arguments);
        const bool ended = process.waitForFinished(180000) && process.exitStatus() == QProcess::NormalExit;
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        const std::string what = (step.m_args.join(' ') + ": " + err).toStdString();
        EXPECT_EQ(ended ? process.exitCode() : -1, step.m_nExit) << what;
        EXPECT_TRUE(!step.m_out || out == *step.m_out) << what << out.toStdString();
        EXPECT_TRUE(err.contains(step.m_strErrPart)) << what;
        return {out, err};
    }

    bool StartSim(const QStringList& more = {})
    {
        return WriteFile(Path("state.json"), kState)
            && m_sim.Start(QStringList{"--state", Path("state.json"), "--save-state", Path("saved.json"),
                                       "--transcript", Path("transcript.txt")}
                           + more);
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    CSimProcess m_sim;
    // Commands get --device with the simulator's line.
    bool m_bOnSimulator = true;
};

using CliUsage = CliTest;
using CliInstrument = CliTest;

TEST_F(CliUsage, BadCommandLinesExitWithTwoAndAMissingDeviceWithOne)
{
    for (const char* args : {"frobnicate", "jobs extra", "erase bogus 1", "erase job", "erase job x1",
                             "receive measurements 1", "receive everything 1 f.TQS", "send job 1", "jobs --device",
                             "codes --colour red", "detect now", "detect --fast"})
        Check({QString::fromLatin1(args).split(' '), 2, ""});
    // Help asked for goes to stdout with 0; without a command the usage goes to stderr with 2.
    const std::pair<const char*, int> helpCases[] = {{"--help", 0}, {"help", 0}, {"ftp ls --help", 0}, {"", 2}};
    for (const auto& [args, exit] : helpCases) {
        const auto [out, err] = Check({QString::fromLatin1(args).split(' ', Qt::SkipEmptyParts), exit});
        EXPECT_TRUE((exit ? err : out).startsWith("usage: tessaro-cli")) << args;
        EXPECT_EQ((exit ? out : err).toStdString(), "") << args;
    }
    // The system's reason follows the message; an unwritable folder is found before the port is opened.
    Check(
        {{"jobs", "--device", Path("no-such-tty")}, 1, "", "COM Invalid handle\n" + Path("no-such-tty: No such file")});
    Check({{"receive", "measurements", "1", "/sys/A1.TQS", "--device", Path("no-such-tty")},
           1,
           "",
           "Unable to open file to local maschine\n/sys: Permission denied"});
    Check({{"detect", "--device", Path("no-such-tty")}, 1, "", "no-such-tty skipped: "});
    // Below --root no path leads out of it; refused before the port is opened.
    Check({{"--root", Path(""), "receive", "measurements", "1", "..\\A1.TQS"}, 1, "", "leads out of the root folder"});
    Check({{"--root", Path(""), "send", "job", "1", "Data/../../A1.TQS"}, 1, "", "leads out of the root folder"});
}

// One session: identify, erase, receive and send back, then the listings
// show what the instrument holds after all that.
TEST_F(CliInstrument, IdentifyEraseReceiveSendAndList)
{
    ASSERT_TRUE(StartSim());
    const QString file = Path("A1.TQS");
    const std::vector<CCliStep> steps = {
        {{"--trace", "-", "identify"}, 0, "SIM-5 PLUS\n", R"(COM < %R1P,0,0:0,"SIM-5 PLUS"\x0D\x0A)"},
        // Without --yes the question (see LinkTest.Erase) is answered No: nothing is erased.
        {{"erase", "codelist", "3"}, 1, "", "Continue anyway? -> No"},
        {{"erase", "codelist", "3", "--yes"}, 0, ""},
        {{"erase", "codelist", "9", "--yes"}, 1, "", "no code list number 9"}, // not sent at all
        {{"receive", "measurements", "1", file, "--format", "TQS"}},
        // Job 2 is a free slot: it gets the name given with --name.
        {{"send", "fixpoints", "2", file, "--name", "BACK"}},
        {{"jobs"}, 0, "1\tA1\t2\t4\t0\n2\tBACK\t4\t0\t0\n5\tNO\\x1b]0;x\\x09RTH\t0\t9\t0\n"},
        {{"formats"}, 0, "1\tTQS\t1\t1\t0\n2\tVORN\t3\t4\t0\n3\tempty\t0\t0\t1\n"},
        {{"codes"}, 0, "1\tCODES\t12\t0\n2\tempty\t0\t1\n3\tempty\t0\t1\n"}};
    for (const CCliStep& step : steps)
        Check(step);
    ASSERT_EQ(m_sim.Stop(), 0);
    const QByteArray wire = ReadFile(Path("transcript.txt"));
    EXPECT_EQ(wire.count("RX CODE/ERASE/"), 1);
    EXPECT_TRUE(wire.contains("RX FORM/SET/0\\r\\n")); // TQS is the first format offered
}

// A misbehaving instrument: every command ends, says why, leaves the older
// file alone and puts nothing on the wire that the user did not mean (the
// core's tests hold the bounds in time and bytes).
TEST_F(CliInstrument, MisbehavingInstrumentsEndInBoundedTimeWithAMessage)
{
    const QString older = Path("A1.TQS");
    struct CCase
    {
        QStringList simOptions;
        CCliStep step;
    };
    const QList<CCase> cases = {
        // Identified but nameless: nothing on stdout, a note on stderr, success.
        {{"--endless-cr"}, {{"identify"}, 0, "", "the instrument gave no name"}},
        {{"--silent"}, {{"identify"}, 1, "", "Communication problem"}},
        {{"--endless-data"},
         {{"receive", "measurements", "1", older, "--yes"}, 1, "", "more than 65536 bytes without a line end"}},
    };
    for (const CCase& c : cases) {
        ASSERT_TRUE(WriteFile(older, "older data\r\n"));
        ASSERT_TRUE(StartSim(c.simOptions));
        Check(c.step);
        EXPECT_EQ(m_sim.Stop(), 0);
        EXPECT_EQ(ReadFile(older), QByteArray("older data\r\n"));
        EXPECT_EQ(QDir(m_dir.path()).entryList({"*.TQS*"}, QDir::Files), QStringList({"A1.TQS"}));
        const QByteArray wire = ReadFile(Path("transcript.txt"));
        EXPECT_FALSE(wire.contains("ERASE")) << wire.right(300).data();
        EXPECT_FALSE(wire.contains("JOB/SET")) << wire.right(300).data();
    }
}

// An instrument at other settings than the profile's, on a device that no
// port leads to: detect --save finds it (after one silent try at the stored
// 19200 bit/s), and the next connection, without --device, reaches it.
TEST_F(CliInstrument, DetectSaveMakesTheNextConnectionWork)
{
    ASSERT_TRUE(StartSim({"--line-settings", "9600,8N1", "--end-mark", "cr"}));
    Check({{"detect", "--save"},
           0,
           m_sim.Device() + "\tCOM1:\t9600\t8\tN\t1\tCR\tSIM-5 PLUS\n",
           "COM1: now stands for " + m_sim.Device()});
    m_bOnSimulator = false;
    Check({{"identify"}, 0, "SIM-5 PLUS\n"});
    EXPECT_EQ(m_sim.Stop(), 0);
}

// The simulator program itself: a reply that was never read is dropped at
// the close, and one read before a quick reopening still arrives.
TEST(SimPty, UnreadRepliesAreDroppedAtTheClose)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--end-mark", "cr"}));
    CPtyPeer peer;
    for (int round = 0; round < 4; ++round) {
        ASSERT_TRUE(peer.Open(sim.Device()));
        EXPECT_EQ(peer.Ask("c"), QByteArray("?\r")) << "round " << round;
        // Closing without reading the reply, as after a failed receive.
        peer.Write(round % 2 ? "JOB/CONF/LIST\r\n" : "c\r\n");
        usleep(round % 2 ? 20000 : 0);
        peer.Close();
        usleep(50000);
        // Reopening at once after a reply was read, as a refused format
        // selection does: the next reply still arrives.
        ASSERT_TRUE(peer.Open(sim.Device()));
        EXPECT_EQ(peer.Ask("FORM/SET/1"), QByteArray("OK\r"));
        peer.Close();
    }
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimPty, LineSpeedIsEmulatedAndFailureOptionsWork)
{
    QTemporaryDir dir;
    const QString state = dir.filePath("state.json");
    ASSERT_TRUE(WriteFile(
        state, R"({"jobs":[{"name":"J","number":1,"measurements":["0123456789012345678901234567890123456789"]}]})"));
    CSimProcess sim;
    ASSERT_TRUE(
        sim.Start({"--state", state, "--baud", "1200", "--error-after", "1", "--refuse-set", "1", "--reply-127"}));
    CPtyPeer peer;
    ASSERT_TRUE(peer.Open(sim.Device()));
    // At 1200 bit/s a byte takes 8.3 ms: wait long enough for whole replies.
    using Script = std::vector<std::pair<QByteArray, QByteArray>>;
    for (const auto& [command, reply] : Script{{"FORM/SET/1", "@W\r\n"},
                                               {"FORM/SET/1", "OK\r\n"},
                                               {"JOB/CONF/LIST", "@127"},
                                               {"JOB/CONF/LIST", "J,1,0,1\r\n"},
                                               {"JOB/RCV/OBSERV/1", "OK\r\n"}})
        EXPECT_EQ(peer.Ask(command, 400), reply) << command.data();

    // "?" CR LF goes out (3 bytes) and 42 bytes come back: 45 bytes of
    // 10 bits at 1200 bit/s are 375 ms.
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(peer.Write("?\r\n"));
    QByteArray line;
    while (!line.endsWith("\r\n") && timer.elapsed() < 10000)
        line += peer.ReadUntilQuiet(50, 100);
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(line, QByteArray("0123456789012345678901234567890123456789\r\n"));
    EXPECT_GE(elapsed, 370);
    EXPECT_LT(elapsed, 5000); // slack for a loaded machine: the lower bound checks the line speed
    EXPECT_EQ(peer.Ask("?", 400), QByteArray("@E1\r\n"));
    peer.Close();
    EXPECT_EQ(sim.Stop(), 0);

    EXPECT_FALSE(CSimProcess().Start({"--state", dir.filePath("missing.json")}));
}

} // namespace
