// Loopback benchmark of the SFTP client against OpenSSH's own sftp, both
// talking to the same sshd in the same run, alternating, best of --runs:
// a 1 GiB download and upload, and the listing of a folder with 20,000
// entries. Run by hand: bin/sftp_bench [--size MIB] [--entries N] [--runs N]
// [--block KIB] [--read-block KIB] (the bytes handed to libssh2 per write and
// per read) [--only download|upload|listing] (one step, for a profiler). Beside the
// wall time it shows the processor time of the client side: this process
// for tessaro, sftp and the ssh it runs for sftp (the sshd side is left out).
#include "RandomFile.h"
#include "SftpServerProcess.h"

#include "ftp/FtpListing.h"
#include "ftp/SftpClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <functional>
#include <random>

#include <sys/resource.h>

namespace {

// Processor seconds (user and system) of this process and of its children.
double ProcessorSeconds()
{
    double seconds = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        seconds +=
            usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return seconds;
}

// The processor seconds of the best run of each step, beside its wall time.
double g_processor[6] = {};

double Seconds(const std::function<bool()>& run, double* processor = nullptr)
{
    QElapsedTimer timer;
    const double before = ProcessorSeconds();
    timer.start();
    const bool done = run();
    const double wall = timer.nsecsElapsed() / 1e9;
    if (processor)
        *processor = ProcessorSeconds() - before;
    return done ? wall : -1;
}

// OpenSSH's sftp with one batch command, on the server and key of the run.
bool RunSftp(const CSftpServerProcess& server, const QString& command)
{
    QFile batch(server.m_dir.filePath(QStringLiteral("batch")));
    if (!batch.open(QIODevice::WriteOnly) || batch.write(command.toLocal8Bit() + '\n') < 0)
        return false;
    batch.close();
    QProcess sftp;
    sftp.setStandardOutputFile(QProcess::nullDevice());
    sftp.start(QStringLiteral("sftp"),
               {"-q", "-b", batch.fileName(), "-P", QString::number(server.m_nPort), "-i",
                server.m_strHome + QStringLiteral("/.ssh/id_ed25519"), "-o", "StrictHostKeyChecking=accept-new", "-o",
                "UserKnownHostsFile=" + server.m_strHome + QStringLiteral("/.ssh/known_hosts"), "-o", "BatchMode=yes",
                server.m_strUser + QStringLiteral("@127.0.0.1")});
    if (!sftp.waitForFinished(-1) || sftp.exitCode() != 0) {
        std::fprintf(stderr, "sftp failed: %s\n", sftp.readAllStandardError().constData());
        return false;
    }
    return true;
}

void Report(const char* what, double ours, double theirs, qint64 bytes, const double* processor = nullptr)
{
    if (bytes > 0)
        std::printf("%-10s tessaro %7.3f s %8.1f MiB/s (cpu %.2f s)   sftp+ssh %7.3f s %8.1f MiB/s (cpu %.2f s)   "
                    "ratio %.2f (speed)\n",
                    what, ours, bytes / 1048576.0 / ours, processor[0], theirs, bytes / 1048576.0 / theirs,
                    processor[1], theirs / ours);
    else
        std::printf("%-10s tessaro %7.3f s   sftp %7.3f s   ratio %.2f (time)\n", what, ours, theirs, ours / theirs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const char* name, int fallback) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at > 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
    };
    const qint64 size = qint64(option("--size", 1024)) * 1024 * 1024;
    const int entries = option("--entries", 20000);
    const int runs = option("--runs", 3);
    const int block = option("--block", CSftpClient::kSftpBlockSize / 1024) * 1024;
    const int readBlock = option("--read-block", CSftpClient::kSftpReadBlockSize / 1024) * 1024;
    const qsizetype onlyAt = args.indexOf(QLatin1String("--only"));
    const QString only = onlyAt > 0 && onlyAt + 1 < args.size() ? args[onlyAt + 1] : QString();
    const auto runsStep = [&](const char* step) { return only.isEmpty() || only == QLatin1String(step); };

