#include "FuzzCheck.h"
#include "instrument/LineProbe.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "support/ScriptedSerialDevice.h"

// Pauses 3000 + 1000 ms, three replies of at most 2 * 2002 ms each, 50 ms for an LF.
constexpr qint64 kMaxTryMs = 4000 + 3 * 4004 + 50;

static QByteArray Take(FuzzedDataProvider& input)
{
    return QByteArray::fromStdString(input.ConsumeRandomLengthString(300));
}

// One try of the instrument search against a device that answers each write
// of the probe with bytes of the input and sends more whenever it likes: the
// try ends within its bounds, and only a name reply ending in CR counts as an
// answer, with CR or CR LF as end mark and a name from a single reply.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    CVirtualClock clock;
    CScopedServices services(&clock, nullptr, nullptr);
    CScriptedSerialDevice device(&clock);
    for (int i = 0; i < 4; ++i)
        device.Expect(QByteArray(), Take(input));
    qint64 at = 0;
    while (input.remaining_bytes() > 0) {
        at += input.ConsumeIntegralInRange<int>(0, 3000);
        const QByteArray bytes = Take(input);
        if (!bytes.isEmpty())
            device.FeedAt(at, bytes);
    }
    CLineProbe probe(device);
    const CLineProbe::EOutcome outcome = probe.Try(QStringLiteral("fuzz"), DetectPlan::CLineTry{9600, 8, 0, 0});
    Check(clock.Now() <= kMaxTryMs, "a try ends within its bounds");
    if (outcome != CLineProbe::PROBE_ANSWERED) {
        Check(outcome == CLineProbe::PROBE_NO_ANSWER, "a device that answers anything is no failure");
        Check(probe.m_strEndMark.isEmpty() && probe.m_strName.isEmpty(), "no end mark and no name without an answer");
        return 0;
    }
    Check(probe.m_strEndMark == QLatin1String("\r") || probe.m_strEndMark == QLatin1String("\r\n"), "CR or CR LF");
    Check(probe.m_strName.size() < CLineProbe::kMaxReply && !probe.m_strName.contains(QLatin1Char('\r')),
          "a name from one reply");
    return 0;
}
