#include "InstrumentFixture.h"

#include "platform/LocalPaths.h"
#include "platform/WaitCursor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

class ReceiveTest : public InstrumentTest
{
protected:
    ReceiveTest()
    {
        m_link.m_jobs = {CJobInfo{"A1", 4, 1, 5, 0}, CJobInfo{"../up", 6, 0, 0, 0}};
        m_link.m_formats = {CFormatInfo{"VORN", 1, 1, 1, 0}, CFormatInfo{"empty", 3, 0, 0, 1},
                            CFormatInfo{"F2", 2, 1, 1, 0}};
        m_link.m_codeLists = {CCodeListInfo{"CODES", 3, 12, 0}};
    }

    // Format selection with format 0, then the receive command.
    void ExpectStart(const QByteArray& command)
    {
        m_device.Expect("c\r\n", "OK\r\n");
        m_device.Expect("FORM/SET/0\r\n", "OK\r\n");
        m_device.Expect(command, "ACK\r\n");
    }

    QStringList Entries() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }
    QString Target(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

TEST_F(ReceiveTest, MeasurementsIntoAFolder)
{
    const QByteArray line = "12345678901234567890\r\n";   // 20 characters and CR LF
    m_prompt.PushDataDownload(true, "A1.VRN", 0);
    ExpectStart("JOB/RCV/OBSERV/4\r\n");
    m_device.Expect("?\r\n", line);
    m_device.Expect("?\r\n", "");
    ASSERT_TRUE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    EXPECT_EQ(ReadFile(Target("A1.VRN")), line);
    EXPECT_EQ(ReadFile(Target("A1.VRN")).size(), 22);
    EXPECT_EQ(Entries(), QStringList{"A1.VRN"});

    // The dialog got the row's name, the non-empty formats ("VORN" shown as
    // "VRN") and the first row's name to preselect.
    ASSERT_EQ(m_prompt.m_downloadRequests.size(), 1);
    const CDataDownloadRequest& request = m_prompt.m_downloadRequests.first();
    EXPECT_EQ(request.m_strName, "A1");
    EXPECT_EQ(request.m_formatNames, (QStringList{"VRN", "F2"}));
    EXPECT_EQ(request.m_strSelectedFormat, "VORN");

    EXPECT_EQ(m_device.m_events, (QByteArrayList{Open(), "c\r\n", "FORM/SET/0\r\n", Close(), Open(),
                                                 "JOB/RCV/OBSERV/4\r\n", "?\r\n", "?\r\n", Close()}));
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000, 2000, 2000}));
    EXPECT_EQ(m_progress.m_nBytes, 22);
    EXPECT_EQ(m_progress.m_nRange, 5);
    EXPECT_EQ(m_progress.m_strText, Target("A1.VRN"));
    EXPECT_EQ(m_progress.m_nShows, 1);
    EXPECT_EQ(m_progress.m_nHides, 1);
    EXPECT_FALSE(m_progress.m_bVisible);
    EXPECT_TRUE(m_device.AllExpected());
    EXPECT_TRUE(m_prompt.Idle());
}

TEST_F(ReceiveTest, ShortRepliesBusyByteAndLongLines)
{
    const QByteArray longLine = QByteArray(5000, 'x') + "\r\n";
    m_prompt.PushDataDownload(true, "fix.F2", 1);
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("FORM/SET/1\r\n", "OK\r\n");
    m_device.Expect("JOB/RCV/COORDS/4\r\n", "ACK\r\n");
    m_device.Expect("?\r\n", "?\r\n");            // three characters: dropped
    m_device.Expect("?\r\n", "ab\r\n");           // four: written
    m_device.Expect("?\r\n", "\x16");             // busy: wait and ask again
    m_device.Expect("?\r\n", longLine);           // longer than any buffer: written whole
    m_device.Expect("?\r\n", "ok\r");             // a short piece of a line: dropped
    m_device.Expect("?\r\n", "");
    ASSERT_TRUE(m_link.Receive(m_dir.path(), 4, 0x40, 0));
    EXPECT_EQ(ReadFile(Target("fix.F2")), "ab\r\n" + longLine);
    EXPECT_EQ(m_link.m_nFormat, 1);
    EXPECT_EQ(m_progress.m_nBytes, 4 + longLine.size());
    EXPECT_EQ(m_progress.m_nRange, 1);   // fix point blocks of the job
    // The busy byte cost one read time-out and a pause of 2000 ms.
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000, 2000, 2000, 2000}));
    EXPECT_EQ(m_device.m_writes.count("?\r\n"), 6);
    EXPECT_TRUE(m_device.AllExpected());
}

