// Times Quillon on a 1 MB and a 20 MB Latin-1 file: from the start of
// opening to the text painted in the window, from the start of saving to the
// file written, one keystroke in the middle of the text repainted, and a
// search that finds nothing. `cp`
// of the same file is the floor. Each figure is the best of three runs.

#include "editor/EditorPrompts.h"
#include "editor/MainFrame.h"
#include "editor/QuillonDoc.h"
#include "editor/QuillonView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextBlock>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kRuns = 3;

// Lines of 20 to 100 Latin-1 characters (0x20..0xFF), ending in CR LF.
QByteArray MakeLatin1(qsizetype size)
{
    QRandomGenerator random(1234);
    QByteArray bytes;
    bytes.reserve(size);
    while (bytes.size() < size) {
        const int nLength = 20 + int(random.bounded(80));
        for (int i = 0; i < nLength; ++i) {
            const int c = 0x20 + int(random.bounded(0xE0));
            bytes.append(char(c == 0x7F ? ' ' : c));
        }
        bytes.append("\r\n");
    }
    bytes.truncate(size);
    return bytes;
}

double BestOf(const std::function<void()>& fnPrepare, const std::function<void()>& fnMeasured)
{
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        fnPrepare();
        QElapsedTimer timer;
        timer.start();
        fnMeasured();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

QByteArray ReadAll(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Measure(const QString& strLabel, qsizetype size, const QTemporaryDir& dir)
{
    const QString strSource = dir.filePath(strLabel + ".txt");
    const QString strCopy = dir.filePath(strLabel + "-cp.txt");
    const QString strSaved = dir.filePath(strLabel + "-saved.txt");
    const QByteArray bytes = MakeLatin1(size);
    {
        QFile file(strSource);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::printf("cannot write %s\n", qPrintable(strSource));
            return;
        }
    }

    const double cpMs = BestOf([] {}, [&] { QProcess::execute("cp", {strSource, strCopy}); });

    CMainFrame frame;
    frame.resize(800, 600);
    frame.show();
    QCoreApplication::processEvents();
    CQuillonView* pView = frame.View();

    const double openMs = BestOf(
        [&] {
            frame.OnFileNew();
            QCoreApplication::processEvents();
        },
        [&] {
            frame.Document()->OnOpenDocument(strSource);
            pView->viewport()->repaint();
        });

    const double saveMs = BestOf([] {}, [&] { frame.Document()->OnSaveDocument(strSaved); });
    const bool bSame = ReadAll(strSaved) == bytes;

    // One keystroke in the middle of the text, repainted.
    QTextCursor middle(pView->document()->findBlockByNumber(pView->blockCount() / 2));
    pView->setTextCursor(middle);
    pView->centerCursor();
    QCoreApplication::processEvents();
    const double keyMs = BestOf([] {},
                                [&] {
                                    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
                                    QCoreApplication::sendEvent(pView, &press);
                                    pView->viewport()->repaint();
                                });

    // A search that finds nothing reads the whole text (twice: it wraps round).
    const double findMs = BestOf([] {}, [&] { pView->FindText("no such text", false); });

    std::printf("%-5s %9lld bytes: cp %6.1f ms | open+show %7.1f ms | save %6.1f ms | keystroke %4.1f ms | "
                "failing find %6.1f ms | saved bytes identical: %s\n",
                qPrintable(strLabel), static_cast<long long>(size), cpMs, openMs, saveMs, keyMs, findMs,
                bSame ? "yes" : "NO");
    frame.Document()->OnNewDocument();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    EditorPrompts().m_fnMessage = [](QWidget*, const QString& strText) {
        std::printf("message: %s\n", qPrintable(strText));
    };
    EditorPrompts().m_fnBeep = [] {};
    EditorPrompts().m_fnAsk = [](QWidget*, const QString&, QMessageBox::StandardButtons) { return QMessageBox::No; };
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    std::printf("best of %d runs, platform %s\n", kRuns, qPrintable(QGuiApplication::platformName()));
    Measure("1MB", 1024 * 1024, dir);
    Measure("20MB", 20 * 1024 * 1024, dir);
    return 0;
}
