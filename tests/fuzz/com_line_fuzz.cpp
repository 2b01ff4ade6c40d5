#include "FuzzCheck.h"
#include "instrument/ComPort.h"
#include "platform/Bytes.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "support/ScriptedSerialDevice.h"

constexpr qsizetype kMaxStream = 12 * 1024;
constexpr int kMaxChunks = 512;

// Whether the byte at k of the stream ends a line. carried: the line before
// was cut just after a CR, so an LF first thing completes that CR LF.
static bool EndsLine(const QByteArray& stream, qsizetype k, qsizetype lineStart, bool crLf, bool carried)
{
    if (!crLf)
        return stream.at(k) == '\r';
    if (stream.at(k) != '\n')
        return false;
    return k > lineStart ? stream.at(k - 1) == '\r' : carried;
}

// Lines read by the serial port from an instrument that sends runs of bytes,
// some late, with either end mark: each line ends at its end mark, a bound or
// a time-out; the lines are the bytes sent; and a read ends in time.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    [[maybe_unused]] static const bool overridden = (CComPort::SetDeviceOverride(QStringLiteral("fuzz")), true);
    FuzzedDataProvider input(data, size);
    CVirtualClock clock;
    CScopedServices services(&clock, nullptr, nullptr);
    CScriptedSerialDevice device(&clock);
    CComPort port;
    const bool crLf = input.ConsumeBool();
    port.EndMark = crLf ? QStringLiteral("\r\n") : QStringLiteral("\r");
    port.SetDevice(&device);
    Check(port.Open(), "the scripted port opens");
    // Runs of a short pattern, each some time after the one before: at once,
    // or trickling one pattern every periodMs.
    QByteArray stream;
    qint64 at = 0;
    int chunks = 0;
    while (input.remaining_bytes() > 0 && stream.size() < kMaxStream) {
        at += input.ConsumeIntegralInRange<int>(0, 5000);
        const int periodMs = chunks < kMaxChunks ? input.ConsumeIntegralInRange<int>(0, 2500) : 0;
        const int repeats = input.ConsumeIntegralInRange<int>(1, periodMs ? 64 : 6000);
        const QByteArray pattern =
            QByteArray::fromStdString(input.ConsumeBytesAsString(input.ConsumeIntegralInRange<int>(1, 3)));
        if (pattern.isEmpty())
            break; // the input has run out
        for (int i = 0; i < (periodMs ? repeats : 1) && stream.size() < kMaxStream; ++i, at += periodMs) {
            const QByteArray chunk = (periodMs ? pattern : pattern.repeated(repeats)).left(kMaxStream - stream.size());
            device.FeedAt(at, chunk);
            stream += chunk;
            ++chunks;
        }
    }

    qsizetype consumed = 0;
    bool carried = false;
    for (int reads = 0;; ++reads) {
        Check(reads <= stream.size() + 4 * chunks + 4, "every read makes progress");
        const qint64 start = clock.Now();
        const QString line = port.ReadLine();
        Check(clock.Now() - start <= CComPort::kMaxLineTimeMs + CComPort::kReadTimeoutMs, "a read ends in time");
        Check(line.size() <= CComPort::kMaxLineLength, "a line stays within its bound");
        Check(ToBytes(line) == stream.mid(consumed, line.size()), "lines are the bytes sent, none lost or added");
        for (qsizetype k = consumed; k + 1 < consumed + line.size(); ++k)
            Check(!EndsLine(stream, k, consumed, crLf, carried), "a line ends at its first end mark");
        if (!port.m_bTimedOut && !port.m_bLineCut)
            Check(!line.isEmpty() && EndsLine(stream, consumed + line.size() - 1, consumed, crLf, carried),
                  "a complete line ends with its end mark");
        if (port.m_bLineCut)
            Check(line.size() == CComPort::kMaxLineLength || clock.Now() - start >= CComPort::kMaxLineTimeMs,
                  "a line is cut only at a bound");
        carried = port.m_bLineCut && line.endsWith(QLatin1Char('\r'));
        consumed += line.size();
        if (port.m_bTimedOut && consumed == stream.size() && line.isEmpty())
            break;
    }
    return 0;
}