    CSftpServerProcess server;
    if (!server.Start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.m_strProblem));
        return 1;
    }
    qputenv("HOME", server.m_strHome.toLocal8Bit());
    qunsetenv("SSH_AUTH_SOCK");
    const QString local = server.m_dir.filePath(QStringLiteral("local"));
    QDir().mkpath(local);
    const QString source = local + QStringLiteral("/source");
    if (!MakeRandomFile(source, size, 7) || !QFile::copy(source, server.m_strRoot + QStringLiteral("/big")))
        return 1;
    const QString folder = server.m_strRoot + QStringLiteral("/many");
    QDir().mkpath(folder);
    for (int i = 0; i < entries; ++i)
        QFile(folder + QStringLiteral("/entry-%1.dat").arg(i, 6, 10, QLatin1Char('0'))).open(QIODevice::WriteOnly);

    CSftpClient client;
    client.m_nSftpBlockSize = block;
    client.m_nSftpReadBlockSize = readBlock;
    client.m_strTrustedFingerprint = CSftpServerProcess::Fingerprint(server.m_strHostKey + QStringLiteral(".pub"));
    if (!client.LogOn(QStringLiteral("127.0.0.1"), server.m_nPort, server.m_strUser, QString(), {}, {}, {}, {}, 0, 0)) {
        std::fprintf(stderr, "logon: %s\n", qPrintable(client.m_strReply));
        return 1;
    }
    double best[6] = {1e9, 1e9, 1e9, 1e9, 1e9, 1e9};
    double processor = 0;
    bool failed = false;
    const auto keep = [&](int index, double seconds) {
        if (seconds < 0) {
            std::fprintf(stderr, "step %d failed: %s\n", index, index % 2 ? "sftp" : qPrintable(client.m_strReply));
            failed = true;
        }
        if (seconds >= 0 && seconds < best[index])
            g_processor[index] = processor;
        if (seconds >= 0)
            best[index] = qMin(best[index], seconds);
    };
    for (int run = 0; run < runs; ++run) {
        if (runsStep("download")) {
            keep(0,
                 Seconds([&] { return client.TransferFile("/big", local + QStringLiteral("/down"), false, true); },
                         &processor));
            keep(1,
                 Seconds([&] { return RunSftp(server, QStringLiteral("get big %1/down2").arg(local)); }, &processor));
        }
        if (runsStep("upload")) {
            keep(2, Seconds([&] { return client.TransferFile("/up", source, false, false); }, &processor));
            keep(3, Seconds([&] { return RunSftp(server, QStringLiteral("put %1 up2").arg(source)); }, &processor));
        }
        if (!runsStep("listing"))
            continue;
        QList<CFtpListEntry> listed;
        keep(4, Seconds([&] { return client.ListEntries("many", listed) && listed.size() == entries; }));
        // The logon of each sftp run is timed apart and taken off its listing.
        const double logon = Seconds([&] { return RunSftp(server, QStringLiteral("pwd")); });
        const double listing = Seconds([&] { return RunSftp(server, QStringLiteral("ls -l many")); });
        keep(5, logon < 0 || listing < 0 ? -1 : qMax(listing - logon, 1e-6));
        // Returning, not exiting, stops the server with its object.
        if (failed)
            return 1;
    }
    std::printf("read block %d KiB, block %d KiB, %lld MiB, %d entries, best of %d\n", readBlock / 1024, block / 1024,
                size / 1048576, entries, runs);
    if (runsStep("download"))
        Report("download", best[0], best[1], size, g_processor);
    if (runsStep("upload"))
        Report("upload", best[2], best[3], size, g_processor + 2);
    if (runsStep("listing"))
        Report("listing", best[4], best[5], 0);
    return 0;
}