TEST_F(ReceiveTest, ErrorReplyKeepsOlderFile)
{
    WriteFile(Target("A1.VRN"), "OLD DATA\r\n");
    m_prompt.PushDataDownload(true, "A1.VRN", 0);
    m_prompt.PushButton(IDYES);
    ExpectStart("JOB/RCV/OBSERV/4\r\n");
    m_device.Expect("?\r\n", "NEW LINE 1\r\n");
    m_device.Expect("?\r\n", "@E1 and more\r\n");
    m_device.Expect("c\r\n", "");
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    EXPECT_EQ(ReadFile(Target("A1.VRN")), "OLD DATA\r\n");
    EXPECT_EQ(Entries(), QStringList{"A1.VRN"});   // no partial or temporary file
    EXPECT_EQ(m_prompt.m_shown.at(1), "Tessaro: Overvrite existing file ?");
    EXPECT_EQ(m_device.m_writes.last(), "c\r\n");
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000, 2000, 2000, 3000}));
    EXPECT_EQ(m_progress.m_nHides, 1);
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_TRUE(m_device.AllExpected());
}

TEST_F(ReceiveTest, CancelAndPulledCable)
{
    // Cancel at the second poll: one line was received, nothing stays.
    m_progress.m_nCancelAtPoll = 2;
    m_prompt.PushDataDownload(true, "A1.VRN", 0);
    ExpectStart("JOB/RCV/OBSERV/4\r\n");
    m_device.Expect("?\r\n", "LINE ONE\r\n");
    m_device.Expect("c\r\n", "");
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_EQ(m_device.m_writes.last(), "c\r\n");
    EXPECT_TRUE(m_device.AllExpected());

    // The cable is pulled in the middle of a line: a message, a closed port,
    // the older file untouched, no wait beyond the pauses.
    m_progress.m_nCancelAtPoll = 0;
    WriteFile(Target("A1.VRN"), "OLD\r\n");
    m_prompt.m_shown.clear();
    m_prompt.PushDataDownload(true, "A1.VRN", 0);
    m_prompt.PushButton(IDYES);
    CScriptedSerialDevice device(&m_clock);
    m_link.m_port.SetDevice(&device);
    device.Expect("c\r\n", "OK\r\n");
    device.Expect("FORM/SET/0\r\n", "OK\r\n");
    device.Expect("JOB/RCV/OBSERV/4\r\n", "ACK\r\n");
    device.Expect("?\r\n", "LINE ONE\r\n");
    device.Expect("?\r\n", "LINE T");
    device.LoseAfter(5);
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    EXPECT_EQ(ReadFile(Target("A1.VRN")), "OLD\r\n");
    EXPECT_EQ(Entries(), QStringList{"A1.VRN"});
    EXPECT_EQ(m_prompt.m_shown.last(), "Error: Communication error\nThe device has disappeared");
    EXPECT_EQ(device.m_nReadTimeouts, 0);
    EXPECT_FALSE(device.IsOpen());
    m_link.m_port.SetDevice(&m_device);
}

TEST_F(ReceiveTest, CodeListIntoStagingFile)
{
    m_prompt.PushDataDownload(true, "CODES.VRN", 0);
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("FORM/SET/1\r\n", "OK\r\n");
    m_device.Expect("CODE/RCV/3\r\n", "ACK\r\n");
    m_device.Expect("?\r\n", "CODE LINE\r\n");
    m_device.Expect("?\r\n", "");
    ASSERT_TRUE(m_link.Receive("any", 3, 0x10000, 1));
    EXPECT_EQ(ReadFile(CLocalPaths::StagingPath("tempftp")), "CODE LINE\r\n");
    EXPECT_EQ(m_link.m_strStagingName, "CODES.VRN");
    EXPECT_EQ(m_prompt.m_downloadRequests.first().m_formatNames, QStringList{"VRN"});
    EXPECT_EQ(m_prompt.m_downloadRequests.first().m_strSelectedFormat, "VRN");
    EXPECT_EQ(m_progress.m_strText, "CODES.VRN");
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000, 1000, 2000, 2000}));
    EXPECT_TRUE(m_device.AllExpected());
    QFile::remove(CLocalPaths::StagingPath("tempftp"));
}

