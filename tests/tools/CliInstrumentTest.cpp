// tessaro-cli's instrument commands against the simulator on a
// pseudo-terminal (real time: the protocol's pauses make each command take
// seconds).

#include "PtyPeer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CCliRun
{
    int m_nExit = -1;
    QString m_strOut;
    QString m_strErr;
};

// A scratch folder with an empty profile, so the port settings are the
// defaults (19200 bit/s, CR LF) and only --device names the line.
class CliFixture
{
public:
    CliFixture() { m_strProfile = m_dir.filePath("profile.ini"); }

    CCliRun Cli(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(TESSARO_CLI), QStringList{"--profile", m_strProfile} + arguments);
        CCliRun run;
        if (!process.waitForFinished(180000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.m_nExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.m_strOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.m_strErr = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_strProfile;
};

// The state the simulator starts from; also the expected answers.
const char* const kState = R"({
  "name": "TS16 R500",
  "jobs": [
    {"name": "A1", "number": 1, "fixpointBlocks": 2, "measurementBlocks": 4,
     "fixpoints": ["F1 100.000 200.000 5.000", "F2 110.000 210.000 6.000"],
     "measurements": ["M1 0.000 90.0000 12.345 1.600 \u00e9\u00b0",
                      "M2 45.000 90.1000 22.450 1.600 x",
                      "M3 90.000 89.9000 31.005 1.600 y",
                      "M4 135.500 90.0500 40.100 1.600 z"]},
    {"name": "", "number": 2},
    {"name": "NORTH", "number": 5, "fixpointBlocks": 0, "measurementBlocks": 9}
  ],
  "formats": [
    {"name": "TQS", "number": 1, "first": 1, "second": 1},
    {"name": "VORN", "number": 2, "first": 3, "second": 4},
    {"name": "", "number": 3, "first": 0, "second": 0}
  ],
  "codeLists": [
    {"name": "CODES", "number": 1, "count": 12},
    {"name": "", "number": 2, "count": 0},
    {"name": "TREES", "number": 3, "count": 4, "lines": ["001 OAK", "002 ASH", "003 ELM", "004 YEW"]}
  ]
})";

QJsonObject Saved(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

QJsonObject Row(const QJsonObject& state, const char* table, int number)
{
    for (const QJsonValue& row : state.value(QLatin1String(table)).toArray())
        if (row.toObject().value("number").toInt() == number)
            return row.toObject();
    return {};
}

QByteArray Latin1Lines(const QJsonArray& lines)
{
    QByteArray bytes;
    for (const QJsonValue& line : lines)
        bytes += line.toString().toLatin1() + "\r\n";  // the test data hold no character above 255
    return bytes;
}

bool StartSim(CSimProcess& sim, CliFixture& fixture, const QStringList& more = {})
{
    QFile state(fixture.Path("state.json"));
    if (!state.open(QIODevice::WriteOnly) || state.write(kState) < 0)
        return false;
    state.close();
    return sim.Start(QStringList{"--state", state.fileName(), "--save-state", fixture.Path("saved.json"),
                                 "--transcript", fixture.Path("transcript.txt")}
                     + more);
}

TEST(CliUsage, BadCommandLinesExitWithTwoAndAMissingDeviceWithOne)
{
    CliFixture fixture;
    const QList<QStringList> usageErrors = {
        {"frobnicate"},
        {"jobs", "extra"},
        {"erase", "bogus", "1"},
        {"erase", "job"},
        {"erase", "job", "x1"},
        {"receive", "measurements", "1"},
        {"receive", "everything", "1", "f.TQS"},
        {"send", "job", "1"},
        {"jobs", "--device"},
        {"codes", "--colour", "red"},
    };
    for (const QStringList& args : usageErrors) {
        const CCliRun run = fixture.Cli(args);
        EXPECT_EQ(run.m_nExit, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.m_strOut.isEmpty()) << args.join(' ').toStdString();
    }

    const CCliRun missing = fixture.Cli({"jobs", "--device", fixture.Path("no-such-tty")});
    EXPECT_EQ(missing.m_nExit, 1);
    EXPECT_TRUE(missing.m_strErr.contains("COM Invalid handle")) << missing.m_strErr.toStdString();
    EXPECT_TRUE(missing.m_strOut.isEmpty());
}

TEST(CliInstrument, IdentifyAndListingsGiveWhatTheInstrumentHolds)
{
    CliFixture fixture;
    CSimProcess sim;
    ASSERT_TRUE(StartSim(sim, fixture));
    const QStringList device{"--device", sim.Device()};

    CCliRun run = fixture.Cli(QStringList{"identify"} + device);
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr.toStdString();
    EXPECT_EQ(run.m_strOut, "TS16 R500\n");

    run = fixture.Cli(QStringList{"jobs"} + device);
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr.toStdString();
    EXPECT_EQ(run.m_strOut, "1\tA1\t2\t4\t0\n2\tempty\t0\t0\t1\n5\tNORTH\t0\t9\t0\n");

    run = fixture.Cli(QStringList{"formats"} + device);
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr.toStdString();
    EXPECT_EQ(run.m_strOut, "1\tTQS\t1\t1\t0\n2\tVORN\t3\t4\t0\n3\tempty\t0\t0\t1\n");

    run = fixture.Cli(QStringList{"codes"} + device);
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr.toStdString();
    EXPECT_EQ(run.m_strOut, "1\tCODES\t12\t0\n2\tempty\t0\t1\n3\tTREES\t4\t0\n");
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(CliInstrument, EraseAsksFirstAndTheListShowsTheFreedSlot)
{
    CliFixture fixture;
    CSimProcess sim;
    ASSERT_TRUE(StartSim(sim, fixture));
    const QStringList device{"--device", sim.Device()};

    // Without --yes the question is answered No: nothing is erased.
    CCliRun run = fixture.Cli(QStringList{"erase", "codelist", "3"} + device);
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_strErr.contains("Delete Codelist TREES:\nData will be definitely lost! - Continue anyway? -> No"))
        << run.m_strErr.toStdString();

    run = fixture.Cli(QStringList{"erase", "codelist", "3", "--yes"} + device);
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr.toStdString();

    // A number the instrument does not have is not sent at all.
    run = fixture.Cli(QStringList{"erase", "codelist", "9", "--yes"} + device);
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_strErr.contains("no code list number 9")) << run.m_strErr.toStdString();

    run = fixture.Cli(QStringList{"codes"} + device);
    EXPECT_EQ(run.m_strOut, "1\tCODES\t12\t0\n2\tempty\t0\t1\n3\tempty\t0\t1\n");
    ASSERT_EQ(sim.Stop(), 0);

    EXPECT_TRUE(Row(Saved(fixture.Path("saved.json")), "codeLists", 3).value("lines").toArray().isEmpty());
    QFile transcript(fixture.Path("transcript.txt"));
    ASSERT_TRUE(transcript.open(QIODevice::ReadOnly));
    EXPECT_EQ(transcript.readAll().count("RX CODE/ERASE/"), 1);
}

