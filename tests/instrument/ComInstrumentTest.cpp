#include "InstrumentFixture.h"

namespace {

using LinkTest = InstrumentTest;

TEST_F(LinkTest, SendLineFraming)
{
    ASSERT_TRUE(m_link.Open());
    EXPECT_TRUE(m_link.SendLine("JOB/CONF/LIST"));
    EXPECT_EQ(m_device.m_written.size(), 15);
    // A character above 255 goes out as its low byte.
    EXPECT_TRUE(m_link.SendLine(QString(QChar(0x141)) + "x"));
    // 509 characters fit, 510 are refused with a message and nothing is written.
    EXPECT_TRUE(m_link.SendLine(QString(509, 'a')));
    EXPECT_FALSE(m_link.SendLine(QString(510, 'a')));
    m_link.Close();
    EXPECT_EQ(Writes(), (QByteArrayList{"JOB/CONF/LIST\r\n", "\x41x\r\n", QByteArray(509, 'a') + "\r\n"}));
    ASSERT_EQ(m_prompt.m_shown.size(), 1);
    EXPECT_TRUE(m_prompt.m_shown.first().startsWith("Error: The line is too long"));
    EXPECT_FALSE(m_link.SendLine("c"));   // port closed
}

TEST_F(LinkTest, ProbeAnswered)
{
    m_device.Expect("a\r\n");
    m_device.Expect("c\r\n", "\r\n");
    m_device.Expect("c\r\n", "OK\r\n");
    EXPECT_TRUE(m_link.Probe());
    EXPECT_EQ(m_device.m_events, (QByteArrayList{Open(), "a\r\n", Close(), Open(), "c\r\n", "c\r\n", Close()}));
    EXPECT_EQ(m_clock.m_pauses, QList<int>{3000});
    EXPECT_TRUE(m_device.AllExpected());
}

TEST_F(LinkTest, ProbeAgainstSilence)
{
    EXPECT_FALSE(m_link.Probe());
    EXPECT_EQ(m_clock.m_pauses, QList<int>{3000});
    EXPECT_EQ(m_device.m_nReadTimeouts, 2);
    EXPECT_EQ(m_clock.Now(), 3000 + 2 * CComPort::kReadTimeoutMs);
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_EQ(m_link.m_port.m_bOpen, 0);
}

TEST_F(LinkTest, ProbeWithoutDevice)
{
    m_device.m_bFailOpen = true;
    EXPECT_FALSE(m_link.Probe());
    EXPECT_EQ(m_prompt.m_shown, QStringList{"Error: COM Invalid handle"});
    EXPECT_TRUE(m_clock.m_pauses.isEmpty());
}

TEST_F(LinkTest, IdentifyVariants)
{
    struct CCase { QByteArray reply; bool result; QString name; };
    const QList<CCase> cases = {
        {"%R1P,0,0:0,\"ABC\"\r\n", true, "ABC"},
        {"%R1P,0,0:0,\"TC\"\r\n", true, "TC"},
        {"%R1P,0,0:1,\"XYZ\"\r\n", false, "old"},   // error code: false, name kept
        {"", true, "old"},                             // silence: true, name kept
        {"hello\r\n", true, "old"},                    // another dialect: true, name kept
        {"%R1P,0,0:0,\"\r\n", true, ""},               // a single quote: empty name
    };
    for (const CCase& c : cases) {
        CScriptedSerialDevice device(&m_clock);
        m_link.m_port.SetDevice(&device);
        m_link.m_strName = "old";
        device.Expect("%R1Q,5004:\r\n", c.reply);
        EXPECT_EQ(m_link.Identify(), c.result) << c.reply.toStdString();
        EXPECT_EQ(m_link.m_strName, c.name) << c.reply.toStdString();
        EXPECT_EQ(device.m_events, (QByteArrayList{Open(), "%R1Q,5004:\r\n", Close()}));
        m_link.m_port.SetDevice(&m_device);
    }
}

TEST_F(LinkTest, ListJobs)
{
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("JOB/CONF/LIST\r\n", "A1,1,3,5\r\n");
    m_device.Expect("?\r\n", ",2,0,0\r\n");
    m_device.Expect("?\r\n", "ROW WITHOUT NUMBER\r\n");   // number 0: skipped
    m_device.Expect("?\r\n", "");
    m_device.Expect("?\r\n", "");
    m_link.m_jobs.append(CJobInfo{"stale", 9, 0, 0, 0});
    EXPECT_TRUE(m_link.ListJobs());
    ASSERT_EQ(m_link.m_jobs.size(), 2);
    EXPECT_EQ(m_link.m_jobs[0].m_strName, "A1");
    EXPECT_EQ(m_link.m_jobs[0].m_nNumber, 1);
    EXPECT_EQ(m_link.m_jobs[0].m_nFixBlocks, 3);
    EXPECT_EQ(m_link.m_jobs[0].m_nMeasBlocks, 5);
    EXPECT_EQ(m_link.m_jobs[0].m_bEmpty, 0);
    EXPECT_EQ(m_link.m_jobs[1].m_strName, "empty");
    EXPECT_EQ(m_link.m_jobs[1].m_nNumber, 2);
    EXPECT_EQ(m_link.m_jobs[1].m_bEmpty, 1);
    EXPECT_EQ(m_device.m_events, (QByteArrayList{Open(), "<purge>", "c\r\n", "JOB/CONF/LIST\r\n", "?\r\n", "?\r\n",
                                                 "?\r\n", "?\r\n", Close()}));
    // 200 after "c", 1000 after the command, 100 after each "?" but the repeat.
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{200, 1000, 100, 100, 100}));
    EXPECT_TRUE(m_device.AllExpected());
}

