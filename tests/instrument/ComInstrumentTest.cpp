#include "InstrumentFixture.h"
#include "support/RecordingTrace.h"

namespace {

using namespace Qt::StringLiterals;
using LinkTest = InstrumentTest;

TEST_F(LinkTest, SendLineFraming)
{
    ASSERT_TRUE(m_link.Open());
    EXPECT_TRUE(m_link.SendLine("JOB/CONF/LIST"));
    // A character above 255 goes out as its low byte.
    EXPECT_TRUE(m_link.SendLine(QString(QChar(0x141)) + "x"));
    // 509 characters fit, 510 are refused with a message and nothing is written.
    EXPECT_TRUE(m_link.SendLine(QString(509, 'a')));
    EXPECT_FALSE(m_link.SendLine(QString(510, 'a')));
    // A character that would reach the instrument as a control byte (here CR
    // and a second command after it): refused, nothing is written.
    EXPECT_FALSE(m_link.SendLine(u"JOB/SET/foo\u010DJOB/ERASE/3/1"_s));
    m_link.Close();
    EXPECT_EQ(Writes(), "JOB/CONF/LIST\r\n|\x41x\r\n|" + QByteArray(509, 'a') + "\r\n");
    ASSERT_EQ(m_prompt.m_shown.size(), 2);
    EXPECT_TRUE(m_prompt.m_shown.first().startsWith("Error: The line is too long"));
    EXPECT_EQ(m_prompt.m_shown.at(1),
              "Error: The character U+10D would reach the instrument as the control byte 0x0D. "
              "Nothing was sent.");
}

TEST_F(LinkTest, IdentifyVariants)
{
    struct CCase
    {
        QByteArray reply;
        bool result;
        QString name;
    };
    const QList<CCase> cases = {
        {"%R1P,0,0:0,NoQuotes\r\n", false, "old"},
        {"%R1P,0,0:", false, "old"},     // no return code at all
        {"%R1P,0,0:0,\"\r\n", true, ""}, // a single quote: empty name
        {"", true, "old"},               // silence: true, name kept
        {"hello\r\n", true, "old"},      // another dialect: true, name kept
        {"%R1P,0,1:0,\"X\"\r\n", true, "old"},
    };
    for (const CCase& c : cases) {
        Fresh({{"%R1Q,5004:\r\n", c.reply}});
        m_link.m_strName = "old";
        EXPECT_EQ(m_link.Identify(), c.result) << c.reply.toStdString();
        EXPECT_EQ(m_link.m_strName, c.name) << c.reply.toStdString();
        EXPECT_EQ(Trace(), "<open>|%R1Q,5004:\r\n|<close>");
    }
    // CRs without end after the request: one bounded read, then the port closes.
    Fresh({{"%R1Q,5004:\r\n", ""}});
    m_device->FeedEndless("\r", 0, 1);
    m_link.m_strName = "old";
    EXPECT_TRUE(m_link.Identify());
    EXPECT_EQ(m_link.m_strName, "old");
    EXPECT_EQ(m_device->m_nEndlessFed, CComPort::kMaxLineLength);
    EXPECT_FALSE(m_device->IsOpen());
}

// The connection step: the probe (the wake-up "a" alone, then "c" on a port
// opened anew), the explorer's pause, the name request.
TEST_F(LinkTest, ConnectProbesWaitsAndIdentifies)
{
    const Script wake = {{"a\r\n", ""}, {"c\r\n", "\r\n"}, kWakeOk};
    const QByteArray probe = "<open>|a\r\n|<close>|<open>|c\r\n|c\r\n|<close>";
    const QString noAnswer = ": Communication problem"; // the caption is the application's name
    struct CCase
    {
        Script script;
        bool failOpen;
        CComInstrument::EConnect result;
        QByteArray trace;
        QList<int> pauses;
        qint64 elapsed;
        QStringList shown;
        QString name;
    };
    const QByteArray identify = probe + "|<open>|%R1Q,5004:\r\n|<close>";
    const QList<int> named = {3000, 1000};
    const QList<CCase> cases = {
        {wake + Script{{"%R1Q,5004:\r\n", "%R1P,0,0:0,\"SIM-1\"\r\n"}}, false, CComInstrument::CONNECT_OK, identify,
         named, 4000, QStringList(), "SIM-1"},
        {wake + Script{{"%R1Q,5004:\r\n", "%R1P,0,0:1,\"SIM-1\"\r\n"}}, false, CComInstrument::CONNECT_IDENTIFY_ERROR,
         identify, named, 4000, QStringList(), ""},
        // Silence: the pause and two read time-outs, no name request.
        {Script{{"a\r\n", ""}, {"c\r\n", ""}, {"c\r\n", ""}}, false, CComInstrument::CONNECT_NO_ANSWER, probe,
         QList<int>{3000}, 3000 + 2 * CComPort::kReadTimeoutMs, QStringList(noAnswer), ""},
        // No device: its message, no pause.
        {Script(), true, CComInstrument::CONNECT_NO_ANSWER, "", QList<int>(), 0,
         QStringList{"Error: COM Invalid handle", noAnswer}, ""},
    };
    for (const CCase& c : cases) {
        Fresh(c.script);
        m_device->m_bFailOpen = c.failOpen;
        m_link.m_strName.clear();
        const qint64 start = m_clock.Now();
        EXPECT_EQ(m_link.Connect(), c.result) << c.trace.toStdString();
        EXPECT_EQ(Trace(), c.trace);
        EXPECT_EQ(m_clock.m_pauses, c.pauses);
        EXPECT_EQ(m_clock.Now() - start, c.elapsed);
        EXPECT_EQ(m_prompt.m_shown, c.shown);
        EXPECT_EQ(m_link.m_strName, c.name);
    }
    // The wire trace of the whole identify: each line either way, escaped.
    CRecordingTrace trace;
    Fresh(cases.first().script);
    m_link.Connect();
    EXPECT_EQ(
        trace.m_records,
        (QStringList{R"(COM > a\x0D\x0A)", R"(COM > c\x0D\x0A)", R"(COM < \x0D\x0A)", R"(COM > c\x0D\x0A)",
                     R"(COM < OK\x0D\x0A)", R"(COM > %R1Q,5004:\x0D\x0A)", R"(COM < %R1P,0,0:0,"SIM-1"\x0D\x0A)"}));
}

TEST_F(LinkTest, Listings)
{
    const QString noResponse = "Error: No response from instrument";
    struct CCase
    {
        CComInstrument::ETable table;
        Script script;
        bool result;
        QStringList rows;
        QList<int> pauses;
        QStringList shown = {};
        int loseAfter = 0;
    };
    const QList<int> listed = {200, 1000, 100, 100, 100}, repeated = {200, 1000, 1000};
    const QStringList quiet;
    const QList<CCase> cases = {
        // "?" or silence twice ends.
        {CComInstrument::TABLE_JOBS,
         Script{kWakeOk,
                {"JOB/CONF/LIST\r\n", "A1,1,3,5\r\n"},
                {"?\r\n", ",2,0,0\r\n"},
                {"?\r\n", "ROW WITHOUT NUMBER\r\n"},
                {"?\r\n", ""},
                {"?\r\n", ""}},
         true, QStringList{"A1,1,3,5,0", "empty,2,0,0,1"}, listed},
        // A bare "@127" repeats the command; "@127" CR LF on the second answer
        // is a row; "?" CR LF is short and ends the loop.
        {CComInstrument::TABLE_JOBS,
         Script{kWakeOk,
                {"JOB/CONF/LIST\r\n", "@127"},
                {"JOB/CONF/LIST\r\n", "@127\r\n"},
                {"?\r\n", "B2,4,0,1\r\n"},
                {"?\r\n", "?\r\n"}},
         true, QStringList("B2,4,0,1,0"), QList<int>{200, 1000, 1000, 100, 100}},
        // "?", then silence: no answer (the explorer's code listing meets the reverse).
        {CComInstrument::TABLE_JOBS, Script{{"c\r\n", ""}, {"JOB/CONF/LIST\r\n", "?"}, {"JOB/CONF/LIST\r\n", ""}},
         false, quiet, repeated, QStringList(noResponse)},
        {CComInstrument::TABLE_FORMATS,
         Script{kWakeOk,
                {"FORM/CONF/LIST\r\n", " F1,2,1,1 \r\n"},
                {"?\r\n", "VORN,3,0,5\r\n"},
                {"?\r\n", ",4,0,0\r\n"},
                {"?\r\n", "?\r\n"},
                kWakeOk},
         true, QStringList{"F1,2,1,1,0", "VORN,3,0,5,0", "empty,4,0,0,1"}, listed},
        // No comma and longer than 3: the end, without "c".
        {CComInstrument::TABLE_CODE_LISTS,
         Script{kWakeOk, {"CODE/CONF/LIST\r\n", "CODES,3,12\r\n"}, {"?\r\n", ",4,0\r\n"}, {"?\r\n", "XYZ\r\n"}}, true,
         QStringList{"CODES,3,12,0", "empty,4,0,1"}, QList<int>{200, 1000, 100, 100}},
        // The cable is pulled in the middle of a row: no read waits for a time-out.
        {CComInstrument::TABLE_JOBS, Script{kWakeOk, {"JOB/CONF/LIST\r\n", "A1,1,3,5\r\n"}, {"?\r\n", "A2,2,0"}}, false,
         QStringList("A1,1,3,5,0"), QList<int>{200, 1000, 100}, QStringList(kLost), 3},
    };
    for (const CCase& c : cases) {
        const QByteArray command = c.script.value(1).first;
        Fresh(c.script);
        m_device->LoseAfter(c.loseAfter);
        m_link.m_jobs = {CJobInfo{"stale", 9, 0, 0, 0}}; // emptied by the listing, or here
        m_link.m_formats.clear();
        m_link.m_codeLists.clear();
        if (c.table != CComInstrument::TABLE_JOBS)
            m_link.m_jobs.clear();
        EXPECT_EQ(m_link.ListTable(c.table), c.result) << command.toStdString();
        EXPECT_EQ(Rows(m_link.m_jobs) + Rows(m_link.m_formats) + Rows(m_link.m_codeLists), c.rows)
            << command.toStdString();
        EXPECT_EQ(Trace(), "<open>|<purge>|" + Sent(c.script) + "|<close>");
        EXPECT_EQ(m_clock.m_pauses, c.pauses) << command.toStdString();
        EXPECT_EQ(m_prompt.m_shown, c.shown) << command.toStdString();
        if (c.loseAfter) {
            EXPECT_EQ(m_device->m_nReadTimeouts, 0);
        }
    }
}

// An instrument that answers every "?" with another row: each listing stops
// at its bound with a message and "c", and reports that it did not end.
TEST_F(LinkTest, EndlessListingsStopAtTheirBounds)
{
    const QString tooLong = "Error: The instrument's list did not end after 2000 entries. Listing stopped.";
    const QString tooSlow = "Error: The instrument's list did not end within 5 minutes. Listing stopped.";
    struct CCase
    {
        bool (CComInstrument::*list)();
        int periodMs; // between two rows
        QString shown;
    };
    // Formats and code lists share one loop.
    const QList<CCase> cases = {{&CComInstrument::ListJobs, 0, tooLong},
                                {&CComInstrument::ListCodeLists, 0, tooLong},
                                {&CComInstrument::ListJobs, 1000, tooSlow},
                                {&CComInstrument::ListFormats, 1000, tooSlow}};
    for (const CCase& c : cases) {
        Fresh();
        m_link.m_jobs.clear();
        m_link.m_formats.clear();
        m_link.m_codeLists.clear();
        // Rows start after "c" and the list command; a link without bounds
        // would read all 200,000 bytes of them.
        m_device->FeedEndless("R,5,1,1\r\n", c.periodMs, 2);
        m_device->m_nEndlessLimit = 200000;
        const qint64 start = m_clock.Now();
        EXPECT_FALSE((m_link.*c.list)()) << c.shown.toStdString();
        const qsizetype rows = m_link.m_jobs.size() + m_link.m_formats.size() + m_link.m_codeLists.size();
        if (c.periodMs == 0)
            EXPECT_EQ(rows, 2000);
        else
            EXPECT_LT(rows, 2000);
        EXPECT_LE(m_clock.Now() - start, 5 * 60 * 1000 + 2 * CComPort::kReadTimeoutMs);
        EXPECT_EQ(m_prompt.m_shown, QStringList(c.shown));
        EXPECT_EQ(m_device->m_writes.last(), "c\r\n");
        EXPECT_FALSE(m_device->IsOpen());
    }
}

TEST_F(LinkTest, Erase)
{
    m_link.m_jobs = {CJobInfo{"A1", 4, 1, 2, 0}, CJobInfo{"J9", 9, 0, 0, 0}};
    m_link.m_codeLists = {CCodeListInfo{"CODES", 3, 12, 0}};
    m_link.m_formats = {CFormatInfo{"F1", 2, 1, 1, 0}};
    struct CCase
    {
        int kind;
        int number;
        QString question;
        QByteArray command;
        QList<int> pauses;
    };
    const QString lost = "Data will be definitely lost! - Continue anyway?";
    const QList<CCase> cases = {
        {0x80, 4, "Delete Measurements: A1:\n" + lost, "JOB/ERASE/OBSERV/4\r\n", {2000, 1000}},
        {0x40, 4, "Delete Fixpoints: A1:\n" + lost, "JOB/ERASE/COORD/4\r\n", {2000, 1000}},
        {0x8000, 9, "Delete Job J9:\n" + lost, "JOB/ERASE/9\r\n", {2000, 1000, 5000}},
        {0x10000, 3, "Delete Codelist CODES:\n" + lost, "CODE/ERASE/3\r\n", {2000, 1000}},
        {0x200, 2, "Delete Format F1:\n" + lost, "FORM/ERASE/2\r\n", {2000, 1000}},
    };
    for (const CCase& c : cases) {
        Fresh({kWakeOk, {c.command, "@W\r\n"}}); // even a refusal is not judged
        m_prompt.PushButton(IDYES);
        EXPECT_TRUE(m_link.Erase(c.number, c.kind, 0)) << c.command.toStdString();
        EXPECT_EQ(m_prompt.m_shown, QStringList{"Warning: " + c.question});
        EXPECT_EQ(Trace(), "<open>|c\r\n|" + c.command + "|<close>");
        EXPECT_EQ(m_clock.m_pauses, c.pauses);
        EXPECT_EQ(m_device->m_nUnseenWrites, 0); // the conversation shows the wait cursor
    }

    // A number not in the table: no question. Declined: nothing sent.
    Fresh();
    EXPECT_FALSE(m_link.Erase(5, 0x80, 0) || m_link.Erase(3, 0x200, 0) || m_link.Erase(4, 0x1234, 0));
    EXPECT_TRUE(m_prompt.m_shown.isEmpty());
    m_prompt.PushButton(IDNO);
    EXPECT_FALSE(m_link.Erase(4, 0x80, 0));
    // The port does not open: false after its message.
    m_device->m_bFailOpen = true;
    m_prompt.PushButton(IDYES);
    EXPECT_FALSE(m_link.Erase(4, 0x80, 0));
    EXPECT_EQ(m_prompt.m_shown.last(), "Error: COM Invalid handle");
    EXPECT_TRUE(m_device->m_events.isEmpty());
}

} // namespace
