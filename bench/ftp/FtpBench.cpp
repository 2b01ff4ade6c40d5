// Loopback benchmark of the FTP client against curl, both talking to the same
// real server in the same run: 1 GiB download and upload (passive and
// active), and the listing of a folder with 50,000 entries. With --tls both
// use FTP over TLS (curl --ssl-reqd -k) against a certificate made for the run.
#include "RandomFile.h"
#include "TestCertificates.h"
#include "UnpackedFtpServerProcess.h"

#include "dialogs/TransferProgress.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpListing.h"
#include "platform/Clock.h"
#include "platform/Services.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <climits>
#include <cstdio>
#include <random>

#include <sys/resource.h>

namespace {

// By CFtpServerProcess::EKind.
const QStringList kServerNames{QStringLiteral("pyftpdlib"), QStringLiteral("vsftpd"), QStringLiteral("proftpd"),
                               QStringLiteral("pure-ftpd")};

double RunTool(const QString& program, const QStringList& args)
{
    QElapsedTimer timer;
    timer.start();
    QProcess tool;
    tool.start(program, args);
    if (!tool.waitForFinished(-1) || tool.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), tool.readAllStandardError().constData());
        return -1;
    }
    return timer.nsecsElapsed() / 1e9;
}

double RunCurl(const QStringList& args)
{
    return RunTool(QStringLiteral("curl"), args);
}

// curl 7.88 fails TLS uploads to pyftpdlib (it resets the data connection);
// lftp, in passive mode, is the yardstick there.
double RunLftpUpload(const CFtpServerProcess& server, bool tls, const QString& source, const QString& remote)
{
    const QString settings = tls ? QStringLiteral("set ftp:ssl-force yes; set ftp:ssl-protect-data yes; "
                                                  "set ssl:verify-certificate no; ")
                                 : QString();
    return RunTool(QStringLiteral("lftp"),
                   {QStringLiteral("-c"),
                    settings
                        + QStringLiteral("set ftp:passive-mode yes; open -u '%1','%2' -p %3 "
                                         "127.0.0.1; put '%4' -o '%5'")
                              .arg(server.m_strUser, server.m_strPassword)
                              .arg(server.m_nPort)
                              .arg(source, remote)});
}

bool SameFiles(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    }
    return true;
}

// Processor time of this process (RUSAGE_SELF) or of its finished children
// (RUSAGE_CHILDREN: curl), in seconds.
double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Minor page faults of this process so far: memory taken from the system
// and given back again shows here.
long MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The best wall time and the least processor time of several runs; the
// processor time says what the machine's other load cannot.
struct CFigure
{
    double m_dWall = 1e9;
    double m_dCpu = 1e9;
    QString m_strRuns; // every run's wall time: the spread
    void Take(double wall, double cpu)
    {
        m_dWall = qMin(m_dWall, wall);
        m_dCpu = qMin(m_dCpu, cpu);
        m_strRuns += QString::number(wall, 'f', 2) + QLatin1Char(' ');
    }
    bool IsSet() const { return m_dWall < 1e9; }
};

