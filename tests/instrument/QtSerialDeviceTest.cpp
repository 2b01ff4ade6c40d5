#include "InstrumentFixture.h"

#include "platform/QtSerialDevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// A pseudo-terminal plays the far end of the line for the real device class.
class CPty
{
public:
    CPty()
    {
        m_nMaster = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_nMaster >= 0 && grantpt(m_nMaster) == 0 && unlockpt(m_nMaster) == 0)
            m_strSlave = QString::fromLocal8Bit(ptsname(m_nMaster));
    }
    ~CPty() { CloseMaster(); }
    void CloseMaster()
    {
        if (m_nMaster >= 0)
            ::close(m_nMaster);
        m_nMaster = -1;
    }
    bool Send(const QByteArray& bytes) { return ::write(m_nMaster, bytes.constData(), bytes.size()) == bytes.size(); }
    QByteArray Receive()
    {
        QByteArray data(4096, '\0');
        const ssize_t n = ::read(m_nMaster, data.data(), data.size());
        return n > 0 ? data.left(n) : QByteArray();
    }

    int m_nMaster = -1;
    QString m_strSlave;
};

TEST(InstrumentQtSerialDevice, LineOverPseudoTerminal)
{
    // As in the programs, the serial port runs with an application object.
    int argc = 1;
    char name[] = "tessaro_instrument_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    CPty pty;
    ASSERT_FALSE(pty.m_strSlave.isEmpty());
    CQtSerialDevice device;
    ASSERT_TRUE(device.Open(pty.m_strSlave));
    CSerialLineState state;
    ASSERT_TRUE(device.ReadLineState(state));
    const int flow = state.m_nFlowControl;
    state.m_nBaudRate = 19200;
    state.m_nByteSize = 8;
    state.m_nParity = 0;
    state.m_nStopBits = 0;
    ASSERT_TRUE(device.WriteLineState(state));
    CSerialLineState back;
    ASSERT_TRUE(device.ReadLineState(back));
    EXPECT_EQ(back.m_nBaudRate, 19200);
    EXPECT_EQ(back.m_nFlowControl, flow);

    // A second open of the same device is refused (exclusive).
    CQtSerialDevice other;
    EXPECT_FALSE(other.Open(pty.m_strSlave));

    ASSERT_TRUE(device.Write(QByteArray("c\r\n"), 2003));
    EXPECT_EQ(pty.Receive(), QByteArray("c\r\n"));

    // Bytes that are there come back one by one without waiting.
    ASSERT_TRUE(pty.Send(QByteArray("OK\xE9", 3)));
    QElapsedTimer timer;
    timer.start();
    QByteArray got;
    char byte = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(device.Read(byte, 2002), CSerialDevice::ReadByte);
        got += byte;
    }
    EXPECT_EQ(got, QByteArray("OK\xE9", 3));
    EXPECT_LT(timer.elapsed(), 1000);

    // A short time-out with nothing to read.
    timer.restart();
    EXPECT_EQ(device.Read(byte, 100), CSerialDevice::ReadTimedOut);
    EXPECT_GE(timer.elapsed(), 90);

    // Purge drops what arrived.
    ASSERT_TRUE(pty.Send("stale"));
    device.Purge();
    EXPECT_EQ(device.Read(byte, 100), CSerialDevice::ReadTimedOut);

    // The far end goes away: the read fails instead of waiting out its time-out.
    pty.CloseMaster();
    timer.restart();
    EXPECT_EQ(device.Read(byte, 2002), CSerialDevice::ReadFailed);
    EXPECT_LT(timer.elapsed(), 1500);
    device.Close();
    EXPECT_FALSE(device.IsOpen());
}

} // namespace
