// The instrument search on scripted devices and the virtual clock: its
// order, what it takes as an answer, the devices it skips, its bounds and
// its cancel.

#include "InstrumentFixture.h"

#include "instrument/InstrumentDetector.h"
#include "instrument/LineProbe.h"
#include "platform/Profile.h"

#include <map>
#include <tuple>

using DetectPlan::CCandidate;
using DetectPlan::CLineTry;

namespace {

QString Text(const CLineTry& line)
{
    return QString::number(line.BaudRate) + QLatin1Char(' ') + DetectPlan::FramingText(line);
}

// An instrument behind a scripted device: it understands the handheld only
// while the line state is its own, and then answers "c" and the name request
// with its end mark. At other settings it is silent, or sends noise.
class CInstrumentDevice : public CScriptedSerialDevice
{
public:
    CInstrumentDevice(CVirtualClock* clock, const CLineTry& line, const QByteArray& endMark,
                      const QByteArray& identify = "%R1P,0,0:0,\"SIM-7\"")
        : CScriptedSerialDevice(clock), m_line(line), m_endMark(endMark), m_identify(identify)
    {}

    bool WriteLineState(const CSerialLineState& state) override
    {
        if (!CScriptedSerialDevice::WriteLineState(state))
            return false;
        m_tried.append(Text({state.m_nBaudRate, state.m_nByteSize, state.m_nParity, state.m_nStopBits}));
        return true;
    }
    bool Write(const QByteArray& bytes, int timeoutMs) override
    {
        if (!CScriptedSerialDevice::Write(bytes, timeoutMs))
            return false;
        const bool matches = m_state.m_nBaudRate == m_line.BaudRate && m_state.m_nByteSize == m_line.ByteSize
            && m_state.m_nParity == m_line.Parity && m_state.m_nStopBits == m_line.StopBits;
        if (!matches)
            Feed(m_noise);
        else if (bytes == "c\r\n")
            Feed("?" + m_endMark);
        else if (bytes == "%R1Q,5004:\r\n")
            Feed(m_identify + m_endMark);
        return true;
    }

    CLineTry m_line;
    QByteArray m_endMark;
    QByteArray m_identify;
    QByteArray m_noise;  // what a write at wrong settings brings back
    QStringList m_tried; // line states set, in order
};

// The scripted services of InstrumentTest, without its device override.
class InstrumentDetectorTest : public InstrumentTest
{
protected:
    InstrumentDetectorTest() { m_deviceOverride.Set(QString()); }

    // The detector searching these devices, by path.
    CDetectResult Run(const CComSettings& current, const std::map<QString, CScriptedSerialDevice*>& devices,
                      const QList<CLineTry>& order = {})
    {
        QList<CCandidate> candidates;
        int port = 0;
        for (const auto& [path, device] : devices)
            candidates.append({path, ++port});
        m_detector.SetCandidates(candidates);
        m_detector.SetLineOrder(order);
        m_detector.SetDeviceFactory([devices](const QString& path) { return devices.at(path); });
        return m_detector.Run(current);
    }