TEST_F(ReceiveTest, RefusedBeforeTheInstrumentIsTouched)
{
    EXPECT_FALSE(m_link.Receive("", 4, 0x80, 0));            // no folder
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 5, 0x80, 0));  // not in the table: no dialog
    EXPECT_TRUE(m_prompt.m_downloadRequests.isEmpty());
    m_prompt.PushDataDownload(false);                        // dialog cancelled
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    m_prompt.PushDataDownload(true, "../../A1.VRN", 0);      // a path, not a name
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    WriteFile(Target("A1.VRN"), "OLD");
    m_prompt.PushDataDownload(true, "A1.VRN", 0);            // overwrite declined
    m_prompt.PushButton(IDNO);
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    EXPECT_EQ(ReadFile(Target("A1.VRN")), "OLD");
    EXPECT_TRUE(m_device.m_events.isEmpty());
    EXPECT_EQ(Entries(), QStringList{"A1.VRN"});
    // A job whose name would leave the folder is proposed as a plain name.
    m_prompt.PushDataDownload(false);
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 6, 0x80, 0));
    EXPECT_EQ(m_prompt.m_downloadRequests.last().m_strName, "._up");
    // The format table's first row is a free slot: nothing is preselected.
    m_link.m_formats.swapItemsAt(0, 1);
    m_prompt.PushDataDownload(false);
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    EXPECT_EQ(m_prompt.m_downloadRequests.last().m_strSelectedFormat, QString());
    EXPECT_EQ(m_prompt.m_downloadRequests.last().m_formatNames, (QStringList{"VRN", "F2"}));
    EXPECT_TRUE(m_prompt.Idle());
    EXPECT_TRUE(m_device.m_events.isEmpty());
}

TEST_F(ReceiveTest, FormatRefusedTenTimes)
{
    m_prompt.PushDataDownload(true, "A1.VRN", 0);
    for (int i = 0; i < 10; ++i) {
        m_device.Expect("c\r\n", "OK\r\n");
        m_device.Expect("FORM/SET/0\r\n", "@W\r\n");
    }
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_EQ(m_prompt.m_shown.count("Error: Can not select this format"), 1);
    EXPECT_EQ(m_progress.m_nShows, 0);
}

class SendTest : public InstrumentTest
{
protected:
    SendTest() { m_link.m_jobs = {CJobInfo{"A1", 1, 0, 2, 0}, CJobInfo{"P7", 7, 0, 3, 0}}; }

    QString MakeFile(const QString& name, const QByteArray& data)
    {
        const QString path = m_dir.filePath(name);
        WriteFile(path, data);
        return path;
    }
    void ExpectSelect(const QByteArray& command)
    {
        m_device.Expect("c\r\n", "OK\r\n");
        m_device.Expect(command, "OK\r\n");
    }
    void ExpectAnnounce(const QByteArray& command)
    {
        m_device.Expect("c\r\n", "OK\r\n");
        m_device.Expect(command, "OK\r\n");
    }

    QTemporaryDir m_dir;
};

TEST_F(SendTest, FixpointsOfAnExistingJob)
{
    const QString path = MakeFile("P7.tqs", "L1\r\nL2\r\n");
    ExpectSelect("FORM/SET/0\r\n");
    ExpectAnnounce("JOB/SND/COORD/7\r\n");
    m_device.Expect("L1\r\n\r\n", "?\r\n");
    m_device.Expect("L2\r\n\r\n", "?\r\n");
    ASSERT_TRUE(m_link.SendJobFile(path, 7, 0x40, QString()));
    EXPECT_EQ(m_device.m_events, (QByteArrayList{Open(), "c\r\n", "FORM/SET/0\r\n", Close(), Open(), "c\r\n",
                                                 "JOB/SND/COORD/7\r\n", "L1\r\n\r\n", "L2\r\n\r\n", Close()}));
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000, 1000, 1000, 8000}));
    EXPECT_EQ(m_progress.m_nBytes, 6);
    EXPECT_EQ(m_progress.m_strText, path);
    EXPECT_EQ(m_progress.m_nHides, 1);
    EXPECT_TRUE(m_prompt.m_shown.isEmpty());
    EXPECT_TRUE(m_device.AllExpected());
    EXPECT_EQ(m_link.m_nFormat, 0);
}

