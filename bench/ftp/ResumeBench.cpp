// What an interrupted transfer costs: a download and an upload through the
// fault proxy (tests/support/fault-proxy.py) without cuts and with N cuts
// spread over the file, best of --runs each, with the real clock, so that
// each cut's 1 s pause counts. The cost of a cut is the difference over N;
// a restart of the file would show as a multiple of the whole time.
#include "FaultProxyProcess.h"
#include "FtpServerProcess.h"
#include "RandomFile.h"

#include "ftp/FtpClient.h"
#include "ftp/FtpSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

struct CBenchOptions
{
    qint64 m_nSize = 512 * kMiB;
    int m_nCuts = 2;
    int m_nRuns = 2;
    bool m_bTls = false;
    CFtpServerProcess::EKind m_kind = CFtpServerProcess::Pyftpdlib;
};

// Best seconds of a get and of a put through a proxy that cuts `cuts` times
// per file; -1 when a transfer failed.
bool Measure(const CBenchOptions& options, int cuts, double& bestGet, double& bestPut)
{
    CFaultProxyProcess proxy;
    proxy.m_nCutEvery = cuts > 0 ? options.m_nSize / (cuts + 1) : 0;
    CFtpServerProcess server(options.m_kind);
    CTestCertificate certificate;
    if (!proxy.Start())
        return std::fprintf(stderr, "%s\n", qPrintable(proxy.m_strProblem)), false;
    server.m_nPassiveLow = proxy.m_nDataLow;
    server.m_nPassiveHigh = proxy.m_nDataHigh;
    if (!(options.m_bTls ? server.StartWithTls(certificate) : server.Start()) || !proxy.ListenControl(server.m_nPort))
        return std::fprintf(stderr, "%s %s\n", qPrintable(server.m_strProblem), qPrintable(proxy.m_strProblem)), false;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    if (!MakeRandomFile(source, options.m_nSize, 11))
        return false;
    CFtpSession session;
    session.SetLogon(server.SessionLogon(proxy.m_strHost, options.m_bTls, certificate.m_strFingerprint));
    session.Client().m_bPassive = true;
    const QString remote = server.m_strRemoteBase + QStringLiteral("/big.bin");
    bestGet = bestPut = 1e9;
    for (int run = 0; run < options.m_nRuns; ++run) {
        for (const bool download : {false, true}) {
            QElapsedTimer timer;
            timer.start();
            const QString local = download ? dir.filePath(QStringLiteral("back.bin")) : source;
            if (!session.Run([&](CFtpClient& client) { return client.TransferFile(remote, local, true, download); },
                             CFtpSession::NEVER_REPEAT)) {
                std::fprintf(stderr, "%s failed: %s\n", download ? "get" : "put",
                             qPrintable(session.Client().m_strReply));
                return false;
            }
            double& best = download ? bestGet : bestPut;
            best = qMin(best, timer.nsecsElapsed() / 1e9);
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CBenchOptions options;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const QString value = args.value(i + 1);
        if (arg == QLatin1String("--size"))
            options.m_nSize = value.toLongLong() * kMiB, ++i;
        else if (arg == QLatin1String("--cuts"))
            options.m_nCuts = value.toInt(), ++i;
        else if (arg == QLatin1String("--runs"))
            options.m_nRuns = qMax(1, value.toInt()), ++i;
        else if (arg == QLatin1String("--tls"))
            options.m_bTls = true;
        else if (arg == QLatin1String("--server"))
            options.m_kind =
                value == QLatin1String("vsftpd") ? CFtpServerProcess::Vsftpd : CFtpServerProcess::Pyftpdlib,
            ++i;
    }
    double get0 = 0, put0 = 0, getN = 0, putN = 0;
    if (!Measure(options, 0, get0, put0) || !Measure(options, options.m_nCuts, getN, putN))
        return 1;
    std::printf("%lld MiB through the proxy, best of %d%s\n", options.m_nSize / kMiB, options.m_nRuns,
                options.m_bTls ? ", TLS" : "");
    std::printf("         no cut    %d cuts   per cut (of which 1 s pause)\n", options.m_nCuts);
    const int cuts = qMax(1, options.m_nCuts);
    std::printf("get   %8.2f s %8.2f s %8.2f s\n", get0, getN, (getN - get0) / cuts);
    std::printf("put   %8.2f s %8.2f s %8.2f s\n", put0, putN, (putN - put0) / cuts);
    return 0;
}