TEST_F(LinkTest, ListJobsRepeatsCommandAndEnds)
{
    // A bare "@127" repeats the command; "@127" CR LF on the second answer is a row.
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("JOB/CONF/LIST\r\n", "@127");
    m_device.Expect("JOB/CONF/LIST\r\n", "@127\r\n");
    m_device.Expect("?\r\n", "B2,4,0,1\r\n");
    // "?" CR LF is three characters: the loop ends on it instead of going on.
    m_device.Expect("?\r\n", "?\r\n");
    EXPECT_TRUE(m_link.ListJobs());
    ASSERT_EQ(m_link.m_jobs.size(), 1);
    EXPECT_EQ(m_link.m_jobs[0].m_strName, "B2");
    EXPECT_EQ(Writes(), (QByteArrayList{"c\r\n", "JOB/CONF/LIST\r\n", "JOB/CONF/LIST\r\n", "?\r\n", "?\r\n"}));
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{200, 1000, 1000, 100, 100}));
    EXPECT_TRUE(m_device.AllExpected());
}

TEST_F(LinkTest, ListingWithoutAnswer)
{
    m_link.m_jobs.append(CJobInfo{"stale", 9, 0, 0, 0});
    EXPECT_FALSE(m_link.ListJobs());
    EXPECT_TRUE(m_link.m_jobs.isEmpty());
    EXPECT_EQ(m_prompt.m_shown, QStringList{"Error: No response from instrument"});
    EXPECT_EQ(Writes(), (QByteArrayList{"c\r\n", "JOB/CONF/LIST\r\n", "JOB/CONF/LIST\r\n"}));
    EXPECT_FALSE(m_device.IsOpen());
    // "?" twice is the same.
    m_device.Expect("c\r\n", "");
    m_device.Expect("CODE/CONF/LIST\r\n", "?");
    m_device.Expect("CODE/CONF/LIST\r\n", "?");
    EXPECT_FALSE(m_link.ListCodeLists());
    EXPECT_EQ(m_prompt.m_shown.size(), 2);
    EXPECT_TRUE(m_device.AllExpected());
}