TEST_F(SendTest, WholeJobNaming)
{
    // The job is already called P7: no Name dialog, but the name is set.
    const QString path = MakeFile("P7.vrn", "L1\r\n");
    ExpectSelect("FORM/SET/1\r\n");
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("JOB/SET/P7/7\r\n", "OK\r\n");
    ExpectAnnounce("JOB/SND/COORD/7\r\n");
    m_device.Expect("L1\r\n\r\n", "?\r\n");
    ASSERT_TRUE(m_link.SendJobFile(path, 7, 0x8000, QString()));
    EXPECT_TRUE(m_prompt.m_nameRequests.isEmpty());
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000, 1000, 2000, 1000, 1000, 8000}));
    EXPECT_TRUE(m_device.AllExpected());

    // The source names another job: "MyJob7" is proposed; the entered name is set.
    m_device.m_events.clear();
    m_prompt.PushName(true, "NEW");
    const QString copy = MakeFile("tempcopy", "L1\r\n");
    ExpectSelect("FORM/SET/0\r\n");
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("JOB/SET/NEW/7\r\n", "");   // silence is acceptance
    ExpectAnnounce("JOB/SND/COORD/7\r\n");
    m_device.Expect("L1\r\n\r\n", "?\r\n");
    ASSERT_TRUE(m_link.SendJobFile(copy, 7, 0x8000, "Remote\\A1.TQS"));
    ASSERT_EQ(m_prompt.m_nameRequests.size(), 1);
    EXPECT_EQ(m_prompt.m_nameRequests.first().m_strName, "MyJob7");
    EXPECT_EQ(m_prompt.m_nameRequests.first().m_existingNames, QStringList{"A1"});
    EXPECT_EQ(m_prompt.m_nameRequests.first().m_strTitle, "New job name");
    EXPECT_TRUE(m_device.AllExpected());
    EXPECT_TRUE(m_prompt.Idle());
}

TEST_F(SendTest, NamesThatCannotBeSent)
{
    const QString path = MakeFile("new.tqs", "L1\r\n");
    m_prompt.PushName(true, "a/b");
    ExpectSelect("FORM/SET/0\r\n");
    EXPECT_FALSE(m_link.SendJobFile(path, 7, 0x8000, QString()));
    m_prompt.PushName(true, QString(95, 'n'));   // "JOB/SET/<95>/7" is over 99 characters
    ExpectSelect("FORM/SET/0\r\n");
    EXPECT_FALSE(m_link.SendJobFile(path, 7, 0x8000, QString()));
    m_prompt.PushName(false);                  // Name dialog cancelled
    ExpectSelect("FORM/SET/0\r\n");
    EXPECT_FALSE(m_link.SendJobFile(path, 7, 0x8000, QString()));
    // Only the format selections went out; no naming command.
    EXPECT_EQ(m_device.m_writes.count("c\r\n"), 3);
    EXPECT_EQ(m_device.m_writes.size(), 6);
    ASSERT_EQ(m_prompt.m_shown.size(), 5);
    EXPECT_TRUE(m_prompt.m_shown.at(1).startsWith("Error: The name \"a/b\" cannot be sent"));
    EXPECT_TRUE(m_prompt.m_shown.at(3).startsWith("Error: The command"));
    EXPECT_FALSE(m_device.IsOpen());
}

TEST_F(SendTest, RefusedFiles)
{
    EXPECT_FALSE(m_link.SendJobFile(MakeFile("x.txt", "L1\r\n"), 7, 0x40, QString()));
    EXPECT_FALSE(m_link.SendCodeListFile(MakeFile("x.tqs", "L1\r\n"), 3, 0x10000, QString()));
    EXPECT_FALSE(m_link.SendFormatFile(MakeFile("x.vrn", "L1\r\n"), 2, 0x200, QString()));
    // A line longer than the framing takes is refused before anything is sent.
    EXPECT_FALSE(m_link.SendJobFile(MakeFile("long.tqs", "ok\r\n" + QByteArray(508, 'x') + "\r\n"), 7, 0x40, QString()));
    // A missing file.
    EXPECT_FALSE(m_link.SendFormatFile(m_dir.filePath("none.frt"), 2, 0x200, QString()));
    EXPECT_TRUE(m_device.m_events.isEmpty());
    ASSERT_EQ(m_prompt.m_shown.size(), 5);
    EXPECT_EQ(m_prompt.m_shown.at(0), "Error: Wrong file format");
    EXPECT_EQ(m_prompt.m_shown.at(1), "Error: Wrong file format");
    EXPECT_EQ(m_prompt.m_shown.at(2), "Error: Wrong file format");
    EXPECT_TRUE(m_prompt.m_shown.at(3).startsWith("Error: Line 2 of"));
    EXPECT_EQ(m_prompt.m_shown.at(4), "Tessaro: Communication error\nCan not open file");
}

