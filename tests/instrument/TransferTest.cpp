#include "InstrumentFixture.h"

#include "instrument/Protocol.h"
#include "platform/LocalPaths.h"
#include "platform/WaitCursor.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using namespace Protocol;
using namespace Qt::StringLiterals;

class TransferTest : public InstrumentTest
{
protected:
    TransferTest()
    {
        m_link.m_jobs = {CJobInfo{"A1", 4, 1, 5, 0}, CJobInfo{"../up", 6, 0, 0, 0}, CJobInfo{"P7", 7, 0, 3, 0}};
        m_link.m_formats = {CFormatInfo{"VORN", 1, 1, 1, 0}, CFormatInfo{"empty", 3, 0, 0, 1},
                            CFormatInfo{"F2", 2, 1, 1, 0}};
        m_link.m_codeLists = {CCodeListInfo{"CODES", 3, 12, 0}, CCodeListInfo{"empty", 4, 0, 1}};
    }
    QString MakeFile(const QString& name, const QByteArray& data)
    {
        EXPECT_TRUE(WriteFile(Target(name), data));
        return Target(name);
    }
    QStringList Entries() const { return FilesBelow(m_dir.path()).keys(); }
    QString Target(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

// Format selection with format 0, then the receive command for the measurements of job 4.
const Script kReceiveStart = {kWakeOk, {"FORM/SET/0\r\n", "OK\r\n"}, {"JOB/RCV/OBSERV/4\r\n", "ACK\r\n"}};

TEST_F(TransferTest, ReceiveNormalPaths)
{
    const QByteArray line = "123456789012345678\xE9\xB0\r\n"; // 20 bytes, 2 above 127, and CR LF
    const QByteArray longLine = QByteArray(5000, 'x') + "\r\n";
    struct CCase
    {
        int number, kind, toStaging;
        QString name;
        int format;
        Script script;
        QByteArray data;
        int range;
        QList<int> pauses;
    };
    const QList<CCase> cases = {
        {4, 0x80, 0, "A1.VRN", 0, kReceiveStart + Script{{"?\r\n", line}, {"?\r\n", ""}}, line, 5,
         QList<int>{1000, 1000, 2000, 2000}},
        {4, 0x40, 0, "fix.F2", 1,
         Script{kWakeOk,
                {"FORM/SET/1\r\n", "OK\r\n"},
                {"JOB/RCV/COORDS/4\r\n", "ACK\r\n"},
                {"?\r\n", "?\r\n"},  // three characters: dropped
                {"?\r\n", "ab\r\n"}, // four: written
                {"?\r\n", "\x16"},   // busy: wait and ask again
                {"?\r\n", longLine}, // longer than any buffer: written whole
                {"?\r\n", "ok\r"},   // a short piece of a line: dropped
                {"?\r\n", ""}},
         "ab\r\n" + longLine, 1, QList<int>{1000, 1000, 2000, 2000, 2000}},
        // The built-in format for a code list; silence is acceptance.
        {3, 0x10000, 1, "CODES.VRN", 0,
         Script{
             kWakeOk, {"FORM/SET/1\r\n", ""}, {"CODE/RCV/3\r\n", "ACK\r\n"}, {"?\r\n", "CODE LINE\r\n"}, {"?\r\n", ""}},
         "CODE LINE\r\n", 0, QList<int>{1000, 1000, 1000, 2000, 2000}},
    };
    for (const CCase& c : cases) {
        const QString path = c.toStaging ? CLocalPaths::StagingPath("tempftp") : Target(c.name);
        m_prompt.PushDataDownload(true, c.name, c.format);
        m_progress.m_nRange = 0;
        Fresh(c.script);
        ASSERT_TRUE(m_link.Receive(m_dir.path(), c.number, c.kind, c.toStaging)) << c.name.toStdString();
        EXPECT_EQ(ReadFile(path), c.data);
        EXPECT_EQ(Writes(), Sent(c.script));
        EXPECT_FALSE(m_device->IsOpen());
        EXPECT_EQ(m_clock.m_pauses, c.pauses);
        EXPECT_EQ(m_progress.m_nBytes, c.data.size());
        EXPECT_EQ(m_progress.m_nRange, c.range); // measurement or fix point blocks of the job
        EXPECT_EQ(m_progress.m_strText, c.toStaging ? c.name : path);
        // The format selection before the Transfer window shows the wait cursor.
        EXPECT_EQ(m_device->m_nUnseenWrites, 0);
    }
    EXPECT_EQ(Entries(), (QStringList{"A1.VRN", "fix.F2"}));
    EXPECT_EQ(m_link.m_strStagingName, "CODES.VRN");
    EXPECT_EQ(m_progress.m_nHides, 3);
    QFile::remove(CLocalPaths::StagingPath("tempftp"));
    // The dialog got the row's name, the non-empty formats ("VORN" shown as
    // "VRN") and the first row's name to preselect; a code list only "VRN".
    const CDataDownloadRequest& request = m_prompt.m_downloadRequests.value(0);
    EXPECT_EQ(request.m_strName, "A1");
    EXPECT_EQ(request.m_formatNames, (QStringList{"VRN", "F2"}));
    EXPECT_EQ(request.m_strSelectedFormat, "VORN");
    EXPECT_EQ(m_prompt.m_downloadRequests.value(2).m_formatNames, QStringList{"VRN"});
}

// A receive that fails, is cancelled, or meets an instrument whose data never
// end (stopped at its bounds with a message) keeps no partial file and leaves
// an older one alone; "c" stops the instrument unless the device is gone.
TEST_F(TransferTest, FailedReceivesLeaveNoPartialFile)
{
    const QString lineTooLong =
        "Error: The instrument sent more than 65536 bytes without a line end. Receiving stopped; nothing was kept.";
    const QString tooSlow =
        "Error: The instrument's data did not end within 120 minutes. Receiving stopped; nothing was kept.";
    struct CCase
    {
        const char* what;
        bool older;
        Script data;        // after kReceiveStart, or
        QByteArray endless; // the instrument's answer from the first "?" on
        int periodMs, cancelAtPoll, loseAfter;
        qint64 maxRead; // bytes of the endless answer read at most
        QStringList shown = {};
    };
    const QList<CCase> cases = {
        {"@E1", true, {{"?\r\n", "NEW LINE 1\r\n"}, {"?\r\n", "@E1 and more\r\n"}, {"c\r\n", ""}}, "", 0, 0, 0, 0},
        {"cancel after a line", false, {{"?\r\n", "LINE ONE\r\n"}, {"c\r\n", ""}}, "", 0, 2, 0, 0},
        // The cable is pulled in the middle of a line: no read waits for a time-out.
        {"cable", true, {{"?\r\n", "LINE ONE\r\n"}, {"?\r\n", "LINE T"}}, "", 0, 0, 5, 0, {kLost}},
        // Cancel between the 4 KiB pieces of a line that never ends.
        {"cancel in a line", false, {}, "x", 0, 2, 0, 2 * 4096 + 1},
        {"data without CR LF", false, {}, "x", 0, 0, 0, 65536 + 1, {lineTooLong}},
        // Proper lines, one a second, for ever.
        {"endless lines", false, {}, "DATA LINE 1\r\n", 1000, 0, 0, 7201 * 13, {tooSlow}},
        // The busy byte alone every 5 s: the link waits and polls again, for ever.
        {"always busy", false, {}, "\x16", 5000, 0, 0, 1800, {tooSlow}},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(Target("A1.VRN"));
        if (c.older)
            MakeFile("A1.VRN", "OLD\r\n");
        m_prompt.PushDataDownload(true, "A1.VRN", 0);
        if (c.older)
            m_prompt.PushButton(IDYES);
        m_progress = CRecordingProgress();
        m_progress.m_nCancelAtPoll = c.cancelAtPoll;
        Fresh(kReceiveStart + c.data);
        m_device->LoseAfter(c.loseAfter);
        m_device->FeedEndless(c.endless, c.periodMs, 4);
        m_device->m_nEndlessLimit = 1024 * 1024;
        EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
        EXPECT_EQ(ReadFile(Target("A1.VRN")), c.older ? "OLD\r\n" : "<missing>");
        EXPECT_EQ(Entries(), c.older ? QStringList{"A1.VRN"} : QStringList());
        EXPECT_EQ(m_prompt.m_shown.mid(c.older ? 2 : 1), c.shown);
        EXPECT_EQ(m_progress.m_nHides, 1);
        EXPECT_FALSE(m_device->IsOpen());
        if (c.older) {
            EXPECT_EQ(m_prompt.m_shown.value(1), "Tessaro: Overvrite existing file ?");
        }
        if (c.endless.isEmpty()) {
            EXPECT_EQ(Writes(), Sent(kReceiveStart + c.data));
            EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000, 2000, 2000, 3000}));
            EXPECT_EQ(m_device->m_nReadTimeouts, 0);
        } else {
            EXPECT_LE(m_device->m_nEndlessFed, c.maxRead);
            EXPECT_EQ(m_device->m_writes.last(), "c\r\n");
        }
    }
}