TEST_F(LinkTest, ListFormats)
{
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("FORM/CONF/LIST\r\n", " F1,2,1,1 \r\n");
    m_device.Expect("?\r\n", "VORN,3,0,5\r\n");
    m_device.Expect("?\r\n", "?\r\n");
    m_device.Expect("c\r\n", "OK\r\n");
    EXPECT_TRUE(m_link.ListFormats());
    ASSERT_EQ(m_link.m_formats.size(), 2);
    EXPECT_EQ(m_link.m_formats[0].m_strName, "F1");
    EXPECT_EQ(m_link.m_formats[0].m_nNumber, 2);
    EXPECT_EQ(m_link.m_formats[0].m_nValue1, 1);
    EXPECT_EQ(m_link.m_formats[0].m_nValue2, 1);
    EXPECT_EQ(m_link.m_formats[1].m_strName, "VORN");
    EXPECT_EQ(m_link.m_formats[1].m_nValue2, 5);
    EXPECT_EQ(Writes(), (QByteArrayList{"c\r\n", "FORM/CONF/LIST\r\n", "?\r\n", "?\r\n", "c\r\n"}));
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{200, 1000, 100, 100}));
    EXPECT_TRUE(m_device.AllExpected());
    EXPECT_FALSE(m_device.IsOpen());
}

TEST_F(LinkTest, ListCodeLists)
{
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("CODE/CONF/LIST\r\n", "CODES,3,12\r\n");
    m_device.Expect("?\r\n", ",4,0\r\n");
    m_device.Expect("?\r\n", "XYZ\r\n");   // no comma, longer than 3: the end, without "c"
    EXPECT_TRUE(m_link.ListCodeLists());
    ASSERT_EQ(m_link.m_codeLists.size(), 2);
    EXPECT_EQ(m_link.m_codeLists[0].m_strName, "CODES");
    EXPECT_EQ(m_link.m_codeLists[0].m_nNumber, 3);
    EXPECT_EQ(m_link.m_codeLists[0].m_nCount, 12);
    EXPECT_EQ(m_link.m_codeLists[1].m_strName, "empty");
    EXPECT_EQ(m_link.m_codeLists[1].m_bEmpty, 1);
    EXPECT_EQ(Writes(), (QByteArrayList{"c\r\n", "CODE/CONF/LIST\r\n", "?\r\n", "?\r\n"}));
    EXPECT_TRUE(m_device.AllExpected());
    EXPECT_FALSE(m_device.IsOpen());
}

TEST_F(LinkTest, ListingEndsWhenTheDeviceDisappears)
{
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("JOB/CONF/LIST\r\n", "A1,1,3,5\r\n");
    m_device.Expect("?\r\n", "A2,2,0");   // the cable is pulled in the middle of a row
    m_device.LoseAfter(3);
    EXPECT_FALSE(m_link.ListJobs());
    EXPECT_EQ(m_link.m_jobs.size(), 1);
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_EQ(m_prompt.m_shown, QStringList{"Error: Communication error\nThe device has disappeared"});
    // No read waited for a time-out after the failure.
    EXPECT_EQ(m_device.m_nReadTimeouts, 0);
}

class EraseTest : public InstrumentTest
{
protected:
    EraseTest()
    {
        m_link.m_jobs = {CJobInfo{"A1", 4, 1, 2, 0}, CJobInfo{"J9", 9, 0, 0, 0}};
        m_link.m_codeLists = {CCodeListInfo{"CODES", 3, 12, 0}};
        m_link.m_formats = {CFormatInfo{"F1", 2, 1, 1, 0}};
    }
};

TEST_F(EraseTest, ErasesAfterConfirmation)
{
    struct CCase { int kind; int number; QString question; QByteArray command; QList<int> pauses; };
    const QString lost = "Data will be definitely lost! - Continue anyway?";
    const QList<CCase> cases = {
        {0x80, 4, "Delete Measurements: A1:\n" + lost, "JOB/ERASE/OBSERV/4\r\n", {2000, 1000}},
        {0x40, 4, "Delete Fixpoints: A1:\n" + lost, "JOB/ERASE/COORD/4\r\n", {2000, 1000}},
        {0x8000, 9, "Delete Job J9:\n" + lost, "JOB/ERASE/9\r\n", {2000, 1000, 5000}},
        {0x10000, 3, "Delete Codelist CODES:\n" + lost, "CODE/ERASE/3\r\n", {2000, 1000}},
        {0x200, 2, "Delete Format F1:\n" + lost, "FORM/ERASE/2\r\n", {2000, 1000}},
    };
    for (const CCase& c : cases) {
        CScriptedSerialDevice device(&m_clock);
        m_link.m_port.SetDevice(&device);
        m_clock.m_pauses.clear();
        m_prompt.m_shown.clear();
        m_prompt.PushButton(IDYES);
        device.Expect("c\r\n", "OK\r\n");
        device.Expect(c.command, "@W\r\n");   // even a refusal is not judged
        EXPECT_TRUE(m_link.Erase(c.number, c.kind, 0)) << c.command.toStdString();
        EXPECT_EQ(m_prompt.m_shown, QStringList{"Warning: " + c.question});
        EXPECT_EQ(device.m_events, (QByteArrayList{Open(), "c\r\n", c.command, Close()}));
        EXPECT_EQ(m_clock.m_pauses, c.pauses);
        m_link.m_port.SetDevice(&m_device);
    }
    EXPECT_TRUE(m_prompt.Idle());
}

