// The simulator program on a real pseudo-terminal, talked to with raw reads
// and writes (real time).

#include "PtyPeer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(SimPty, ReceiveEndsInSilenceSentLinesAreStoredAndUnreadRepliesAreDropped)
{
    QTemporaryDir dir;
    const QString saved = dir.filePath("saved.json");
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--save-state", saved, "--busy", "1", "--end-mark", "cr"}));
    CPtyPeer peer;
    ASSERT_TRUE(peer.Open(sim.Device()));
    EXPECT_EQ(peer.Ask("JOB/RCV/OBSERV/7"), QByteArray("OK\r"));
    EXPECT_EQ(peer.Ask("?"), QByteArray("\x16", 1));
    const QByteArray first = peer.Ask("?");
    EXPECT_TRUE(first.startsWith("M 07.0001 ") && first.endsWith("\r") && !first.endsWith("\n")) << first.data();
    EXPECT_TRUE(peer.Ask("?").startsWith("M 07.0002 "));
    EXPECT_EQ(peer.Ask("?", 1000), QByteArray()); // silence, however long one waits
    peer.Close();

    // Fixpoints sent to job 2, each line followed by the extra CR LF; the
    // close ends the data.
    ASSERT_TRUE(peer.Open(sim.Device()));
    EXPECT_EQ(peer.Ask("JOB/SND/COORD/2"), QByteArray("OK\r"));
    EXPECT_EQ(peer.Ask("P1 100.000 200.000\r\n"), QByteArray("?\r"));
    EXPECT_EQ(peer.Ask("P2 101.000 201.000\r\n"), QByteArray("?\r"));
    peer.Close();

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
    ASSERT_EQ(sim.Stop(), 0);
    const QJsonObject job = QJsonDocument::fromJson(ReadFile(saved))["jobs"][1].toObject();
    EXPECT_EQ(job["number"].toInt(), 2);
    EXPECT_EQ(job["fixpoints"].toArray(), QJsonArray({"P1 100.000 200.000", "P2 101.000 201.000"}));
    EXPECT_EQ(job["fixpointBlocks"].toInt(), 2);
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
    while (!line.endsWith("\r\n") && timer.elapsed() < 3000)
        line += peer.ReadUntilQuiet(50, 100);
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(line, QByteArray("0123456789012345678901234567890123456789\r\n"));
    EXPECT_GE(elapsed, 370);
    EXPECT_LT(elapsed, 1000);
    EXPECT_EQ(peer.Ask("?", 400), QByteArray("@E1\r\n"));
    peer.Close();
    EXPECT_EQ(sim.Stop(), 0);

    EXPECT_FALSE(CSimProcess().Start({"--state", dir.filePath("missing.json")}));
}

// The handheld is heard only at the instrument's own speed, parity and stop
// bits (as far as the pseudo-terminal shows them).
TEST(SimPty, HearsTheHandheldOnlyAtItsLineSettings)
{
    QTemporaryDir dir;
    const QString transcript = dir.filePath("transcript.txt");
    CSimProcess sim;
    ASSERT_TRUE(
        sim.Start({"--line-settings", "4800,7O1", "--end-mark", "cr", "--name", "SIM-7", "--transcript", transcript}));
    CPtyPeer peer;
    ASSERT_TRUE(peer.Open(sim.Device()));
    const QByteArray name("%R1P,0,0:0,\"SIM-7\"\r");
    for (const auto& [speed, flags, reply] : std::vector<std::tuple<unsigned, unsigned, QByteArray>>{
             {B4800, CS7 | PARENB | PARODD, name},
             {B4800, CS7 | PARENB, ""},                   // even parity
             {B9600, CS7 | PARENB | PARODD, ""},          // another speed
             {B4800, CS7 | PARENB | PARODD | CSTOPB, ""}, // two stop bits
             {B4800, CS8 | PARENB | PARODD, name}}) {     // data bits do not show on a pseudo-terminal
        ASSERT_TRUE(peer.SetLine(speed, flags));
        EXPECT_EQ(peer.Ask("%R1Q,5004:"), reply) << speed << ' ' << flags;
    }
    peer.Close();
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_TRUE(ReadFile(transcript).contains("-- line settings differ, 12 bytes not understood"));

    EXPECT_FALSE(CSimProcess().Start({"--line-settings", "4800,7X1"}));
}

} // namespace