TEST_F(TransferTest, ReceiveRefusedBeforeTheInstrumentIsTouched)
{
    EXPECT_FALSE(m_link.Receive("", 4, 0x80, 0));           // no folder
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 5, 0x80, 0)); // not in the table: no dialog
    EXPECT_TRUE(m_prompt.m_downloadRequests.isEmpty());
    m_prompt.PushDataDownload(false); // dialog cancelled
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    m_prompt.PushDataDownload(true, "../../A1.VRN", 0); // a path, not a name
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    MakeFile("A1.VRN", "OLD");
    m_prompt.PushDataDownload(true, "A1.VRN", 0); // overwrite declined
    m_prompt.PushButton(IDNO);
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    EXPECT_EQ(ReadFile(Target("A1.VRN")), "OLD");
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
    // A folder that takes no file (not even root's): the reason, nothing sent.
    m_prompt.PushDataDownload(true, "A1.VRN", 0);
    EXPECT_FALSE(m_link.Receive("/sys", 4, 0x80, 0));
    EXPECT_EQ(m_prompt.m_shown.last(), "Error: Unable to open file to local maschine\n/sys: Permission denied");
    EXPECT_TRUE(m_device->m_events.isEmpty());

    // The format is refused ten times, each on a port opened anew: one
    // message, nothing is received, no file is left.
    QFile::remove(Target("A1.VRN"));
    m_prompt.PushDataDownload(true, "A1.VRN", 0);
    for (int i = 0; i < 10; ++i)
        Expect({kWakeOk, {"FORM/SET/0\r\n", "@W\r\n"}});
    EXPECT_FALSE(m_link.Receive(m_dir.path(), 4, 0x80, 0));
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_TRUE(m_device->AllExpected());
    EXPECT_EQ(m_device->m_nOpens, 10);
    EXPECT_FALSE(m_device->IsOpen());
    EXPECT_EQ(m_prompt.m_shown.last(), "Error: Can not select this format");
    EXPECT_EQ(m_progress.m_nShows, 0);
}