    CTempProfile m_profile;
    CInstrumentDetector m_detector;
};

// The protocol's own waits: a silent try wakes (3000 ms) and waits out both
// "c" replies; an answered one wakes, pauses 1000 ms before the name request,
// and with the end mark CR waits 50 ms for an LF that does not come.
constexpr qint64 kSilentTryMs = 3000 + 2 * CComPort::kReadTimeoutMs;
const QByteArray kSilentTry = "a\r\n|c\r\n|c\r\n|"; // the writes of a try without an answer

// Where and how the instrument was found (port, line settings, end mark),
// and the name it gave ("-" none).
QString Summary(const CDetectResult& r)
{
    const CComSettings& s = r.m_settings;
    return QStringLiteral("%1 COM%2 %3 %4 %5")
        .arg(r.m_strDevice)
        .arg(s.ComPort)
        .arg(Text({s.BaudRate, s.ByteSize, s.Parity, s.StopBits}), s.EndMark, r.m_bNameGiven ? r.m_strName : "-");
}

TEST(DetectPlan, LineOrderStartsWithTheCurrentSettingsAndTriesEachOnce)
{
    QStringList texts;
    for (const CLineTry& line : DetectPlan::LineOrder(Settings(19200, 8, 0, 0)).mid(0, 12))
        texts.append(Text(line));
    EXPECT_EQ(texts,
              QStringList({"19200 8N1", "9600 8N1", "9600 7E1", "9600 7O1", "9600 8E1", "9600 8N2", "19200 7E1",
                           "19200 7O1", "19200 8E1", "19200 8N2", "38400 8N1", "38400 7E1"}));
    // Settings that are not in the list come first, and in addition; a record
    // with empty lists (speed kept, 0 data bits) adds nothing.
    for (const auto& [settings, size, first] :
         {std::tuple(Settings(19200, 8, 0, 0), 40, "19200 8N1"), std::tuple(Settings(4800, 7, 2, 1), 41, "4800 7E1.5"),
          std::tuple(Settings(4800, 0, 0, 0), 40, "9600 8N1")}) {
        const QList<CLineTry> order = DetectPlan::LineOrder(settings);
        EXPECT_EQ(order.size(), size) << first;
        EXPECT_EQ(Text(order.first()), QLatin1String(first));
        EXPECT_EQ(Text(order.last()), QLatin1String("1200 8N2"));
    }
}

TEST(DetectPlan, CandidatesInSearchOrderEachDeviceOnce)
{
    // A link in /dev/serial/by-id leads to ttyUSB1.
    const auto canonical = [](const QString& path) {
        return path == QLatin1String("/dev/serial/by-id/usb-Invented_Adapter") ? QStringLiteral("/dev/ttyUSB1") : path;
    };
    const QList<CCandidate> mapped{{"/dev/serial/by-id/usb-Invented_Adapter", 3}, {"/dev/ttyS0", 4}};
    const QStringList present{"/dev/ttyS1",   "/dev/ttyUSB1", "/dev/ttyUSB0", "/dev/ttyACM0",
                              "/dev/ttyS0",   "/dev/ttyS10",  "/dev/ttyS2",   "/dev/pts/3",
                              "/dev/ttyUSBx", "/dev/ttyS9x",  "/dev/ttyUSB10"};
    const QList<CCandidate> expected{
        {"/dev/ttyS0", 1}, // the current port, COM1
        {"/dev/serial/by-id/usb-Invented_Adapter", 3},
        {"/dev/ttyUSB0", 0}, // no port reaches the USB adapters
        {"/dev/ttyUSB10", 0},
        {"/dev/ttyACM0", 0},
        {"/dev/ttyS1", 2}, // ttyS<k> is COM<k+1>...
        {"/dev/ttyS2", 0}, // ...unless the profile gives COM3 another device
        {"/dev/ttyS10", 11},
    };
    EXPECT_EQ(DetectPlan::OrderCandidates(1, "/dev/ttyS0", mapped, present, canonical), expected);
}

// The instrument at several settings and end marks: the search goes through
// the order until it answers, sends nothing but the wake-up and the name
// request, and takes no more time than the protocol's own waits.
TEST_F(InstrumentDetectorTest, FindsTheInstrumentAtItsSettingsAfterTheProtocolsWaitsOnly)
{
    struct CCase
    {
        CLineTry m_line;
        QByteArray m_endMark;
        int m_nTries;
    };
    const CCase cases[] = {
        {{19200, 8, 0, 0}, "\r\n", 1}, // the current settings
        {{9600, 7, 2, 0}, "\r", 3},      {{38400, 7, 1, 0}, "\r", 13},
        {{115200, 8, 2, 0}, "\r\n", 24}, {{1200, 8, 0, 2}, "\r\n", 40}, // the last combination
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(Text(c.m_line).toStdString());
        CInstrumentDevice device(&m_clock, c.m_line, c.m_endMark);
        const qint64 start = m_clock.Now();
        const CDetectResult result = Run(Settings(19200, 8, 0, 0, 2), {{"/dev/ttyUSB0", &device}});
        ASSERT_EQ(result.m_outcome, CDetectResult::DETECT_FOUND);
        EXPECT_EQ(Summary(result), "/dev/ttyUSB0 COM1 " + Text(c.m_line) + " " + c.m_endMark + " SIM-7");
        EXPECT_EQ(result.m_nTries, c.m_nTries);
        // Two opens per silent try, three for the answered one.
        EXPECT_EQ(device.m_tried.size(), 2 * c.m_nTries + 1);
        EXPECT_EQ(device.m_writes.join('|'), kSilentTry.repeated(c.m_nTries) + "%R1Q,5004:\r\n");
        const qint64 found = 3000 + 1000 + (c.m_endMark == "\r" ? CLineProbe::kLineFeedWaitMs : 0);
        EXPECT_EQ(m_clock.Now() - start, (c.m_nTries - 1) * kSilentTryMs + found);
        EXPECT_FALSE(device.IsOpen());
    }
    EXPECT_TRUE(m_prompt.m_shown.isEmpty()); // nothing pops up during a search
}

// Busy, unopenable, rejecting, silent, noisy and vanishing devices are all
// passed over; those that cannot be used get a note and are not tried again.
TEST_F(InstrumentDetectorTest, SkipsDevicesThatCannotBeUsedAndNoise)
{
    const CLineTry found{9600, 8, 0, 0};
    const QList<CLineTry> order{{19200, 8, 0, 0}, {9600, 7, 2, 0}, found};
    CScriptedSerialDevice busy(&m_clock);
    busy.m_bFailOpen = true;
    CScriptedSerialDevice rejects(&m_clock);
    rejects.m_bFailWriteLineState = true;
    CScriptedSerialDevice silent(&m_clock);
    CInstrumentDevice vanishing(&m_clock, {1200, 8, 0, 0}, "\r\n");
    vanishing.LoseAfter(2);
    // Noise at wrong settings: a reply that looks like a name reply with its
    // high bits set, and endless bytes without a CR.
    CInstrumentDevice noisy(&m_clock, {1200, 8, 0, 0}, "\r\n");
    noisy.m_noise = "\xA5R1P,0,0:0,\"X\"\r\n" + QByteArray(1000, '\xFF');
    CInstrumentDevice instrument(&m_clock, found, "\r\n", "%R1P,0,0:1,\"IGNORED\"");

    const CDetectResult result = Run(Settings(19200, 8, 0, 0),
                                     {{"/dev/a-busy", &busy},
                                      {"/dev/c-rejects", &rejects},
                                      {"/dev/d-silent", &silent},
                                      {"/dev/e-vanishing", &vanishing},
                                      {"/dev/f-noisy", &noisy},
                                      {"/dev/g-instrument", &instrument}},
                                     order);
    ASSERT_EQ(result.m_outcome, CDetectResult::DETECT_FOUND);
    // The instrument refused its name: the settings are still right.
    EXPECT_EQ(Summary(result), "/dev/g-instrument COM6 9600 8N1 \r\n -");
    EXPECT_EQ(result.m_strName, QString());
    EXPECT_FALSE(result.m_bNewMapping);
    ASSERT_EQ(result.m_notes.size(), 2);
    EXPECT_TRUE(result.m_notes[0].startsWith(QLatin1String("/dev/a-busy skipped: ")));
    EXPECT_EQ(result.m_notes[1], QStringLiteral("/dev/e-vanishing skipped: The device has disappeared"));
    EXPECT_TRUE(rejects.m_writes.isEmpty());
    EXPECT_EQ(rejects.m_nOpens, 3);
    EXPECT_EQ(silent.m_writes.size(), 3 * 3);
    EXPECT_EQ(vanishing.m_writes.size(), 2);
    // Noise passes for an answer to "c", never for a name reply.
    EXPECT_EQ(noisy.m_writes.join('|') + '|', (kSilentTry + "%R1Q,5004:\r\n|").repeated(3));
    // Six devices at the first settings, the four usable ones at the others.
    EXPECT_EQ(result.m_nTries, 6 + 4 + 4);
}

// A line that never ends a reply cannot hold the search: every reply stops
// after 256 bytes or 4004 ms, every try after a bounded time.
TEST_F(InstrumentDetectorTest, EveryTryIsBounded)
{
    CScriptedSerialDevice trickle(&m_clock);
    // A byte every 1500 ms, never a CR: each read gets a byte before its time-out.
    for (int t = 1; t <= 200; ++t)
        trickle.FeedAt(t * 1500, "x");
    const qint64 start = m_clock.Now();
    CDetectResult result = Run(Settings(19200, 8, 0, 0), {{"/dev/trickle", &trickle}}, {{19200, 8, 0, 0}});
    EXPECT_EQ(result.m_outcome, CDetectResult::DETECT_NOT_FOUND);
    // Purged at each open, so the first reply starts after the wake pause.
    const qint64 limit = 3000 + 1000 + 3 * 2 * CComPort::kReadTimeoutMs + CLineProbe::kLineFeedWaitMs;
    EXPECT_LE(m_clock.Now() - start, limit);
    EXPECT_EQ(trickle.m_writes.join('|'), QByteArray("a\r\n|c\r\n|c\r\n|%R1Q,5004:\r\n"));
}

// Cancel ends the search at the next poll, inside a pause or a read: no
// further byte goes out and the device is closed.
TEST_F(InstrumentDetectorTest, CancelStopsTheSearchAtOnce)
{
    struct CCase
    {
        int m_nCancelAtPoll;
        int m_nWrites; // written before the cancel
    };
    // Polls: one before each 100 ms of the 3000 ms pause and one after it
    // (31), the same for each 2002 ms read (22); a silent try polls 75 times.
    const CCase cases[] = {{1, 1}, {15, 1}, {40, 2}, {120, 5}};
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.m_nCancelAtPoll);
        CScriptedSerialDevice silent(&m_clock);
        m_progress = CRecordingProgress();
        m_progress.m_nCancelAtPoll = c.m_nCancelAtPoll;
        const CDetectResult result = Run(Settings(19200, 8, 0, 0), {{"/dev/silent", &silent}});
        EXPECT_EQ(result.m_outcome, CDetectResult::DETECT_CANCELLED);
        EXPECT_EQ(m_progress.m_nPolls, c.m_nCancelAtPoll);
        EXPECT_EQ(silent.m_writes.size(), c.m_nWrites);
        EXPECT_FALSE(silent.IsOpen());
        EXPECT_FALSE(m_progress.m_bVisible);
    }
}

// A device gets a port that reaches it: the current port, or the port of the
// profile that names it; else none, and a search that finds it there maps the
// current port to it (see tessaro-cli's detect --save and the settings dialog).
TEST_F(InstrumentDetectorTest, MapsThePortOnlyWhenNeeded)
{
    CProfile::WriteString(QStringLiteral("COM_DEVICES"), QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB7"));
    const CComSettings current = Settings(19200, 8, 0, 0, 2);
    for (const CCandidate& expected : {CCandidate{"/dev/ttyUSB7", 3}, {"/dev/ttyS1", 2}, {"/dev/ttyACM0", 0}})
        EXPECT_EQ(CInstrumentDetector::CandidateFor(current, expected.m_strPath), expected);
}

} // namespace
