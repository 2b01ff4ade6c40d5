#include "InstrumentFixture.h"

#include "platform/Profile.h"

#include <QTemporaryDir>

namespace {

using ComPortTest = InstrumentTest;

TEST_F(ComPortTest, ReadLineEndMarks)
{
    struct CCase
    {
        const char* endMark;
        QByteArray input;
        QStringList lines;
        QList<int> timedOut;
    };
    const QList<CCase> cases = {
        // CR inside the line does not end it; CR LF does, and stays in the line.
        {"\r\n", "a\rb\r\n", {"a\rb\r\n", ""}, {0, 1}},
        // A lone LF does not end the line.
        {"\r\n", "ab\ncd\r\nx", {"ab\ncd\r\n", "x"}, {0, 1}},
        // "?" CR then silence: what arrived, timed out.
        {"\r\n", "?\r", {"?\r"}, {1}},
        // With end mark CR the LF starts the next line.
        {"\r", "@W1\r\nOK\r", {"@W1\r", "\nOK\r", ""}, {0, 0, 1}},
        {"\r\n", "", {""}, {1}},
        // Bytes above 127 come back as the characters of the same value.
        {"\r\n", "\xE9\xFF\x01\r\n", {QString(QChar(0xE9)) + QChar(0xFF) + QChar(1) + "\r\n"}, {0}},
    };
    for (const CCase& c : cases) {
        CComSettings settings;
        settings.ComPort = 1;
        settings.EndMark = QString::fromLatin1(c.endMark);
        m_link.m_port.SetSettings(settings);
        Fresh();
        ASSERT_TRUE(m_link.m_port.Open());
        m_device->Feed(c.input);
        for (qsizetype i = 0; i < c.lines.size(); ++i) {
            const qint64 before = m_clock.Now();
            EXPECT_EQ(m_link.m_port.ReadLine(), c.lines.at(i)) << c.input.toStdString() << " line " << i;
            EXPECT_EQ(m_link.m_port.m_bTimedOut, c.timedOut.at(i)) << c.input.toStdString() << " line " << i;
            // A read that found nothing waited the fixed time-out, no longer.
            EXPECT_EQ(m_clock.Now() - before, c.timedOut.at(i) ? CComPort::kReadTimeoutMs : 0);
        }
    }
}

// Every read ends within bounds, whatever the instrument sends: a line that
// does not end is cut at 4096 characters or after 30 s, CRs included.
TEST_F(ComPortTest, ReadLineIsBoundedInLengthAndTime)
{
    struct CCase
    {
        const char* what;
        const char* endMark;
        QByteArray input;
        QByteArray endless; // sent without end after the input
        int periodMs;       // between two repetitions of `endless`
        QList<int> lengths; // of the lines read, in order
        QList<bool> cut;
        QList<qint64> elapsed;
    };
    const QList<CCase> cases = {
        {"5,000 CRs then x", "\r\n", QByteArray(5000, '\r') + "x\r\n", "", 0, {4096, 907}, {true, false}, {0, 0}},
        {"endless CRs", "\r\n", "", "\r", 0, {4096, 4096, 4096}, {true, true, true}, {0, 0, 0}},
        {"endless data", "\r", "", "x", 0, {4096, 4096}, {true, true}, {0, 0}},
        // A cut right after a CR: the LF that follows completes the end mark.
        {"cut between CR and LF",
         "\r\n",
         QByteArray(4095, 'a') + "\r\nOK\r\n",
         "",
         0,
         {4096, 1, 4},
         {true, false, false},
         {0, 0, 0}},
        // One byte a second (the first at once) never times out a read, but
        // the line ends after 30 s.
        {"trickle", "\r\n", "", "x", 1000, {31, 30}, {true, true}, {30000, 30000}},
        {"trickle of CRs", "\r\n", "", "\r", 1000, {31}, {true}, {30000}},
    };
    for (const CCase& c : cases) {
        CComSettings settings;
        settings.ComPort = 1;
        settings.EndMark = QString::fromLatin1(c.endMark);
        m_link.m_port.SetSettings(settings);
        Fresh();
        ASSERT_TRUE(m_link.m_port.Open());
        m_device->Feed(c.input);
        m_device->FeedEndless(c.endless, c.periodMs);
        for (qsizetype i = 0; i < c.lengths.size(); ++i) {
            const qint64 before = m_clock.Now();
            EXPECT_EQ(m_link.m_port.ReadLine().size(), c.lengths.at(i)) << c.what << " line " << i;
            EXPECT_EQ(m_link.m_port.m_bLineCut, c.cut.at(i)) << c.what << " line " << i;
            EXPECT_EQ(m_link.m_port.m_bTimedOut, 0) << c.what << " line " << i;
            EXPECT_EQ(m_clock.Now() - before, c.elapsed.at(i)) << c.what << " line " << i;
        }
    }
}

TEST_F(ComPortTest, OpenAppliesLineSettingsAndKeepsFlowControl)
{
    CComPort& port = m_link.m_port;
    CComSettings settings;
    settings.BaudRate = 4800;
    settings.ByteSize = 7;
    settings.Parity = 2;
    settings.StopBits = 2;
    settings.ComPort = 3;
    port.SetSettings(settings);
    m_device->m_state = {115200, 8, 0, 0, 2};
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(port.m_bOpen, 1);
    const CSerialLineState& state = m_device->m_state;
    EXPECT_EQ(
        QList<int>({state.m_nBaudRate, state.m_nByteSize, state.m_nParity, state.m_nStopBits, state.m_nFlowControl}),
        QList<int>({4800, 7, 2, 2, 2}));
    EXPECT_TRUE(port.Write("ab", 2));
    EXPECT_EQ(m_device->m_writeTimeouts, QList<int>{2002});
    port.Purge();
    port.Close();
    port.Close(); // twice is harmless
    EXPECT_EQ(port.m_bOpen, 0);
    EXPECT_FALSE(port.Write("x", 1)); // closed: nothing goes out
    EXPECT_EQ(Trace(), "<open>|ab|<purge>|<close>");
    EXPECT_TRUE(m_prompt.m_shown.isEmpty());
}

TEST_F(ComPortTest, OpenFailuresShowTheirMessages)
{
    m_device->m_bFailOpen = true;
    EXPECT_FALSE(m_link.m_port.Open());
    m_device->m_bFailOpen = false;
    m_device->m_bFailLineState = true;
    EXPECT_FALSE(m_link.m_port.Open());
    EXPECT_FALSE(m_device->IsOpen());
    m_device->m_bFailLineState = false;
    m_device->m_bFailWriteLineState = true;
    EXPECT_FALSE(m_link.m_port.Open()); // rejected settings: no message
    EXPECT_FALSE(m_device->IsOpen());
    EXPECT_EQ(m_link.m_port.m_bOpen, 0);
    EXPECT_EQ(m_prompt.m_shown, (QStringList{"Error: COM Invalid handle", "Error: Can not open COM port"}));

    // The Qt serial port: a missing device gives the first message, a regular
    // file (it opens, but has no line state) the second.
    m_prompt.m_shown.clear();
    m_link.m_port.SetDevice(nullptr);
    CComPort::SetDeviceOverride(QStringLiteral("/dev/tessaro-no-such-device"));
    EXPECT_FALSE(m_link.m_port.Open());
    QTemporaryDir dir;
    QFile file(dir.filePath("plain"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    CComPort::SetDeviceOverride(file.fileName());
    EXPECT_FALSE(m_link.m_port.Open());
    EXPECT_EQ(m_prompt.m_shown, (QStringList{"Error: COM Invalid handle", "Error: Can not open COM port"}));
    EXPECT_EQ(m_link.m_port.m_bOpen, 0);
}

TEST_F(ComPortTest, DevicePathMapping)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CProfile::SetFile(dir.filePath("profile.ini"));
    CProfile::WriteString("COM_DEVICES", "COM2", "/dev/ttyUSB0");
    CComPort::SetDeviceOverride(QString());
#ifndef Q_OS_WIN
    EXPECT_EQ(CComPort::DevicePath(4), QStringLiteral("/dev/ttyS3"));
    EXPECT_EQ(CComPort::DevicePath(2), QStringLiteral("/dev/ttyUSB0"));
#endif
    CComPort::SetDeviceOverride(QStringLiteral("/tmp/pty-sim"));
    EXPECT_EQ(CComPort::DevicePath(2), QStringLiteral("/tmp/pty-sim"));
    CProfile::SetFile(QString());
}

} // namespace
