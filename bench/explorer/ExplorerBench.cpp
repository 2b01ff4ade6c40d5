// Run by hand: QT_QPA_PLATFORM=offscreen build/bin/explorer_bench [FILES]
// 1. Start-up: frame, roots and the listed top level up to a shown window.
// 2. Opening a local folder of FILES (100,000) files, against `ls -f`.
#include "explorer/MainFrame.h"
#include "explorer/TessaroView.h"
#include "platform/LocalPaths.h"

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

int main(int argc, char* argv[])
{
    const int files = argc > 1 ? atoi(argv[1]) : 100000;

    QTemporaryDir root;
    QDir(root.path()).mkpath("big");
    for (int i = 0; i < files; ++i) {
        const QByteArray name = QFile::encodeName(root.filePath(QString("big/file-%1.txt").arg(i)));
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0)
            ::close(fd);
    }
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
    return 0;
}
