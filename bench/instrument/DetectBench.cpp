// How close the instrument search comes to the time the protocol itself
// needs: instrument-sim hears the handheld only at one combination of line
// settings (by default the last one the search tries) and emulates that
// line's speed; the search runs with the Qt serial device and the real clock.
//
// The bound is the sum of the protocol's own waits for the tries made: a
// silent try wakes (3000 ms) and waits out the replies to both "c" (2 x 2002
// ms); the answered one wakes, pauses 1000 ms before the name request, waits
// for its bytes on the emulated line and, with the end mark CR, 50 ms for an
// LF. Tries whose settings the device refuses wait for nothing, or for the
// wake-up pause when the refusal comes at the second open (a pseudo-terminal
// takes no 7 data bits, and even parity depending on its former state).
//
// Usage: detect_bench [--sim PATH] [--target BAUD,FRAMING] [--end-mark crlf|cr]

#include "instrument/ComPort.h"
#include "instrument/InstrumentDetector.h"
#include "instrument/LineProbe.h"
#include "platform/QtSerialDevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>

using DetectPlan::CLineTry;

namespace {

// The Qt serial device, counting what the search asks of it.
class CCountingDevice : public CQtSerialDevice
{
public:
    bool WriteLineState(const CSerialLineState& state) override
    {
        const bool ok = CQtSerialDevice::WriteLineState(state);
        m_nRefused += ok ? 0 : 1;
        return ok;
    }
    bool Write(const QByteArray& bytes, int timeoutMs) override
    {
        m_nWakes += bytes == "a\r\n" ? 1 : 0;
        m_nCalls += bytes == "c\r\n" ? 1 : 0;
        return CQtSerialDevice::Write(bytes, timeoutMs);
    }

    int m_nRefused = 0; // opens whose settings the device refused
    int m_nWakes = 0;   // tries that went on the line
    int m_nCalls = 0;   // "c" sent, two per try that got past the wake-up pause
};

int Usage()
{
    std::fprintf(stderr, "usage: detect_bench [--sim PATH] [--target BAUD,FRAMING] [--end-mark crlf|cr]\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString sim = QStringLiteral(INSTRUMENT_SIM);
    CComSettings current; // the profile's defaults: 19200 bit/s, 8N1, COM1, CR LF
    current.BaudRate = 19200;
    current.ByteSize = 8;
    current.ComPort = 1;
    current.EndMark = QStringLiteral("\r\n");
    const QList<CLineTry> order = DetectPlan::LineOrder(current);
    CLineTry target = order.last();
    bool crOnly = false;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--sim")) {
            sim = args[i + 1];
        } else if (args[i] == QLatin1String("--end-mark")) {
            crOnly = args[i + 1] == QLatin1String("cr");
        } else if (args[i] == QLatin1String("--target")) {
            const QString text = args[i + 1];
            const auto found = std::find_if(order.begin(), order.end(), [&text](const CLineTry& line) {
                return QStringLiteral("%1,%2").arg(line.BaudRate).arg(DetectPlan::FramingText(line)) == text;
            });
            if (found == order.end())
                return Usage();
            target = *found;
        } else {
            return Usage();
        }
    }
    if (args.size() % 2 != 0)
        return Usage();

    const QString framing = DetectPlan::FramingText(target);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(sim,
                  {"--line-settings", QStringLiteral("%1,%2").arg(target.BaudRate).arg(framing), "--baud",
                   QString::number(target.BaudRate), "--end-mark", crOnly ? "cr" : "crlf", "--name", "SIM-7"});
    if (!process.waitForStarted() || !process.waitForReadyRead(5000))
        return 1;
    const QString device = QString::fromLocal8Bit(process.readLine()).trimmed().mid(8);
    std::printf("instrument-sim on %s at %d bit/s %s, end mark %s; try %lld of %lld\n", qPrintable(device),
                target.BaudRate, qPrintable(framing), crOnly ? "CR" : "CRLF",
                static_cast<long long>(order.indexOf(target) + 1), static_cast<long long>(order.size()));

    CCountingDevice counting;
    CInstrumentDetector detector;
    detector.SetDeviceFactory([&counting](const QString&) { return &counting; });
    QElapsedTimer timer;
    timer.start();
    const CDetectResult result = detector.Run(current, device);
    const double measured = timer.nsecsElapsed() / 1e6;
    process.terminate();
    process.waitForFinished(5000);
    if (result.m_outcome != CDetectResult::DETECT_FOUND) {
        std::fprintf(stderr, "the search did not find the simulator\n");
        return 1;
    }

    // The answered try's bytes on the emulated line: "c" and "?" twice, the
    // name request and its reply, each reply with its end mark.
    const double byteMs = 10000.0 / target.BaudRate;
    const int mark = crOnly ? 1 : 2;
    const int bytes = 2 * (3 + 1 + mark) + 12 + QByteArray("%R1P,0,0:0,\"SIM-7\"").size() + mark;
    const double answered = 3000 + 1000 + bytes * byteMs + (crOnly ? CLineProbe::kLineFeedWaitMs : 0);
    const int silent = counting.m_nCalls / 2 - 1;
    const int wakeOnly = counting.m_nWakes - 1 - silent;
    const double silentMs = 3000 + 2.0 * CComPort::kReadTimeoutMs;
    const double bound = silent * silentMs + wakeOnly * 3000.0 + answered;
    std::printf("found %s at %s, end mark %s\n", qPrintable(result.m_strName),
                qPrintable(CInstrumentDetector::Describe(result.m_settings)),
                result.m_settings.EndMark == QLatin1String("\r\n") ? "CRLF" : "CR");
    std::printf("tries         %9d (%d silent, %d refused after the wake-up, 1 answered; %d refusals)\n",
                result.m_nTries, silent, wakeOnly, counting.m_nRefused);
    std::printf("bound         %9.1f ms (%d x %.0f ms silent + %d x 3000 ms + %.1f ms answered)\n", bound, silent,
                silentMs, wakeOnly, answered);
    std::printf("measured      %9.1f ms\n", measured);
    std::printf("ratio         %9.4f (overhead %.2f %%)\n", measured / bound, (measured / bound - 1) * 100);
    return 0;
}