TEST_F(EraseTest, DeclinedMissingOrFailed)
{
    // A number not in the table: no question, the port is not touched.
    EXPECT_FALSE(m_link.Erase(5, 0x80, 0));
    EXPECT_FALSE(m_link.Erase(3, 0x200, 0));
    EXPECT_FALSE(m_link.Erase(4, 0x1234, 0));
    EXPECT_TRUE(m_prompt.m_shown.isEmpty());
    // No: nothing is sent.
    m_prompt.PushButton(IDNO);
    EXPECT_FALSE(m_link.Erase(4, 0x80, 0));
    EXPECT_TRUE(m_device.m_events.isEmpty());
    // The port does not open: false after its message.
    m_device.m_bFailOpen = true;
    m_prompt.PushButton(IDYES);
    EXPECT_FALSE(m_link.Erase(4, 0x80, 0));
    EXPECT_EQ(m_prompt.m_shown.last(), "Error: COM Invalid handle");
    EXPECT_TRUE(m_device.m_events.isEmpty());
}

TEST_F(LinkTest, SelectFormat)
{
    // Flag clear: "FORM/SET/<m_nFormat>" and the reply read at once.
    m_link.m_nFormat = 3;
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("FORM/SET/3\r\n", "OK\r\n");
    EXPECT_TRUE(m_link.SelectFormat(0));
    EXPECT_EQ(m_device.m_events, (QByteArrayList{Open(), "c\r\n", "FORM/SET/3\r\n", Close()}));
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000}));

    // Built-in: "FORM/SET/1" with a pause before the reply; one refusal, then
    // silence (acceptance): two attempts, the port reopened between them.
    m_device.m_events.clear();
    m_clock.m_pauses.clear();
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("FORM/SET/1\r\n", "@W\r\n");
    m_device.Expect("c\r\n", "OK\r\n");
    m_device.Expect("FORM/SET/1\r\n", "");
    EXPECT_TRUE(m_link.SelectFormat(1));
    EXPECT_EQ(m_device.m_events, (QByteArrayList{Open(), "c\r\n", "FORM/SET/1\r\n", Close(), Open(), "c\r\n",
                                                 "FORM/SET/1\r\n", Close()}));
    EXPECT_EQ(m_clock.m_pauses, (QList<int>{1000, 1000, 1000, 1000, 1000, 1000}));
    EXPECT_TRUE(m_device.AllExpected());
    EXPECT_TRUE(m_prompt.m_shown.isEmpty());
}

TEST_F(LinkTest, SelectFormatRefusedTenTimes)
{
    m_link.m_nFormat = 0;
    for (int i = 0; i < 10; ++i) {
        m_device.Expect("c\r\n", "OK\r\n");
        m_device.Expect("FORM/SET/0\r\n", "@W\r\n");
    }
    EXPECT_FALSE(m_link.SelectFormat(0));
    EXPECT_EQ(m_device.m_nOpens, 10);
    EXPECT_EQ(m_device.m_writes.count("FORM/SET/0\r\n"), 10);
    EXPECT_EQ(m_prompt.m_shown, QStringList{"Error: Can not select this format"});
    EXPECT_TRUE(m_device.AllExpected());
    EXPECT_FALSE(m_device.IsOpen());
}

} // namespace
