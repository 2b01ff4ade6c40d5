#include "InstrumentFixture.h"

#include "platform/QtSerialDevice.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

TEST(InstrumentQtSerialDevice, LineOverPseudoTerminal)
{
    // As in the programs, the serial port runs with an application object.
    int argc = 1;
    char name[] = "tessaro_instrument_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    // A pseudo-terminal plays the far end of the line; it never blocks the test.
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_TRUE(grantpt(master) == 0 && unlockpt(master) == 0 && fcntl(master, F_SETFL, O_NONBLOCK) == 0);
    const QString slave = QString::fromLocal8Bit(ptsname(master));
    // The device's own flow control holds for the whole conversation.
    const int peer = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    termios tio{};
    ASSERT_TRUE(peer >= 0 && tcgetattr(peer, &tio) == 0);
    tio.c_cflag |= CRTSCTS;
    tio.c_iflag |= IXON | IXOFF;
    ASSERT_EQ(tcsetattr(peer, TCSANOW, &tio), 0);
    auto FlowKept = [peer] {
        termios now{};
        return tcgetattr(peer, &now) == 0 && (now.c_cflag & CRTSCTS) && (now.c_iflag & IXON) && (now.c_iflag & IXOFF);
    };

    CQtSerialDevice device;
    ASSERT_TRUE(device.Open(slave));
    EXPECT_TRUE(FlowKept());
    CSerialLineState state;
    ASSERT_TRUE(device.ReadLineState(state));
    const int flow = state.m_nFlowControl;
    state.m_nBaudRate = 19200;
    ASSERT_TRUE(device.WriteLineState(state));
    CSerialLineState back;
    ASSERT_TRUE(device.ReadLineState(back));
    EXPECT_EQ(back.m_nBaudRate, 19200);
    EXPECT_EQ(back.m_nFlowControl, flow);
    EXPECT_TRUE(FlowKept());
    // A second open of the same device is refused (exclusive).
    EXPECT_FALSE(CQtSerialDevice().Open(slave));

    ASSERT_TRUE(device.Write(QByteArray("c\r\n"), 2003));
    char buffer[64] = {};
    pollfd ready{master, POLLIN, 0}; // the bytes have left when Write returns
    ASSERT_EQ(poll(&ready, 1, 2000), 1);
    const ssize_t count = ::read(master, buffer, sizeof buffer);
    EXPECT_EQ(QByteArray(buffer, count > 0 ? static_cast<int>(count) : 0), "c\r\n");

    // Bytes that are there come back one by one without waiting.
    ASSERT_EQ(::write(master, "OK\xE9", 3), 3);
    QElapsedTimer timer;
    timer.start();
    QByteArray got;
    char byte = 0;
    for (int i = 0; i < 3 && device.Read(byte, 2002) == CSerialDevice::READ_BYTE; ++i)
        got += byte;
    EXPECT_EQ(got, QByteArray("OK\xE9", 3));
    EXPECT_TRUE(FlowKept());
    EXPECT_LT(timer.elapsed(), 1000);

    // A short time-out with nothing to read.
    timer.restart();
    EXPECT_EQ(device.Read(byte, 100), CSerialDevice::READ_TIMED_OUT);
    EXPECT_GE(timer.elapsed(), 90);

    // Purge drops what arrived.
    ASSERT_EQ(::write(master, "stale", 5), 5);
    device.Purge();
    EXPECT_EQ(device.Read(byte, 100), CSerialDevice::READ_TIMED_OUT);

    // A pseudo-terminal keeps 8 data bits: asked for 7, the device says no
    // (an instrument search then passes it over at once).
    state.m_nByteSize = 7;
    EXPECT_FALSE(device.WriteLineState(state));

    ::close(peer);
    // The far end goes away: the read fails instead of waiting out its time-out.
    ::close(master);
    timer.restart();
    EXPECT_EQ(device.Read(byte, 2002), CSerialDevice::READ_FAILED);
    EXPECT_LT(timer.elapsed(), 1500);
    device.Close();
    EXPECT_FALSE(device.IsOpen());

    // A regular file opens, but has no line state (the port's "Can not open COM port").
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath("plain"), ""));
    EXPECT_TRUE(device.Open(dir.filePath("plain")));
    EXPECT_FALSE(device.ReadLineState(state));
}

} // namespace
