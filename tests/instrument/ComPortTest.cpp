#include "InstrumentFixture.h"

#include "platform/Profile.h"

#include <QTemporaryDir>

namespace {

using ComPortTest = InstrumentTest;

struct CReadCase
{
    const char* m_strEndMark;
    QByteArray m_input;
    QStringList m_lines;        // the lines ReadLine returns in turn
    QList<int> m_timedOut;      // m_bTimedOut after each of them
};

TEST_F(ComPortTest, ReadLineEndMarks)
{
    const QList<CReadCase> cases = {
        // CR inside the line does not end it; CR LF does, and stays in the line.
        {"\r\n", QByteArray("a\rb\r\n"), {"a\rb\r\n", ""}, {0, 1}},
        // A lone LF does not end the line.
        {"\r\n", QByteArray("ab\ncd\r\nx"), {"ab\ncd\r\n", "x"}, {0, 1}},
        // "?" CR then silence: what arrived, timed out.
        {"\r\n", QByteArray("?\r"), {"?\r"}, {1}},
        // With end mark CR the LF starts the next line.
        {"\r", QByteArray("@W1\r\nOK\r"), {"@W1\r", "\nOK\r", ""}, {0, 0, 1}},
        // Nothing at all: empty line, timed out.
        {"\r\n", QByteArray(), {""}, {1}},
        // Bytes above 127 come back as the characters of the same value.
        {"\r\n", QByteArray("\xE9\xFF\x01\r\n"), {QString(QChar(0xE9)) + QChar(0xFF) + QChar(1) + "\r\n"}, {0}},
    };
    for (const CReadCase& c : cases) {
        CScriptedSerialDevice device(&m_clock);
        CComPort port;
        port.SetDevice(&device);
        CComSettings settings;
        settings.ComPort = 1;
        settings.EndMark = QString::fromLatin1(c.m_strEndMark);
        port.SetSettings(settings);
        ASSERT_TRUE(port.Open());
        device.Feed(c.m_input);
        for (qsizetype i = 0; i < c.m_lines.size(); ++i) {
            const qint64 before = m_clock.Now();
            EXPECT_EQ(port.ReadLine(), c.m_lines.at(i)) << "input " << c.m_input.toStdString() << " line " << i;
            EXPECT_EQ(port.m_bTimedOut, c.m_timedOut.at(i)) << "line " << i;
            // A read that found nothing waited the fixed time-out, no longer.
            EXPECT_EQ(m_clock.Now() - before, c.m_timedOut.at(i) ? CComPort::kReadTimeoutMs : 0);
        }
        port.Close();
    }
    EXPECT_TRUE(m_clock.m_pauses.isEmpty());
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
    settings.EndMark = QStringLiteral("\r");
    port.SetSettings(settings);
    EXPECT_EQ(port.BaudRate, 4800);
    EXPECT_EQ(port.ComPort, 3);
    EXPECT_EQ(port.EndMark, QStringLiteral("\r"));
    EXPECT_EQ(port.m_bOpen, 0);

    m_device.m_state = {115200, 8, 0, 0, 2};
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(port.m_bOpen, 1);
    EXPECT_EQ(m_device.m_state.m_nBaudRate, 4800);
    EXPECT_EQ(m_device.m_state.m_nByteSize, 7);
    EXPECT_EQ(m_device.m_state.m_nParity, 2);
    EXPECT_EQ(m_device.m_state.m_nStopBits, 2);
    EXPECT_EQ(m_device.m_state.m_nFlowControl, 2);

    EXPECT_TRUE(port.Write("ab", 2));
    EXPECT_EQ(m_device.m_writeTimeouts, QList<int>{2002});
    port.Purge();
    port.Close();
    port.Close();   // twice is harmless
    EXPECT_EQ(port.m_bOpen, 0);
    EXPECT_FALSE(port.Write("x", 1));   // closed: nothing goes out
    EXPECT_EQ(m_device.m_events, (QByteArrayList{Open(), "ab", "<purge>", Close()}));
    EXPECT_TRUE(m_prompt.m_shown.isEmpty());
}

TEST_F(ComPortTest, OpenFailuresShowTheirMessages)
{
    CComPort& port = m_link.m_port;
    m_device.m_bFailOpen = true;
    EXPECT_FALSE(port.Open());
    m_device.m_bFailOpen = false;
    m_device.m_bFailLineState = true;
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(m_device.IsOpen());
    m_device.m_bFailLineState = false;
    m_device.m_bFailWriteLineState = true;
    EXPECT_FALSE(port.Open());   // rejected settings: no message
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_EQ(port.m_bOpen, 0);
    EXPECT_EQ(m_prompt.m_shown, (QStringList{"Error: COM Invalid handle", "Error: Can not open COM port"}));
    EXPECT_EQ(m_prompt.m_buttons, (QList<int>{MB_OK, MB_OK}));
}

TEST_F(ComPortTest, DevicePathMapping)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CProfile::SetFile(dir.filePath("profile.ini"));
    CProfile::WriteString("COM_DEVICES", "COM2", "/dev/ttyUSB0");
    CComPort::SetDeviceOverride(QString());
#ifndef Q_OS_WIN
    EXPECT_EQ(CComPort::DevicePath(1), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(CComPort::DevicePath(4), QStringLiteral("/dev/ttyS3"));
    EXPECT_EQ(CComPort::DevicePath(2), QStringLiteral("/dev/ttyUSB0"));
#endif
    CComPort::SetDeviceOverride(QStringLiteral("/tmp/pty-sim"));
    EXPECT_EQ(CComPort::DevicePath(2), QStringLiteral("/tmp/pty-sim"));
    CProfile::SetFile(QString());
}

TEST_F(ComPortTest, RealDeviceThatDoesNotExist)
{
    // The Qt serial port on a missing device: the first message, no hang.
    CComPort port;
    CComPort::SetDeviceOverride(QStringLiteral("/dev/tessaro-no-such-device"));
    CComSettings settings;
    settings.BaudRate = 19200;
    settings.ByteSize = 8;
    settings.ComPort = 9;
    settings.EndMark = QStringLiteral("\r\n");
    port.SetSettings(settings);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(m_prompt.m_shown, QStringList{"Error: COM Invalid handle"});
    // A regular file is no serial device: it exists, but has no line state.
    QTemporaryDir dir;
    const QString path = dir.filePath("plain");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    CComPort::SetDeviceOverride(path);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(m_prompt.m_shown.value(1), "Error: Can not open COM port");
    EXPECT_EQ(port.m_bOpen, 0);
}

TEST_F(ComPortTest, DeviceThatDisappears)
{
    CComPort& port = m_link.m_port;
    ASSERT_TRUE(port.Open());
    m_device.LoseAfter(1);
    m_device.Expect("?\r\n", "ab");
    EXPECT_TRUE(port.Write(QByteArray("?\r\n")));
    // The bytes that arrived are returned; then the failure ends the line at
    // once, without waiting for a time-out.
    const qint64 before = m_clock.Now();
    EXPECT_EQ(port.ReadLine(), QStringLiteral("ab"));
    EXPECT_EQ(port.m_bTimedOut, 1);
    EXPECT_TRUE(port.DeviceLost());
    EXPECT_EQ(m_clock.Now(), before);
    EXPECT_FALSE(port.Write(QByteArray("c\r\n")));
    EXPECT_EQ(port.ReadLine(), QString());
    EXPECT_EQ(m_prompt.m_shown, QStringList{"Error: Communication error\nThe device has disappeared"});
    port.Close();
    EXPECT_FALSE(m_device.IsOpen());
}

} // namespace