TEST_F(SendTest, BinaryBytesAndUnterminatedLastLine)
{
    m_link.m_jobs = {CJobInfo{"P7", 7, 2, 3, 0}};   // holds fix points: the question comes first
    m_prompt.PushButton(IDYES);
    const QByteArray binary("\x00\xff\x80\x1a\r\n", 6);
    const QString path = MakeFile("P7.tqs", binary + QByteArray(507, 'y') + "\r\nTAIL");
    ExpectSelect("FORM/SET/0\r\n");
    ExpectAnnounce("JOB/SND/COORD/7\r\n");
    m_device.Expect(binary + "\r\n", "?\r\n");
    m_device.Expect(QByteArray(507, 'y') + "\r\n\r\n", "?\r\n");
    ASSERT_TRUE(m_link.SendJobFile(path, 7, 0x40, QString()));
    EXPECT_EQ(m_prompt.m_shown.first(), "Job already contains fixpoints: Do you want to overwrite existing fixpoints ?");
    EXPECT_FALSE(m_device.m_written.contains("TAIL"));
    EXPECT_EQ(m_progress.m_nBytes, 5 + 508);
    EXPECT_TRUE(m_device.AllExpected());

    // Declining the question sends nothing after the format selection.
    m_device.m_writes.clear();
    m_prompt.PushButton(IDNO);
    ExpectSelect("FORM/SET/0\r\n");
    EXPECT_FALSE(m_link.SendJobFile(path, 7, 0x40, QString()));
    EXPECT_EQ(m_device.m_writes, (QByteArrayList{"c\r\n", "FORM/SET/0\r\n"}));
}

TEST_F(SendTest, UnacknowledgedLineAndAnnouncementRefused)
{
    const QString path = MakeFile("P7.tqs", "L1\r\nL2\r\n");
    ExpectSelect("FORM/SET/0\r\n");
    ExpectAnnounce("JOB/SND/COORD/7\r\n");
    m_device.Expect("L1\r\n\r\n", "");
    // No acknowledgement: five reads, each followed by 6000 ms; L2 is not sent.
    EXPECT_FALSE(m_link.SendJobFile(path, 7, 0x40, QString()));
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000, 1000, 1000, 8000, 6000, 6000, 6000, 6000, 6000}));
    EXPECT_FALSE(m_device.m_written.contains("L2"));
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_EQ(m_progress.m_nHides, 1);

    m_device.m_writes.clear();
    ExpectSelect("FORM/SET/0\r\n");
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("JOB/SND/COORD/7\r\n", "@W\r\n");
    EXPECT_FALSE(m_link.SendJobFile(path, 7, 0x40, QString()));
    EXPECT_EQ(m_device.m_writes.size(), 4);
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_TRUE(m_device.AllExpected());
}

TEST_F(SendTest, JobMissingFromTableAndCancel)
{
    // Fix points for a job the table does not know: no question, no naming.
    const QString path = MakeFile("new.tqs", "L1\r\nL2\r\n");
    ExpectSelect("FORM/SET/0\r\n");
    ExpectAnnounce("JOB/SND/COORD/12\r\n");
    m_device.Expect("L1\r\n\r\n", "?\r\n");
    // Cancel while reading the second line (one poll per byte read).
    m_progress.m_nCancelAtPoll = 6;
    EXPECT_FALSE(m_link.SendJobFile(path, 12, 0x40, QString()));
    EXPECT_TRUE(m_prompt.m_shown.isEmpty());
    EXPECT_FALSE(m_device.m_written.contains("L2"));
    EXPECT_EQ(m_progress.m_nBytes, 3);
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_EQ(CWaitCursor::Depth(), 0);
    EXPECT_TRUE(m_device.AllExpected());
}

TEST_F(SendTest, CablePulledWhileStreaming)
{
    const QString path = MakeFile("P7.tqs", "L1\r\nL2\r\n");
    ExpectSelect("FORM/SET/0\r\n");
    ExpectAnnounce("JOB/SND/COORD/7\r\n");
    m_device.Expect("L1\r\n\r\n", "");
    m_device.LoseAfter(5);   // gone right after the first data line
    EXPECT_FALSE(m_link.SendJobFile(path, 7, 0x40, QString()));
    EXPECT_EQ(m_prompt.m_shown, QStringList{"Error: Communication error\nThe device has disappeared"});
    // No waiting for acknowledgements that cannot come.
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000, 1000, 1000, 8000}));
    EXPECT_FALSE(m_device.m_written.contains("L2"));
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_EQ(m_progress.m_nHides, 1);
}

