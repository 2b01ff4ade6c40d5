// How close the instrument link comes to the time the protocol itself needs.
//
// Runs CComInstrument against instrument-sim, which emulates the line speed
// (10 bit times per byte, both directions), and compares the measured time
// of ListJobs (100 rows) and of Receive (1,000 lines of 60 characters) with
// the lower bound of an ideal client on the same line: its fixed pauses, the
// bytes it has to wait for, and the read time-outs that end a list or the
// data. Usage: instrument_bench [--sim PATH] [--baud N] [--runs N]

#include "instrument/ComInstrument.h"
#include "instrument/ComSettings.h"
#include "instrument/Protocol.h"
#include "platform/Services.h"
#include "support/ScriptedPrompt.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kJobs = 100;
constexpr int kLines = 1000;
constexpr int kLineLength = 60;
constexpr double kReadTimeoutMs = CComPort::kReadTimeoutMs;

QString JobName(int number)
{
    return QStringLiteral("JOB%1").arg(number, 3, 10, QLatin1Char('0'));
}

QString JobRow(int number)
{
    return QStringLiteral("%1,%2,%3,%4").arg(JobName(number)).arg(number).arg(number % 7).arg(number == 1 ? kLines : 2);
}

// 60 characters before the CR LF.
QString DataLine(int row)
{
    QString line = QStringLiteral("%1 E=2600000.000 N=1200000.000 H=400.000 C=").arg(row, 5, 10, QLatin1Char('0'));
    while (line.size() < kLineLength)
        line += QLatin1Char('A' + line.size() % 26);
    return line;
}

QByteArray State()
{
    QJsonArray jobs;
    for (int number = 1; number <= kJobs; ++number) {
        QJsonObject job{{"name", JobName(number)},
                        {"number", number},
                        {"fixpointBlocks", number % 7},
                        {"measurementBlocks", number == 1 ? kLines : 2}};
        if (number == 1) {
            QJsonArray lines;
            for (int row = 1; row <= kLines; ++row)
                lines.append(DataLine(row));
            job.insert("measurements", lines);
        }
        jobs.append(job);
    }
    const QJsonArray formats{QJsonObject{{"name", "TQS"}, {"number", 1}, {"first", 1}, {"second", 1}}};
    return QJsonDocument(QJsonObject{{"jobs", jobs}, {"formats", formats}}).toJson();
}

// Lower bound of ListJobs for an ideal client and instrument: the client
// waits for each pause or for the bytes it needs, whichever is longer; the
// end of the list (a bare "?", twice) is only known after two read time-outs.
double ListJobsBound(double byteMs, double& pausesMs, double& waitMs)
{
    pausesMs = 200 + 1000 + kJobs * 100.0;
    double t = 6 * byteMs; // "c" and its reply
    t += 200;
    t += std::max(1000.0, (15 + JobRow(1).size() + 2) * byteMs); // command, first row
    for (int number = 2; number <= kJobs; ++number)
        t += std::max(100.0, (3 + JobRow(number).size() + 2) * byteMs); // "?", next row
    t += std::max(100.0, 4 * byteMs) + kReadTimeoutMs;                  // "?", bare "?", time-out
    t += 4 * byteMs + kReadTimeoutMs;                                   // "?" again, bare "?", time-out
    waitMs = t - pausesMs;
    return t;
}

// Lower bound of Receive (format selection included): pauses, then one "?"
// and one data line per line with no pause between, then the silence.
double ReceiveBound(double byteMs, double& pausesMs, double& waitMs)
{
    pausesMs = 1000 + 1000 + 2000 + 2000;
    double t = 1000 + 1000;                       // "c" reply arrives during the pauses
    t += (12 + 4) * byteMs;                       // "FORM/SET/0", "OK"
    t += 2000 + 2000;                             // the command's reply arrives during the pause
    t += kLines * (3 + kLineLength + 2) * byteMs; // "?", data line
    t += 3 * byteMs + kReadTimeoutMs;             // last "?", silence
    waitMs = t - pausesMs;
    return t;
}

// The same data exchange with a bare POSIX client: what the pseudo-terminal
// and the simulator's line emulation cost by themselves, per line.
double RawExchangeOverheadMs(const QString& device, double byteMs)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    auto readLine = [fd]() {
        QByteArray line;
        while (!line.endsWith("\r\n")) {
            pollfd pfd{fd, POLLIN, 0};
            if (poll(&pfd, 1, 3000) <= 0)
                break;
            char buffer[256];
            const ssize_t count = ::read(fd, buffer, sizeof buffer);
            if (count <= 0)
                break;
            line.append(buffer, count);
        }
        return line;
    };
    (void)!::write(fd, "JOB/RCV/OBSERV/1\r\n", 18);
    readLine();
    QElapsedTimer timer;
    timer.start();
    int lines = 0;
    for (; lines < kLines; ++lines) {
        (void)!::write(fd, "?\r\n", 3);
        if (readLine().size() != kLineLength + 2)
            break;
    }
    const double elapsed = timer.nsecsElapsed() / 1e6;
    ::close(fd);
    if (lines != kLines)
        return -1;
    return elapsed / kLines - (3 + kLineLength + 2) * byteMs;
}