void Report(const char* what, qint64 bytes, const CFigure& ours, const CFigure& curl, const char* yardstick = "curl")
{
    const double mb = bytes / 1e6;
    std::printf("%-26s tessaro %6.1f MB/s (%5.2f s, cpu %5.2f s)", what, mb / ours.m_dWall, ours.m_dWall, ours.m_dCpu);
    if (curl.IsSet()) {
        std::printf("   %s %6.1f MB/s (%5.2f s, cpu %5.2f s)   ratio %.2f\n", yardstick, mb / curl.m_dWall,
                    curl.m_dWall, curl.m_dCpu, curl.m_dWall / ours.m_dWall);
        std::printf("  runs (s): tessaro %s  %s %s\n", qPrintable(ours.m_strRuns), yardstick,
                    qPrintable(curl.m_strRuns));
    } else {
        std::printf("   %s n/a\n", yardstick);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    // The real Transfer window, offscreen unless a display is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    qint64 sizeMiB = 1024;
    int entries = 50000;
    int runs = 3;
    int blockKiB = CFtpClient::kBlockSize / 1024;
    CFtpServerProcess::EKind kind = CFtpServerProcess::Vsftpd;
    QString unpacked = QStringLiteral("/tmp/tessaro-ftp-servers");
    const bool tls = args.contains(QStringLiteral("--tls"));
    // Only the passive uploads, from the server's own copy of the file.
    const bool uploadsOnly = args.contains(QStringLiteral("--uploads-only"));
    // lftp instead of curl as the yardstick of passive uploads.
    const bool lftp = args.contains(QStringLiteral("--lftp"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--size"))
            sizeMiB = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--entries"))
            entries = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--block"))
            blockKiB = qBound(1, args[i + 1].toInt(), 16 * 1024);
        else if (args[i] == QLatin1String("--runs"))
            runs = qMax(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--server"))
            kind = static_cast<CFtpServerProcess::EKind>(qMax(0, kServerNames.indexOf(args[i + 1])));
        else if (args[i] == QLatin1String("--unpacked"))
            unpacked = args[i + 1];
    }
    CUnpackedFtpServerProcess server(kind);
    server.m_strUnpacked = unpacked;
    QTemporaryDir certificates;
    CTestCertificate certificate;
    if (tls) {
        QString problem;
        if (!MakeSelfSignedCertificate(certificates.path(), QStringLiteral("bench"), certificate, problem)) {
            std::fprintf(stderr, "no certificate: %s\n", qPrintable(problem));
            return 1;
        }
        server.m_strCertificate = certificate.m_strCertificate;
        server.m_strKey = certificate.m_strKey;
    }
    if (!server.Start()) {
        std::fprintf(stderr, "the server did not start: %s\n", qPrintable(server.m_strProblem));
        return 1;
    }
    std::printf("server: %s%s on 127.0.0.1:%d, file %lld MiB, blocks of %d KiB, listing %d entries, best of %d runs, "
                "files in %s\n",
                qPrintable(kServerNames[kind]), tls ? " over TLS" : "", server.m_nPort, static_cast<long long>(sizeMiB),
                blockKiB, entries, runs, qPrintable(QDir::tempPath()));

    CTransferProgress progress;
    progress.Create(nullptr);
    CServices::SetProgress(&progress);
    const qint64 size = sizeMiB * 1024 * 1024;
    const QString big = server.m_strRoot + QStringLiteral("/big.bin");
    if (!MakeRandomFile(big, size, 7))
        return 1;
    QFile::setPermissions(big, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    const QString local =
        QDir::temp().filePath(QStringLiteral("tessaro-ftp-bench-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(local);
    const QString url = QStringLiteral("ftp://%1:%2@127.0.0.1:%3%4/")
                            .arg(QString::fromLatin1(QUrl::toPercentEncoding(server.m_strUser)),
                                 QString::fromLatin1(QUrl::toPercentEncoding(server.m_strPassword)))
                            .arg(server.m_nPort)
                            .arg(server.m_strRemoteBase);

    CFtpClient client;
    client.m_nBlockSize = blockKiB * 1024;
    QStringList curlTls;
    if (tls) {
        client.m_eEncryption = FTP_TLS_REQUIRE;
        client.m_strTrustedFingerprint = certificate.m_strFingerprint;
        client.m_bMayAskTrust = false;
        curlTls = QStringList{QStringLiteral("--ssl-reqd"), QStringLiteral("-k")};
    }
    if (!client.LogOn(QStringLiteral("127.0.0.1"), server.m_nPort, server.m_strUser, server.m_strPassword, QString(),
                      QString(), QString(), QString(), 0, 0)) {
        std::fprintf(stderr, "logon failed: %s\n", qPrintable(client.m_strReply));
        return 1;
    }
    const QString remoteBig = server.m_strRemoteBase + QStringLiteral("/big.bin");
    // Each figure is the best of several runs: the machine is shared.
    for (bool passive : {true, false}) {
        const QString target = local + QStringLiteral("/down.bin");
        const QString curlTarget = local + QStringLiteral("/curl.bin");
        const QString up = server.m_strRemoteBase + QStringLiteral("/up.bin");
        // curl 7.88 accepts an active-mode data connection over TLS and
        // then waits for ever; there it is left out.
        const bool withCurl = !tls || passive;
        QStringList mode = curlTls;
        if (!passive)
            mode << QStringLiteral("--ftp-port") << QStringLiteral("127.0.0.1");
        CFigure ours, curl, oursUp, curlUp;
        long upFaults = LONG_MAX;
        bool same = true;
        const QString source = uploadsOnly ? big : target;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            double cpu = CpuSeconds(RUSAGE_SELF);
            if (!uploadsOnly && !client.TransferFile(remoteBig, target, passive, true)) {
                std::fprintf(stderr, "download failed: %s\n", qPrintable(client.m_strReply));
                return 1;
            }
            ours.Take(timer.nsecsElapsed() / 1e9, CpuSeconds(RUSAGE_SELF) - cpu);
            if (withCurl && !uploadsOnly) {
                cpu = CpuSeconds(RUSAGE_CHILDREN);
                const double wall = RunCurl(mode
                                            + QStringList{QStringLiteral("-s"), QStringLiteral("-o"), curlTarget,
                                                          url + QStringLiteral("big.bin")});
                curl.Take(wall, CpuSeconds(RUSAGE_CHILDREN) - cpu);
                same = same && SameFiles(curlTarget, big);
            }
            same = same && (uploadsOnly || SameFiles(target, big));

            timer.restart();
            cpu = CpuSeconds(RUSAGE_SELF);
            const long faults = MinorFaults();
            if (!client.TransferFile(up, source, passive, false)) {
                std::fprintf(stderr, "upload failed: %s\n", qPrintable(client.m_strReply));
                return 1;
            }
            oursUp.Take(timer.nsecsElapsed() / 1e9, CpuSeconds(RUSAGE_SELF) - cpu);
            upFaults = qMin(upFaults, MinorFaults() - faults);
            same = same && SameFiles(server.m_strRoot + QStringLiteral("/up.bin"), big);
            if (passive && lftp) {
                cpu = CpuSeconds(RUSAGE_CHILDREN);
                const double wall = RunLftpUpload(server, tls, source, server.m_strRemoteBase + "/curl-up.bin");
                curlUp.Take(wall, CpuSeconds(RUSAGE_CHILDREN) - cpu);
            } else if (withCurl) {
                cpu = CpuSeconds(RUSAGE_CHILDREN);
                const double wall = RunCurl(mode
                                            + QStringList{QStringLiteral("-s"), QStringLiteral("-T"), source,
                                                          url + QStringLiteral("curl-up.bin")});
                curlUp.Take(wall, CpuSeconds(RUSAGE_CHILDREN) - cpu);
            }
            QFile::remove(server.m_strRoot + QStringLiteral("/up.bin"));
            QFile::remove(server.m_strRoot + QStringLiteral("/curl-up.bin"));
        }
        if (!uploadsOnly)
            Report(passive ? "download, passive (EPSV)" : "download, active (PORT)", size, ours, curl);
        Report(passive ? "upload, passive (EPSV)" : "upload, active (PORT)", size, oursUp, curlUp,
               passive && lftp ? "lftp" : "curl");
        std::printf("  upload: %ld minor page faults (fewest of the runs)\n", upFaults);
        if (!same)
            std::printf("  files differ!\n");
        QFile::remove(target);
        QFile::remove(curlTarget);
        if (uploadsOnly)
            break;
    }
    QFile::remove(big);
    if (uploadsOnly) {
        QDir(local).removeRecursively();
        return 0;
    }

    // Listing: 50,000 names with spaces in one folder.
    const QString many = server.m_strRoot + QStringLiteral("/many");
    QDir().mkpath(many);
    for (int i = 0; i < entries; ++i) {
        QFile file(many + QStringLiteral("/file number %1.txt").arg(i, 6, 10, QLatin1Char('0')));
        file.open(QIODevice::WriteOnly);
    }
    const QString manyRemote = (server.m_strRemoteBase + QStringLiteral("/many")).mid(1);
    client.m_bPassive = true;
    for (bool realPauses : {true, false}) {
        CVirtualClock virtualClock;
        CServices::SetClock(realPauses ? nullptr : &virtualClock);
        QElapsedTimer timer;
        timer.start();
        client.ReadRemoteFolder(manyRemote);
        const double ours = timer.nsecsElapsed() / 1e9;
        std::printf("listing %d entries, passive: tessaro %.3f s to the parsed arrays (%s), %lld files\n", entries,
                    ours, realPauses ? "with the fixed pauses" : "pauses skipped",
                    static_cast<long long>(client.m_aRemoteFiles.size()));
    }
    CServices::SetClock(nullptr);
    const double curlList =
        RunCurl(curlTls
                + QStringList{QStringLiteral("-s"), QStringLiteral("--list-only"), QStringLiteral("-o"),
                              QStringLiteral("/dev/null"), url + QStringLiteral("many/")});
    const double curlLongList = RunCurl(curlTls
                                        + QStringList{QStringLiteral("-s"), QStringLiteral("-o"),
                                                      QStringLiteral("/dev/null"), url + QStringLiteral("many/")});
    std::printf("listing %d entries: curl --list-only (NLST) %.3f s, curl LIST %.3f s\n", entries, curlList,
                curlLongList);

    QByteArray listing;
    client.Command(QStringLiteral("CWD /") + manyRemote);
    CVirtualClock virtualClock;
    CServices::SetClock(&virtualClock);
    client.ListFolder(listing);
    QElapsedTimer parse;
    parse.start();
    const auto parsed = ParseFtpListing(listing);
    std::printf("parse only: %lld bytes, %lld entries in %.3f s\n", static_cast<long long>(listing.size()),
                static_cast<long long>(parsed.size()), parse.nsecsElapsed() / 1e9);
    CServices::SetClock(nullptr);

    client.LogOff();
    QDir(local).removeRecursively();
    QDir(many).removeRecursively();
    CServices::SetProgress(nullptr);
    return 0;
}
