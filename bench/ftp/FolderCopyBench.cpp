// Folder copies of tessaro-cli against lftp's mirror, both talking to the same
// pyftpdlib server on loopback in passive mode: many small files in four
// folders, and a few large files, each way. The two programs take turns in
// each run, so that the load of the machine falls on both; the best of the
// runs counts.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <random>

namespace {

struct CTree
{
    int m_nFiles;
    qint64 m_nFileSize;
};

bool MakeTree(const QString& folder, const CTree& tree)
{
    std::mt19937_64 generator(11);
    QByteArray block(static_cast<qsizetype>(qMin<qint64>(tree.m_nFileSize, 1 << 20)), Qt::Uninitialized);
    for (int i = 0; i < tree.m_nFiles; ++i) {
        // Four folders, as a survey job's data would be spread.
        const QString sub = folder + QStringLiteral("/part%1").arg(tree.m_nFiles >= 4 ? i % 4 : 0);
        QDir().mkpath(sub);
        QFile file(sub + QStringLiteral("/file%1.bin").arg(i, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        for (qint64 done = 0; done < tree.m_nFileSize; done += block.size()) {
            for (qsizetype b = 0; b + 8 <= block.size(); b += 8)
                *reinterpret_cast<quint64*>(block.data() + b) = generator();
            if (file.write(block.constData(), qMin<qint64>(block.size(), tree.m_nFileSize - done)) < 0)
                return false;
        }
    }
    return true;
}

// Files and bytes below a folder: what a copy has to match.
QPair<int, qint64> Count(const QString& folder)
{
    QPair<int, qint64> count{0, 0};
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        it.next();
        ++count.first;
        count.second += it.fileInfo().size();
    }
    return count;
}

// Seconds the program took, -1 when it failed.
double Time(const QString& program, const QStringList& args)
{
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed (%d)\n", qPrintable(program), process.exitCode());
        return -1;
    }
    return timer.nsecsElapsed() / 1e9;
}

// "python3 -m pyftpdlib" on a free port of 127.0.0.1, its log thrown away
// (a full pipe would stop it); 0 when it did not start.
int StartServer(QProcess& server, const QString& root)
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const int port = probe.serverPort();
    probe.close();
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-m"), QStringLiteral("pyftpdlib"), QStringLiteral("-p"), QString::number(port),
                  QStringLiteral("-i"), QStringLiteral("127.0.0.1"), QStringLiteral("-w"), QStringLiteral("-u"),
                  QStringLiteral("bench"), QStringLiteral("-P"), QStringLiteral("bench"), QStringLiteral("-d"), root});
    for (int attempt = 0; attempt < 100; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        if (socket.waitForConnected(100) && socket.waitForReadyRead(1000))
            return port;
        QThread::msleep(100);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int runs = 3;
    int bigFiles = 10;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs"))
            runs = qMax(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--big-files"))
            bigFiles = qMax(1, args[i + 1].toInt());
    }
    QTemporaryDir work;
    const QString root = work.filePath(QStringLiteral("share"));
    QDir().mkpath(root);
    QProcess server;
    const int port = StartServer(server, root);
    if (port == 0) {
        std::fprintf(stderr, "pyftpdlib did not start\n");
        return 1;
    }
    const QString passwordFile = work.filePath(QStringLiteral("password"));
    QFile password(passwordFile);
    if (!password.open(QIODevice::WriteOnly) || password.write("bench") < 0)
        return 1;
    password.close();
    password.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QString cli = QStringLiteral(TESSARO_CLI);
    const QStringList ours{QStringLiteral("--profile"),
                           work.filePath(QStringLiteral("profile.ini")),
                           QStringLiteral("ftp"),
                           QStringLiteral("--passive"),
                           QStringLiteral("--server"),
                           QStringLiteral("127.0.0.1:%1").arg(port),
                           QStringLiteral("--user"),
                           QStringLiteral("bench"),
                           QStringLiteral("--password-file"),
                           passwordFile};
    const QString lftpOpen =
        QStringLiteral("set cmd:fail-exit yes; set ftp:ssl-allow no; open -u bench,bench -p %1 127.0.0.1; ").arg(port);
    std::printf("pyftpdlib on 127.0.0.1:%d, passive mode, best of %d runs, tessaro-cli and lftp taking turns\n", port,
                runs);

    const CTree trees[] = {{2000, 1024}, {bigFiles, 100 << 20}};
    for (const CTree& tree : trees) {
        const QString source = work.filePath(QStringLiteral("source"));
        QDir(source).removeRecursively();
        if (!MakeTree(source, tree))
            return 1;
        const QPair<int, qint64> expected = Count(source);
        double best[4] = {1e9, 1e9, 1e9, 1e9}; // ours up, lftp up, ours down, lftp down
        bool same = true;
        for (int run = 0; run < runs; ++run) {
            const QString name = QStringLiteral("run%1").arg(run);
            const QString local = work.filePath(QStringLiteral("down%1").arg(run));
            QDir().mkpath(local);
            const double times[4] = {
                Time(cli, ours + QStringList{QStringLiteral("upload-folder"), source, QStringLiteral("/"), name + "t"}),
                Time(QStringLiteral("lftp"),
                     {QStringLiteral("-c"), lftpOpen + QStringLiteral("mirror -R '%1' '/%2l'").arg(source, name)}),
                Time(
                    cli,
                    ours
                        + QStringList{QStringLiteral("download-folder"), "/" + name + "t", local, QStringLiteral("t")}),
                Time(QStringLiteral("lftp"),
                     {QStringLiteral("-c"), lftpOpen + QStringLiteral("mirror '/%1l' '%2/l'").arg(name, local)})};
            for (int i = 0; i < 4; ++i) {
                if (times[i] < 0)
                    return 1;
                best[i] = qMin(best[i], times[i]);
            }
            for (const QString& copy : {root + "/" + name + "t", root + "/" + name + "l", local + QStringLiteral("/t"),
                                        local + QStringLiteral("/l")})
                same = same && Count(copy) == expected;
            QDir(root + "/" + name + "t").removeRecursively();
            QDir(root + "/" + name + "l").removeRecursively();
            QDir(local).removeRecursively();
        }
        std::printf("%d files of %lld KiB: upload tessaro %.2f s, lftp %.2f s (%.2fx); download tessaro %.2f s, lftp "
                    "%.2f s (%.2fx)%s\n",
                    tree.m_nFiles, static_cast<long long>(tree.m_nFileSize / 1024), best[0], best[1], best[0] / best[1],
                    best[2], best[3], best[2] / best[3], same ? "" : "  copies differ!");
        std::fflush(stdout);
    }
    QDir(work.filePath(QStringLiteral("source"))).removeRecursively();
    server.terminate();
    server.waitForFinished(5000);
    return 0;
}
