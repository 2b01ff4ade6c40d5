// The instrument search with the real serial device against the simulator on
// pseudo-terminals (real time: the protocol's pauses and time-outs). The
// order, the end marks and Cancel are covered on the scripted device; the
// command line's test finds the end mark CR in real time.

#include "PtyPeer.h"

#include "instrument/ComPort.h"
#include "instrument/InstrumentDetector.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

CComSettings Current()
{
    CComSettings settings;
    settings.BaudRate = 19200;
    settings.ByteSize = 8;
    settings.ComPort = 1;
    settings.EndMark = QStringLiteral("\r\n");
    return settings;
}

// The silent try's waits: the wake-up pause and two read time-outs; the
// answered one's: the wake-up pause and the pause before the name request.
constexpr qint64 kSilentTryMs = 3000 + 2 * CComPort::kReadTimeoutMs;
constexpr qint64 kAnsweredTryMs = 3000 + 1000;

// A pseudo-terminal refuses 7 data bits (Qt checks what the kernel kept), so
// 57600 7O1 is passed over at once; parity and data bits are covered on the
// scripted device.
TEST(DetectE2E, SkipsAMissingAndASilentDeviceAndFindsTheInstrument)
{
    CSimProcess silent, instrument;
    ASSERT_TRUE(silent.Start({"--silent"}));
    ASSERT_TRUE(instrument.Start({"--line-settings", "57600,8N1", "--name", "SIM-7"}));
    CInstrumentDetector detector;
    detector.SetCandidates({{"/dev/tessaro-missing-tty", 1}, {silent.Device(), 2}, {instrument.Device(), 3}});
    detector.SetLineOrder({{57600, 7, 1, 0}, {57600, 8, 0, 0}});
    QElapsedTimer timer;
    timer.start();
    const CDetectResult result = detector.Run(Current());
    const qint64 elapsed = timer.elapsed();

    ASSERT_EQ(result.m_outcome, CDetectResult::Found);
    EXPECT_EQ(result.m_strDevice, instrument.Device());
    EXPECT_EQ(CInstrumentDetector::Describe(result.m_settings), QStringLiteral("57600 bit/s, 8N1"));
    EXPECT_EQ(result.m_settings.EndMark, QStringLiteral("\r\n"));
    EXPECT_EQ(result.m_strName, QStringLiteral("SIM-7"));
    ASSERT_EQ(result.m_notes.size(), 1);
    EXPECT_TRUE(result.m_notes[0].startsWith(QLatin1String("/dev/tessaro-missing-tty skipped: ")));
    // The missing device and two refusing 7 data bits, then two at 8N1.
    EXPECT_EQ(result.m_nTries, 3 + 2);
    const qint64 bound = kSilentTryMs + kAnsweredTryMs;
    EXPECT_GE(elapsed, bound);
    EXPECT_LT(elapsed, bound * 110 / 100); // bench/instrument/DetectBench measures it closely
    EXPECT_EQ(silent.Stop(), 0);
    EXPECT_EQ(instrument.Stop(), 0);
}

} // namespace

int main(int argc, char* argv[])
{
    // As in the programs, the serial port runs with an application object.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