TEST_F(SendTest, SetNameRetries)
{
    // Refused three times, then accepted: four attempts, true.
    ASSERT_TRUE(m_link.Open());
    for (int i = 0; i < 3; ++i) {
        m_device.Expect("c\r\n", "OK\r\n");
        m_device.Expect("JOB/SET/N/2\r\n", "@W\r\n");
    }
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("JOB/SET/N/2\r\n", "DONE\r\n");
    EXPECT_TRUE(m_link.SetName("JOB/SET/N/2"));
    EXPECT_EQ(m_device.m_writes.count("JOB/SET/N/2\r\n"), 4);
    EXPECT_EQ(m_clock.m_pauses.size(), 8);
    EXPECT_TRUE(m_device.AllExpected());

    // Refused ten times: the message once, false.
    for (int i = 0; i < 10; ++i) {
        m_device.Expect("c\r\n", "OK\r\n");
        m_device.Expect("JOB/SET/N/2\r\n", "@W\r\n");
    }
    EXPECT_FALSE(m_link.SetName("JOB/SET/N/2"));
    EXPECT_EQ(m_device.m_writes.count("JOB/SET/N/2\r\n"), 14);
    EXPECT_EQ(m_prompt.m_shown, QStringList{"Error: Problem with setting name"});
    EXPECT_TRUE(m_device.AllExpected());
    m_link.Close();
}

TEST_F(SendTest, CodeListIntoEmptySlot)
{
    m_link.m_codeLists = {CCodeListInfo{"CODES", 3, 12, 0}, CCodeListInfo{"empty", 4, 0, 1}};
    const QString path = MakeFile("CODES.vrn", "C1\r\n");
    m_prompt.PushName(true, "MINE");
    ExpectSelect("FORM/SET/1\r\n");
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("CODE/SET/MINE/4\r\n", "OK\r\n");
    ExpectAnnounce("CODE/SND/4\r\n");
    m_device.Expect("C1\r\n\r\n", "?\r\n");
    ASSERT_TRUE(m_link.SendCodeListFile(path, 4, 0x10000, QString()));
    EXPECT_EQ(m_prompt.m_nameRequests.first().m_strName, "MyCode4");
    EXPECT_EQ(m_prompt.m_nameRequests.first().m_strTitle, "New codelist name");
    EXPECT_EQ(m_link.m_nFormat, 1);
    EXPECT_TRUE(m_device.AllExpected());

    // A code list with content is not renamed.
    m_prompt.m_nameRequests.clear();
    ExpectSelect("FORM/SET/1\r\n");
    ExpectAnnounce("CODE/SND/3\r\n");
    m_device.Expect("C1\r\n\r\n", "?\r\n");
    ASSERT_TRUE(m_link.SendCodeListFile(path, 3, 0x10000, QString()));
    EXPECT_TRUE(m_prompt.m_nameRequests.isEmpty());
    EXPECT_TRUE(m_device.AllExpected());
}

TEST_F(SendTest, FormatFileEndsWithEndOfFile)
{
    const QString path = MakeFile("F.frt", "F1\r\nF2\r\n");
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("FORM/SND/5\r\n", "OK\r\n");
    m_device.Expect("F1\r\n\r\n", "?\r\n");
    m_device.Expect("F2\r\n\r\n", "?\r\n");
    m_device.Expect("\x1a\r\n", "");
    m_device.FeedAt(9000, "DONE\r\n");   // the answer comes during the third read
    ASSERT_TRUE(m_link.SendFormatFile(path, 5, 0x200, QString()));
    EXPECT_EQ(m_device.m_events, (QByteArrayList{Open(), "c\r\n", "FORM/SND/5\r\n", "F1\r\n\r\n", "F2\r\n\r\n",
                                                 "\x1a\r\n", Close()}));
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 3000}));
    EXPECT_EQ(m_device.m_nReadTimeouts, 2);
    EXPECT_EQ(m_progress.m_nBytes, 6);
    EXPECT_TRUE(m_device.AllExpected());

    // No answer to the announcement: nothing of the file goes out.
    m_device.m_writes.clear();
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("FORM/SND/5\r\n", "");
    EXPECT_FALSE(m_link.SendFormatFile(path, 5, 0x200, QString()));
    EXPECT_EQ(m_device.m_writes.size(), 2);
    EXPECT_FALSE(m_device.IsOpen());
}

} // namespace