// Format selection for a TQS file, then the announcement of fix points for job 7.
const Script kSendStart = {kWakeOk, {"FORM/SET/0\r\n", "OK\r\n"}, kWakeOk, {"JOB/SND/COORD/7\r\n", "OK\r\n"}};

TEST_F(TransferTest, SendJobsAndCodeLists)
{
    const auto wake = [](const QByteArray& command, const QByteArray& reply) {
        return Script{kWakeOk, {command, reply}};
    };
    struct CCase
    {
        QString file;
        int number, kind;
        QString source, answer;
        Script script;
        QString proposal = {}, title = {};
    };
    const QList<CCase> cases = {
        // Fix points of an existing job: no naming.
        {"P7.tqs", 7, 0x40, "", "", wake("FORM/SET/0\r\n", "OK\r\n") + wake("JOB/SND/COORD/7\r\n", "OK\r\n")},
        // The job is already called P7: no Name dialog, but the name is set.
        {"P7.vrn", 7, 0x8000, "", "",
         wake("FORM/SET/1\r\n", "OK\r\n") + wake("JOB/SET/P7/7\r\n", "OK\r\n") + wake("JOB/SND/COORD/7\r\n", "OK\r\n")},
        // The source names another job: "MyJob7" is proposed; the entered name
        // is set, silence is acceptance.
        {"tempcopy", 7, 0x8000, "Remote\\A1.TQS", "NEW",
         wake("FORM/SET/0\r\n", "OK\r\n") + wake("JOB/SET/NEW/7\r\n", "") + wake("JOB/SND/COORD/7\r\n", "OK\r\n"),
         "MyJob7", "New job name"},
        // A code list: only an empty slot is named.
        {"CODES.vrn", 4, 0x10000, "", "MINE",
         wake("FORM/SET/1\r\n", "OK\r\n") + wake("CODE/SET/MINE/4\r\n", "OK\r\n") + wake("CODE/SND/4\r\n", "OK\r\n"),
         "MyCode4", "New codelist name"},
        {"CODES.vrn", 3, 0x10000, "", "", wake("FORM/SET/1\r\n", "OK\r\n") + wake("CODE/SND/3\r\n", "OK\r\n")},
    };
    for (const CCase& c : cases) {
        const QString path = MakeFile(c.file, "L1\r\nL2\r\n");
        const Script script = c.script + Script{{"L1\r\n\r\n", "?\r\n"}, {"L2\r\n\r\n", "?\r\n"}};
        Fresh(script);
        m_prompt.m_nameRequests.clear();
        if (!c.answer.isEmpty())
            m_prompt.PushName(true, c.answer);
        EXPECT_TRUE(c.kind == 0x10000 ? m_link.SendCodeListFile(path, c.number, c.kind, c.source)
                                      : m_link.SendJobFile(path, c.number, c.kind, c.source));
        EXPECT_EQ(Writes(), Sent(script));
        EXPECT_FALSE(m_device->IsOpen());
        EXPECT_EQ(m_progress.m_nBytes, 6); // the data lines without their LF
        EXPECT_EQ(m_progress.m_strText, path);
        EXPECT_EQ(m_clock.m_pauses,
                  (c.script.size() == 6 ? QList<int>{1000, 1000, 1000, 2000, 1000, 1000, 8000}
                                        : QList<int>{1000, 1000, 1000, 1000, 8000}));
        EXPECT_EQ(m_prompt.m_nameRequests.value(0).m_strName, c.proposal);
        EXPECT_EQ(m_prompt.m_nameRequests.value(0).m_strTitle, c.title);
        EXPECT_EQ(m_prompt.m_shown.size(), c.answer.isEmpty() ? 0 : 1); // the Name dialog
        if (c.proposal == "MyJob7") {
            EXPECT_EQ(m_prompt.m_nameRequests.value(0).m_existingNames, (QStringList{"A1", "../up"}));
        }
    }
}