void Report(const char* what, const QList<double>& runs, double bound, double pauses, double wait)
{
    const double best = *std::min_element(runs.begin(), runs.end());
    double mean = 0;
    for (double run : runs)
        mean += run;
    mean /= runs.size();
    std::printf("%s\n", what);
    std::printf("  lower bound   %9.1f ms (pauses %.0f ms + waiting for bytes and time-outs %.1f ms)\n", bound, pauses,
                wait);
    std::printf("  measured      %9.1f ms best, %.1f ms mean of %lld runs\n", best, mean,
                static_cast<long long>(runs.size()));
    std::printf("  ratio         %9.4f best, %.4f mean (overhead %.2f %% / %.2f %%)\n", best / bound, mean / bound,
                (best / bound - 1) * 100, (mean / bound - 1) * 100);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString sim = QStringLiteral(INSTRUMENT_SIM);
    int baud = 19200;
    int runs = 2;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--sim"))
            sim = args[i + 1];
        else if (args[i] == QLatin1String("--baud"))
            baud = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
    }
    if (sim.isEmpty() || baud <= 0) {
        std::fprintf(stderr, "usage: instrument_bench [--sim PATH] [--baud N] [--runs N]\n");
        return 2;
    }

    QTemporaryDir dir;
    QFile state(dir.filePath("state.json"));
    if (!state.open(QIODevice::WriteOnly) || state.write(State()) < 0)
        return 1;
    state.close();

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(sim, {"--state", state.fileName(), "--baud", QString::number(baud)});
    if (!process.waitForStarted() || !process.waitForReadyRead(5000))
        return 1;
    const QString device = QString::fromLocal8Bit(process.readLine()).trimmed().mid(8);
    std::printf("instrument-sim on %s at %d bit/s (%.4f ms per byte)\n", qPrintable(device), baud, 10000.0 / baud);

    CScriptedPrompt prompt;
    CServices::SetPrompt(&prompt);
    CComPort::SetDeviceOverride(device);
    CComSettings settings;
    settings.BaudRate = baud;
    settings.ByteSize = 8;
    settings.EndMark = QStringLiteral("\r\n");
    settings.ComPort = 1;
    CComInstrument instrument;
    instrument.SetComSettings(settings);
    const double byteMs = 10000.0 / baud;

    int status = 0;
    QList<double> listRuns;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const bool ok = instrument.ListJobs();
        listRuns.append(timer.nsecsElapsed() / 1e6);
        if (!ok || instrument.m_jobs.size() != kJobs) {
            std::fprintf(stderr, "ListJobs failed (%lld rows)\n", static_cast<long long>(instrument.m_jobs.size()));
            status = 1;
        }
    }
    double pauses = 0, wait = 0;
    const double listBound = ListJobsBound(byteMs, pauses, wait);
    Report("ListJobs, 100 rows", listRuns, listBound, pauses, wait);

    if (!instrument.ListFormats())
        status = 1;
    QList<double> receiveRuns;
    for (int run = 0; run < runs; ++run) {
        prompt.PushDataDownload(true, QStringLiteral("bench.TQS"), 0);
        if (run > 0)
            prompt.PushButton(IDYES); // overwrite the file of the previous run
        QElapsedTimer timer;
        timer.start();
        const bool ok = instrument.Receive(dir.path(), 1, Protocol::KIND_MEASUREMENTS, 0);
        receiveRuns.append(timer.nsecsElapsed() / 1e6);
        if (!ok || QFileInfo(dir.filePath("bench.TQS")).size() != kLines * (kLineLength + 2)) {
            std::fprintf(stderr, "Receive failed\n");
            status = 1;
        }
    }
    const double receiveBound = ReceiveBound(byteMs, pauses, wait);
    Report("Receive, 1000 lines of 60 characters", receiveRuns, receiveBound, pauses, wait);
    const double floorMs = RawExchangeOverheadMs(device, byteMs);
    std::printf("Line exchange floor: a bare POSIX client on the same simulator spends %.3f ms per line\n"
                "  beyond the line time (%.1f ms over 1000 lines, %.2f %% of the Receive bound)\n",
                floorMs, floorMs * kLines, floorMs * kLines / receiveBound * 100);

    CServices::SetPrompt(nullptr);
    process.terminate();
    process.waitForFinished();
    return status;
}
