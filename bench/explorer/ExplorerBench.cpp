// Run by hand: QT_QPA_PLATFORM=offscreen build/bin/explorer_bench [FILES] [REMOTE]
// 1. Start-up: frame, roots and the listed top level up to a shown window.
// 2. Opening a local folder of FILES (100,000) files, against `ls -f`.
// 3. Opening a remote folder of REMOTE (20,000) entries on pyftpdlib
//    (loopback), against the client's own CWD and LIST of it in the same run.
#include "FtpServerProcess.h"

#include "explorer/MainFrame.h"
#include "explorer/TessaroView.h"
#include "ftp/FtpClient.h"
#include "platform/Clock.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"
#include "platform/Services.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

static long ResidentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

static double LsSeconds(const QString& dir)
{
    QElapsedTimer timer;
    timer.start();
    QProcess ls;
    ls.setStandardOutputFile(QProcess::nullDevice());
    ls.start("ls", {"-f", dir});
    ls.waitForFinished(-1);
    return timer.nsecsElapsed() / 1e9;
}

static void MakeFiles(const QString& folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QByteArray name = QFile::encodeName(folder + QString("/file-%1.txt").arg(i));
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0)
            ::close(fd);
    }
}

// The listing alone: the same CWD and LIST that an opening sends, on a client
// of its own.
static double ListingSeconds(const CFtpServerProcess& server, const QString& folder)
{
    CFtpClient client;
    if (!client.LogOn("127.0.0.1", server.m_nPort, server.m_strUser, server.m_strPassword, QString(), QString(),
                      QString(), QString(), 0, 0))
        return -1;
    QElapsedTimer timer;
    timer.start();
    QByteArray listing;
    client.Command("CWD /" + folder + "/");
    client.ListFolder(listing);
    const double seconds = timer.nsecsElapsed() / 1e9;
    client.LogOff();
    return seconds;
}

static int RemoteFolderBench(CTessaroView* view, int entries)
{
    CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
    if (!server.Start()) {
        std::fprintf(stderr, "pyftpdlib did not start: %s\n", qPrintable(server.m_strProblem));
        return 1;
    }
    MakeFiles(server.m_strRoot + "/big", entries);
    QTemporaryDir profileDir;
    CProfile::SetFile(profileDir.filePath("profile.ini"));
    CProfile::WriteString("FTP", "ServerName", QString("127.0.0.1:%1").arg(server.m_nPort));
    CProfile::WriteString("FTP", "UserName", server.m_strUser);
    CProfile::WriteString("FTP", "Password", server.m_strPassword);

    QTreeWidgetItem* ftp = view->FtpRoot();
    ftp->setExpanded(true);
    QTreeWidgetItem* big = ftp->child(0);
    // With the protocol's fixed pauses (800 ms per listing), then without
    // them, where the listing is only the server's and the socket's work.
    CVirtualClock noPauses;
    for (const bool pauses : {true, false}) {
        CServices::SetClock(pauses ? nullptr : &noPauses);
        for (int round = 0; round < 3 && big; ++round) {
            big->setExpanded(false);
            QElapsedTimer timer;
            timer.start();
            big->setExpanded(true);
            QApplication::processEvents();
            const double open = timer.nsecsElapsed() / 1e9;
            const double listing = ListingSeconds(server, "big");
            std::printf("open remote folder of %d entries, %s: %.3f s (%d nodes); CWD+LIST alone: %.3f s; "
                        "ratio %.2f\n",
                        entries, pauses ? "with pauses" : "no pauses", open, big->childCount(), listing,
                        open / listing);
        }
    }
    CServices::SetClock(nullptr);
    return big ? 0 : 1;
}

int main(int argc, char* argv[])
{
    const int files = argc > 1 ? atoi(argv[1]) : 100000;
    const int remote = argc > 2 ? atoi(argv[2]) : 20000;

    QTemporaryDir root;
    MakeFiles(root.filePath("big"), files);
    CLocalPaths::SetRoot(root.path());

    QElapsedTimer startup;
    startup.start();
    QApplication app(argc, argv);
    CMainFrame frame;
    frame.View()->OnInitialUpdate();
    frame.show();
    QApplication::processEvents();
    const double startupMs = startup.nsecsElapsed() / 1e6;
    std::printf(
        "start-up to shown window (application object, frame, roots, offscreen): %.1f ms, resident memory %ld KiB\n",
        startupMs, ResidentKiB());

    QTreeWidgetItem* big = frame.View()->MyComputerRoot()->child(0);
    for (int round = 0; round < 3; ++round) {
        big->setExpanded(false);
        QElapsedTimer timer;
        timer.start();
        big->setExpanded(true);
        QApplication::processEvents();
        const double tessaro = timer.nsecsElapsed() / 1e9;
        const double ls = LsSeconds(root.filePath("big"));
        std::printf("open folder of %d files: %.3f s (%d nodes); ls -f: %.3f s; ratio %.1f\n", files, tessaro,
                    big->childCount(), ls, tessaro / ls);
    }
    return RemoteFolderBench(frame.View(), remote);
}