TEST_F(TransferTest, SendRefusals)
{
    // Files refused before the instrument is touched; a path with "%" in it
    // stands in the message exactly as it is.
    const QString longLine = MakeFile("long%3.tqs", "ok\r\n" + QByteArray(508, 'x') + "\r\n");
    EXPECT_FALSE(m_link.SendJobFile(MakeFile("x.txt", "L1\r\n"), 7, 0x40, QString()));
    EXPECT_FALSE(m_link.SendCodeListFile(MakeFile("x.tqs", "L1\r\n"), 3, 0x10000, QString()));
    EXPECT_FALSE(m_link.SendFormatFile(MakeFile("x.vrn", "L1\r\n"), 2, 0x200, QString()));
    EXPECT_FALSE(m_link.SendJobFile(longLine, 7, 0x40, QString()));
    EXPECT_FALSE(m_link.SendFormatFile(m_dir.filePath("none.frt"), 2, 0x200, QString()));
    EXPECT_TRUE(m_device->m_events.isEmpty());
    EXPECT_EQ(m_prompt.m_shown,
              QStringList(3, "Error: Wrong file format") << "Error: Line 2 of " + QDir::toNativeSeparators(longLine)
                      + " is longer than 509 characters. The file was not sent."
                                                         << "Tessaro: Communication error\nCan not open file");

    // Names that cannot be sent, typed or proposed from the source's name:
    // only the format selection goes out, no naming command.
    const QString refused = "Error: The name \"%1\" cannot be sent to the instrument";
    const QString tooLong = QString(93, 'n') + "%2";              // "JOB/SET/<95>/7" is over 99 characters
    const QString smuggled = u"foo\u010DJOB\u012FERASE\u012F3"_s; // CR and "/" in disguise
    struct CCase
    {
        QString source, typed, shown;
        bool cancel = false;
    };
    const QList<CCase> cases = {
        {"", "a/b", refused.arg("a/b")},
        {"", tooLong,
         "Error: The command \"JOB/SET/" + tooLong + "/7\" is too long for the instrument (at most 99 characters)."},
        {smuggled + ".TQS", smuggled, refused.arg(smuggled)},
        {"", "", "", true}, // the Name dialog cancelled
    };
    const QString path = MakeFile("new.tqs", "L1\r\n");
    for (const CCase& c : cases) {
        Fresh({kWakeOk, {"FORM/SET/0\r\n", "OK\r\n"}});
        m_prompt.PushName(!c.cancel, c.typed);
        EXPECT_FALSE(m_link.SendJobFile(path, 7, 0x8000, c.source)) << c.typed.toStdString();
        EXPECT_EQ(Writes(), "c\r\n|FORM/SET/0\r\n");
        ASSERT_EQ(m_prompt.m_shown.size(), c.cancel ? 1 : 2); // the Name dialog, the refusal
        EXPECT_TRUE(c.cancel || m_prompt.m_shown.at(1).startsWith(c.shown)) << m_prompt.m_shown.at(1).toStdString();
        EXPECT_FALSE(m_device->IsOpen());
    }
    EXPECT_EQ(m_prompt.m_nameRequests.value(2).m_strName, smuggled.left(16));
}