TEST(CliInstrument, ReceivedMeasurementsGoBackAsFixpointsByteForByte)
{
    CliFixture fixture;
    CSimProcess sim;
    ASSERT_TRUE(StartSim(sim, fixture));
    const QStringList device{"--device", sim.Device()};
    const QString file = fixture.Path("A1.TQS");

    CCliRun run = fixture.Cli(QStringList{"receive", "measurements", "1", file, "--format", "TQS"} + device);
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr.toStdString();
    QFile received(file);
    ASSERT_TRUE(received.open(QIODevice::ReadOnly));
    const QByteArray bytes = received.readAll();
    received.close();
    const QJsonObject start = QJsonDocument::fromJson(kState).object();
    EXPECT_EQ(bytes, Latin1Lines(Row(start, "jobs", 1).value("measurements").toArray()));
    EXPECT_TRUE(bytes.contains("\xE9\xB0"));

    // Job 2 is a free slot: it gets the name given with --name.
    run = fixture.Cli(QStringList{"send", "fixpoints", "2", file, "--name", "BACK"} + device);
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr.toStdString();
    ASSERT_EQ(sim.Stop(), 0);

    const QJsonObject job = Row(Saved(fixture.Path("saved.json")), "jobs", 2);
    EXPECT_EQ(job.value("name").toString(), "BACK");
    EXPECT_EQ(Latin1Lines(job.value("fixpoints").toArray()), bytes);
    QFile transcript(fixture.Path("transcript.txt"));
    ASSERT_TRUE(transcript.open(QIODevice::ReadOnly));
    const QByteArray wire = transcript.readAll();
    EXPECT_TRUE(wire.contains("RX FORM/SET/0\\r\\n"));  // TQS is the first format offered
    EXPECT_TRUE(wire.contains("RX JOB/SET/BACK/2\\r\\n"));
    EXPECT_TRUE(wire.contains("RX JOB/SND/COORD/2\\r\\n"));
}

TEST(CliInstrument, ACableCutDuringAReceiveLeavesTheOlderFileAlone)
{
    CliFixture fixture;
    CSimProcess sim;
    // Listing the 3 jobs (c, command, 4 polls) and the 3 formats (c,
    // command, 3 polls, c), selecting the format (c, FORM/SET) and the
    // receive command take 15 lines; the line is cut at the third data poll.
    ASSERT_TRUE(StartSim(sim, fixture, {"--vanish-after", "17"}));
    const QString file = fixture.Path("A1.TQS");
    QFile older(file);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write("older data\r\n");
    older.close();

    const CCliRun run = fixture.Cli({"receive", "measurements", "1", file, "--yes", "--device", sim.Device()});
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_strErr.contains("Communication error")) << run.m_strErr.toStdString();
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    EXPECT_EQ(older.readAll(), QByteArray("older data\r\n"));
    EXPECT_EQ(QDir(fixture.m_dir.path()).entryList({"A1*"}, QDir::Files), QStringList{"A1.TQS"});
    QFile transcript(fixture.Path("transcript.txt"));
    ASSERT_TRUE(transcript.open(QIODevice::ReadOnly));
    const QByteArray wire = transcript.readAll();
    EXPECT_EQ(wire.count("RX ?\\r\\n"), 4 + 3 + 3);  // jobs and formats listings, then the data polls
    EXPECT_TRUE(wire.contains("-- line cut"));
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(CliInstrument, ASilentInstrumentFailsWithTheMessage)
{
    CliFixture fixture;
    CSimProcess sim;
    ASSERT_TRUE(StartSim(sim, fixture, {"--silent"}));
    const CCliRun run = fixture.Cli({"identify", "--device", sim.Device()});
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_strOut.isEmpty());
    EXPECT_TRUE(run.m_strErr.contains("Communication problem")) << run.m_strErr.toStdString();
    EXPECT_EQ(sim.Stop(), 0);
}

} // namespace