TEST_F(TransferTest, SendBinaryBytesAndUnterminatedLastLine)
{
    m_link.m_jobs = {CJobInfo{"P7", 7, 2, 3, 0}}; // holds fix points: the question comes first
    m_prompt.PushButton(IDYES);
    const QByteArray binary("\x00\xff\x80\x1a\r\n", 6);
    const QString path = MakeFile("P7.tqs", binary + QByteArray(507, 'y') + "\r\nTAIL");
    const Script script = kSendStart + Script{{binary + "\r\n", "?\r\n"}, {QByteArray(507, 'y') + "\r\n\r\n", "?\r\n"}};
    Fresh(script);
    ASSERT_TRUE(m_link.SendJobFile(path, 7, 0x40, QString()));
    EXPECT_EQ(m_prompt.m_shown.value(0),
              "Job already contains fixpoints: Do you want to overwrite existing fixpoints ?");
    EXPECT_EQ(Writes(), Sent(script));
    EXPECT_EQ(m_progress.m_nBytes, 5 + 508);

    // Declining the question sends nothing after the format selection.
    m_prompt.PushButton(IDNO);
    Fresh(kSendStart);
    EXPECT_FALSE(m_link.SendJobFile(path, 7, 0x40, QString()));
    EXPECT_EQ(Writes(), "c\r\n|FORM/SET/0\r\n");
}

// Refused three times, then accepted: true after four attempts; refused ten
// times: the message once, false.
TEST_F(TransferTest, SetNameRetries)
{
    ASSERT_TRUE(m_link.Open());
    for (int i = 0; i < 14; ++i)
        Expect({kWakeOk, {"JOB/SET/N/2\r\n", i == 3 ? "DONE\r\n" : "@W\r\n"}});
    EXPECT_TRUE(m_link.SetName("JOB/SET/N/2"));
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 2000, 1000, 2000, 1000, 2000, 1000, 2000}));
    EXPECT_FALSE(m_link.SetName("JOB/SET/N/2"));
    EXPECT_TRUE(m_device->AllExpected());
    EXPECT_EQ(m_prompt.m_shown, QStringList{"Error: Problem with setting name"});
    m_link.Close();
}

TEST_F(TransferTest, SendFormatFileEndsWithEndOfFile)
{
    const QString path = MakeFile("F.frt", "F1\r\nF2\r\n");
    Fresh({kWakeOk, {"FORM/SND/5\r\n", "OK\r\n"}, {"F1\r\n\r\n", "?\r\n"}, {"F2\r\n\r\n", "?\r\n"}, {"\x1a\r\n", ""}});
    m_device->FeedAt(9000, "DONE\r\n"); // the answer comes during the third read
    ASSERT_TRUE(m_link.SendFormatFile(path, 5, 0x200, QString()));
    EXPECT_EQ(Trace(), "<open>|c\r\n|FORM/SND/5\r\n|F1\r\n\r\n|F2\r\n\r\n|\x1a\r\n|<close>");
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 3000}));
    EXPECT_EQ(m_device->m_nReadTimeouts, 2);
    EXPECT_EQ(m_progress.m_nBytes, 6);
}

// A send stops at the first failure; every way out closes the port, releases
// the file and hides the Transfer window it showed.
TEST_F(TransferTest, SendsStopAtTheFirstFailureAndLeaveNothingOpen)
{
    const QList<int> start = {1000, 1000, 1000, 1000, 8000};
    const QByteArray job = "<open>|c\r\n|FORM/SET/0\r\n|<close>|<open>|c\r\n|JOB/SND/COORD/";
    struct CCase
    {
        const char* what;
        int number; // a job's fix points, or format 5
        Script script;
        bool failOpen;
        int loseAfter, cancelAtPoll;
        QByteArray trace;
        QList<int> pauses;
        QStringList shown;
        int shows;
    };
    const QList<int> none, formatSend = {1000, 3000};
    const QStringList quiet;
    const QList<CCase> cases = {
        // No acknowledgement: five reads, each followed by 6000 ms; L2 is not sent.
        {"no ack", 7, kSendStart + Script{{"L1\r\n\r\n", ""}}, false, 0, 0, job + "7\r\n|L1\r\n\r\n|<close>",
         start + QList<int>(5, 6000), quiet, 1},
        {"refused", 7, Script{kWakeOk, {"FORM/SET/0\r\n", "OK\r\n"}, kWakeOk, {"JOB/SND/COORD/7\r\n", "@W\r\n"}}, false,
         0, 0, job + "7\r\n|<close>", start, quiet, 0},
        // Gone right after the first data line: no waiting for acknowledgements.
        {"cable", 7, kSendStart + Script{{"L1\r\n\r\n", ""}}, false, 5, 0, job + "7\r\n|L1\r\n\r\n|<close>", start,
         QStringList(kLost), 1},
        // A job the table does not know: no question, no naming; cancelled
        // while reading the second line (one poll per byte read).
        {"cancel", 12,
         Script{kWakeOk,
                {"FORM/SET/0\r\n", "OK\r\n"},
                kWakeOk,
                {"JOB/SND/COORD/12\r\n", "OK\r\n"},
                {"L1\r\n\r\n", "?\r\n"}},
         false, 0, 6, job + "12\r\n|L1\r\n\r\n|<close>", start, quiet, 1},
        {"format: port", 5, Script(), true, 0, 0, "", none, QStringList("Error: COM Invalid handle"), 0},
        {"format: refused", 5, Script{kWakeOk, {"FORM/SND/5\r\n", "@W\r\n"}}, false, 0, 0,
         "<open>|c\r\n|FORM/SND/5\r\n|<close>", formatSend, quiet, 0},
        // No answer to the announcement: nothing of the file goes out.
        {"format: no answer", 5, Script{kWakeOk, {"FORM/SND/5\r\n", ""}}, false, 0, 0,
         "<open>|c\r\n|FORM/SND/5\r\n|<close>", formatSend, quiet, 0},
        {"format: cable in the data", 5, Script{kWakeOk, {"FORM/SND/5\r\n", "OK\r\n"}, {"F1\r\n\r\n", "?\r\n"}}, false,
         3, 0, "<open>|c\r\n|FORM/SND/5\r\n|F1\r\n\r\n|<close>", formatSend, QStringList(kLost), 1},
        // A cancel still ends the format on the instrument.
        {"format: cancel", 5, Script{kWakeOk, {"FORM/SND/5\r\n", "OK\r\n"}, {"\x1a\r\n", "DONE\r\n"}}, false, 0, 1,
         "<open>|c\r\n|FORM/SND/5\r\n|\x1a\r\n|<close>", formatSend, quiet, 1},
    };
    const QString file = MakeFile("new.tqs", "L1\r\nL2\r\n");
    const QString format = MakeFile("F.frt", "F1\r\nF2\r\n");
    for (const CCase& c : cases) {
        Fresh(c.script);
        m_device->m_bFailOpen = c.failOpen;
        m_device->LoseAfter(c.loseAfter);
        m_progress = CRecordingProgress();
        m_progress.m_nCancelAtPoll = c.cancelAtPoll;
        EXPECT_FALSE(c.number == 5 ? m_link.SendFormatFile(format, 5, 0x200, QString())
                                   : m_link.SendJobFile(file, c.number, 0x40, QString()))
            << c.what;
        EXPECT_EQ(Trace(), c.trace) << c.what;
        EXPECT_EQ(m_clock.m_pauses, c.pauses) << c.what;
        EXPECT_EQ(m_prompt.m_shown, c.shown) << c.what;
        EXPECT_EQ(m_progress.m_nShows, c.shows) << c.what;
        EXPECT_EQ(m_progress.m_nHides, c.shows) << c.what;
        EXPECT_EQ(m_link.m_file, nullptr) << c.what;
        EXPECT_EQ(CWaitCursor::Depth(), 0) << c.what;
    }
}

} // namespace
