#include "editor/EditorPrompts.h"
#include "editor/EditorResource.h"
#include "editor/MainFrame.h"
#include "editor/QuillonApp.h"
#include "editor/QuillonDoc.h"
#include "editor/QuillonView.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QString Numbered(int nLines)
{
    QStringList lines;
    for (int i = 1; i <= nLines; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines.join(QLatin1Char('\n'));
}

void Select(CQuillonView& view, int nFrom, int nTo)
{
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(nFrom);
    cursor.setPosition(nTo, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
}

template <class T>
T* Child(QWidget& dlg, int nId)
{
    return dlg.findChild<T*>(ControlName(nId));
}

// Limits the size of files this process may write, so that a write fails
// even for root (a full disk); restores the old limit on leaving.
class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t limit)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lowered = m_old;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~CFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

} // namespace

// Replaces the editor's prompts for one test: records what would have been
// shown and answers from a script.
class CPromptRecorder
{
public:
    CPromptRecorder()
    {
        CEditorPrompts& prompts = EditorPrompts();
        m_saved = prompts;
        prompts.m_fnMessage = [this](QWidget*, const QString& strText) { m_messages << strText; };
        prompts.m_fnAsk = [this](QWidget*, const QString& strText, QMessageBox::StandardButtons) {
            m_questions << strText;
            return m_answers.isEmpty() ? QMessageBox::Cancel : m_answers.takeFirst();
        };
        prompts.m_fnBeep = [this] { ++m_nBeeps; };
        prompts.m_fnFileName = [this](QWidget*, bool, const QString&) { return m_strFileName; };
        prompts.m_fnRunModal = [](QDialog&) { return int(QDialog::Rejected); };
    }
    ~CPromptRecorder() { EditorPrompts() = m_saved; }

    // Runs each modal dialog shown (without blocking) through fnDrive, which
    // works its controls; the dialog's result is what the caller gets.
    void DriveDialogs(std::function<void(QDialog&)> fnDrive)
    {
        EditorPrompts().m_fnRunModal = [fnDrive](QDialog& dlg) {
            dlg.setResult(QDialog::Rejected);
            dlg.show();
            fnDrive(dlg);
            const int nResult = dlg.result();
            dlg.hide();
            return nResult;
        };
    }

    QStringList m_messages;
    QStringList m_questions;
    QList<QMessageBox::StandardButton> m_answers;
    int m_nBeeps = 0;
    QString m_strFileName;

private:
    CEditorPrompts m_saved;
};

class TestQuillonWidgets : public QObject
{
    Q_OBJECT

private slots:
    // Typed into the Go to dialog of a 200-line text with a trailing line end;
    // a null entry cancels. The caret starts on line "from".
    void gotoLine_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("line"); // where the caret ends up
        QTest::addColumn<QString>("message");
        const QString notInteger = "Please enter an integer.";
        const QString tooSmall = "Line number must be greater than 0";
        const QString beyond = "Line number is beyond end of document";
        QTest::newRow("last line") << 1 << "200" << 200 << QString();
        QTest::newRow("empty line after the last end") << 1 << "201" << 201 << QString();
        QTest::newRow("back to the top, blanks around") << 200 << " 1 " << 1 << QString();
        QTest::newRow("beyond the end") << 5 << "202" << 5 << beyond;
        QTest::newRow("zero") << 5 << "0" << 5 << tooSmall;
        QTest::newRow("smallest int") << 5 << "-2147483648" << 5 << tooSmall;
        QTest::newRow("nothing") << 5 << "" << 5 << notInteger;
        QTest::newRow("too large for int") << 5 << "99999999999" << 5 << notInteger;
        QTest::newRow("cancel") << 5 << QString() << 5 << QString();
    }

    void gotoLine()
    {
        QFETCH(int, from);
        QFETCH(QString, entry);
        QFETCH(int, line);
        QFETCH(QString, message);
        CPromptRecorder recorder;
        CQuillonView view;
        view.resize(300, 200);
        view.show();
        view.setPlainText(Numbered(200) + "\n");
        view.setTextCursor(QTextCursor(view.document()->findBlockByNumber(from - 1)));
        view.m_dlgGoto.m_nLine = 42;
        QString strProposed;
        recorder.DriveDialogs([&](QDialog& dlg) {
            auto* pEdit = Child<QLineEdit>(dlg, IDC_LINE);
            strProposed = pEdit->text();
            pEdit->setText(entry);
            entry.isNull() ? dlg.reject() : dlg.accept();
        });
        view.OnEditGoto();
        QCOMPARE(strProposed, QStringLiteral("42"));
        QCOMPARE(recorder.m_messages, message.isNull() ? QStringList() : QStringList(message));
        QCOMPARE(view.textCursor().blockNumber(), line - 1);
        QCOMPARE(view.textCursor().positionInBlock(), 0);
        QVERIFY(!view.textCursor().hasSelection());
        if (message.isNull() && !entry.isNull()) {
            QVERIFY(view.viewport()->rect().contains(view.cursorRect()));
            if (line == 1)
                QCOMPARE(view.verticalScrollBar()->value(), 0);
        }
    }

    // Go to and Find are enabled only while the text is not empty, typed or
    // loaded. Through the menu they run the real modal dialogs: Enter presses
    // "Go To"; in the Find dialog it closes with OK and the search runs.
    void menuRunsGotoAndFindOnText()
    {
        CPromptRecorder recorder;
        EditorPrompts().m_fnRunModal = [](QDialog& dlg) { return dlg.exec(); };
        CMainFrame frame;
        QVERIFY(!frame.windowIcon().pixmap(32).isNull());
        frame.show();
        auto enabled = [&frame] {
            const bool bGoto = frame.Action(ID_EDIT_GOTO)->isEnabled();
            return bGoto == frame.Action(ID_EDIT_FIND)->isEnabled() ? int(bGoto) : -1;
        };
        QCOMPARE(enabled(), 0);
        QTest::keyClicks(frame.View(), "x");
        QCOMPARE(enabled(), 1);
        frame.View()->setPlainText(Numbered(10) + "\nfind me");
        // Whatever goes wrong below, no dialog is left blocking the test.
        QTimer::singleShot(5000, [] {
            if (auto* pDlg = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                pDlg->reject();
        });
        QTimer::singleShot(0, [] {
            auto* pEdit = Child<QLineEdit>(*QApplication::activeModalWidget(), IDC_LINE);
            pEdit->setText("7");
            QTest::keyClick(pEdit, Qt::Key_Return);
        });
        frame.Action(ID_EDIT_GOTO)->trigger();
        QCOMPARE(frame.View()->textCursor().block().text(), QStringLiteral("line 7"));
        QTimer::singleShot(0, [] {
            auto* pCombo = Child<QComboBox>(*QApplication::activeModalWidget(), IDC_FIND_WHAT);
            pCombo->setEditText("find");
            QTest::keyClick(pCombo, Qt::Key_Return);
        });
        frame.Action(ID_EDIT_FIND)->trigger();
        QCOMPARE(frame.View()->textCursor().selectedText(), QStringLiteral("find"));

        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath("empty"), QByteArray()));
        recorder.m_answers = {QMessageBox::No}; // the text was changed
        QVERIFY(frame.OpenDocumentFile(dir.filePath("empty")));
        QCOMPARE(enabled(), 0);
    }

    // One "Find Next" from a selection (to < 0: none); a null search text
    // keeps what the dialog proposes, an empty one keeps the dialog open and
    // the earlier text. found < 0: nothing found, a beep.
    void findNext()
    {
        const QString alpha = "alpha beta\nALPHA alpha", cased = "Beta beta BETA beta";
        const struct
        {
            QString text;
            int from, to;
            QString search;
            bool matchCase;
            QString proposed;
            int found;
        } rows[] = {
            {alpha, 0, -1, "alpha", false, "previous", 0},
            {alpha, 11, 16, QString(), false, "ALPHA", 17},
            {alpha, 17, 22, QString(), false, "alpha", 0}, // again from the top
            {alpha, 22, -1, "gamma", false, "previous", -1},
            {alpha, 0, -1, "", false, "previous", -1}, // nothing to find
            {cased, 5, 9, QString(), true, "beta", 15},
            {cased, 15, 19, QString(), true, "beta", 5},
            {QString::fromUtf16(u"a\u00A0b a b"), 0, -1, "a b", false, "previous", 4}, // no-break space is no space
            {"first\nsecond", 0, 12, QString(), false, "first", 0},                    // the first line of a selection
        };
        for (const auto& [text, from, to, search, matchCase, proposed, found] : rows) {
            CPromptRecorder recorder;
            CQuillonView view;
            view.setPlainText(text);
            view.m_dlgFind.m_strFind = "previous";
            Select(view, from, to < 0 ? from : to);
            QString strShown;
            bool bStayedOpen = false;
            recorder.DriveDialogs([&](QDialog& dlg) {
                auto* pCombo = Child<QComboBox>(dlg, IDC_FIND_WHAT);
                strShown = pCombo->currentText();
                if (!search.isNull())
                    pCombo->setEditText(search);
                Child<QCheckBox>(dlg, IDC_MATCH_CASE)->setChecked(matchCase);
                QTest::mouseClick(Child<QPushButton>(dlg, IDC_FIND_NEXT), Qt::LeftButton);
                bStayedOpen = dlg.isVisible();
            });
            view.OnEditFind();
            QCOMPARE(strShown, proposed);
            QCOMPARE(bStayedOpen, search.isEmpty() && !search.isNull());
            QCOMPARE(view.m_dlgFind.m_strFind, search.isEmpty() ? proposed : search);
            QCOMPARE(recorder.m_nBeeps, found < 0 ? 1 : 0);
            QCOMPARE(view.textCursor().hasSelection(), found >= 0);
            if (found >= 0) {
                QCOMPARE(view.textCursor().selectionStart(), found);
                QCOMPARE(view.textCursor().selectedText().compare(view.m_dlgFind.m_strFind, Qt::CaseInsensitive), 0);
            }
        }
    }

    void findCancelRestoresTheText()
    {
        CPromptRecorder recorder;
        CQuillonView view;
        view.setPlainText("one two three");
        view.m_dlgFind.m_strFind = "two";

        // Cancel after a selection proposed itself restores the earlier text.
        Select(view, 8, 13);
        recorder.DriveDialogs([](QDialog& dlg) { dlg.reject(); });
        view.OnEditFind();
        QCOMPARE(view.m_dlgFind.m_strFind, QStringLiteral("two"));
        QCOMPARE(view.textCursor().selectedText(), QStringLiteral("three"));

        // Enter closes with OK without the empty test; an empty text searches nothing.
        recorder.DriveDialogs([](QDialog& dlg) {
            Child<QComboBox>(dlg, IDC_FIND_WHAT)->setEditText(QString());
            QTest::keyClick(Child<QComboBox>(dlg, IDC_FIND_WHAT), Qt::Key_Return);
        });
        view.OnEditFind();
        QCOMPARE(view.m_dlgFind.m_strFind, QString());
        QCOMPARE(view.textCursor().selectedText(), QStringLiteral("three"));
        QCOMPARE(recorder.m_nBeeps, 0);
    }

    // Keys typed at a line and column of a file with mixed ends, then undo
    // pressed a number of times: untouched line ends stay, a new break takes
    // the usual end (LF here), undo gives back what was there.
    void lineEndsAroundEdits()
    {
        const QByteArray mixed("one\r\ntwo\nthree\rfour\nfive");
        const struct
        {
            int line, column;
            QString keys;
            int undos;
            QByteArray expected;
        } rows[] = {
            {1, 0, "2 ", 0, "one\r\n2 two\nthree\rfour\nfive"},
            {2, 3, "\n", 0, "one\r\ntwo\nthr\nee\rfour\nfive"},
            {2, 5, "\nnew", 0, "one\r\ntwo\nthree\rnew\nfour\nfive"}, // after a line's text
            {4, 2, "\n", 0, "one\r\ntwo\nthree\rfour\nfi\nve"},       // in the last line
            {2, 3, "\n", 1, mixed},
            {1, 3, "\x7f", 0, "one\r\ntwothree\rfour\nfive"}, // Delete joins two lines
            {3, 0, "\b", 1, mixed},
        };
        const QMap<QChar, Qt::Key> special{{'\n', Qt::Key_Return}, {'\b', Qt::Key_Backspace}, {'\x7f', Qt::Key_Delete}};
        for (const auto& [line, column, keys, undos, expected] : rows) {
            CQuillonView view;
            view.SetBytes(mixed);
            QTextCursor cursor(view.document()->findBlockByNumber(line));
            cursor.setPosition(cursor.position() + column);
            view.setTextCursor(cursor);
            for (QChar ch : keys)
                special.contains(ch) ? QTest::keyClick(&view, special[ch]) : QTest::keyClick(&view, ch.toLatin1());
            for (int i = 0; i < undos; ++i)
                view.undo();
            QCOMPARE(view.GetBytes(), expected);
        }
    }

    void failedSaveOrOpenKeepsFileAndText()
    {
        CPromptRecorder recorder;
        QTemporaryDir dir;
        const QString strPath = dir.filePath("data.txt");
        QVERIFY(WriteFile(strPath, "old\r\n"));
        CMainFrame frame;
        QVERIFY(frame.OpenDocumentFile(strPath));
        // The disk refuses the bytes half-way, for a text larger than the write
        // buffer and for one that fits in it: the old file stays whole.
        for (int nSize : {100000, 5000}) {
            const QString strNew(nSize, QLatin1Char('n'));
            frame.View()->selectAll();
            frame.View()->insertPlainText("old\n" + strNew);
            {
                CFileSizeLimit limit(1000);
                QVERIFY(!frame.OnFileSave());
            }
            QVERIFY(recorder.m_messages.last().startsWith("Failed to save document."));
            QVERIFY(recorder.m_messages.last().contains(strPath));
            QCOMPARE(ReadFile(strPath), QByteArray("old\r\n"));
            QCOMPARE(frame.View()->toPlainText(), "old\n" + strNew);
            QVERIFY(frame.Document()->IsModified());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"data.txt"});

        // Save As into a folder that does not exist: the name stays the old one.
        recorder.m_strFileName = dir.filePath("missing/other.txt");
        QVERIFY(!frame.OnFileSaveAs());
        QCOMPARE(frame.Document()->GetPathName(), strPath);
        QCOMPARE(recorder.m_messages.size(), 3);

        // Once the disk takes it, the save goes through.
        QVERIFY(frame.OnFileSave());
        QCOMPARE(ReadFile(strPath), "old\r\n" + QByteArray(5000, 'n'));
        QVERIFY(!frame.Document()->IsModified());
    }

    // Characters above U+00FF are warned about before a save; every byte a
    // file holds comes back as it was.
    void charactersAboveLatin1AndEveryByte()
    {
        CPromptRecorder recorder;
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        const QString strPath = dir.filePath("euro.txt");
        CMainFrame frame;
        frame.View()->setPlainText(QString::fromUtf16(u"\u20AC 5\n\u0141\u2029x"));
        recorder.m_strFileName = strPath;

        recorder.m_answers = {QMessageBox::Cancel};
        QVERIFY(!frame.OnFileSave());
        QCOMPARE(recorder.m_questions.size(), 1);
        QVERIFY(recorder.m_questions.front().contains("2 character(s) above U+00FF"));
        QVERIFY(!QFile::exists(strPath));

        recorder.m_answers = {QMessageBox::Ok};
        QVERIFY(frame.OnFileSave());
        QCOMPARE(ReadFile(strPath), QByteArray("\xAC 5\r\nA\r\nx"));

        // Reopened, the characters are those of the low bytes; no warning any more.
        QVERIFY(frame.OpenDocumentFile(strPath));
        QCOMPARE(frame.View()->toPlainText(), QString::fromUtf16(u"\u00AC 5\nA\nx"));
        QVERIFY(frame.OnFileSave());
        QCOMPARE(recorder.m_questions.size(), 2);

        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QVERIFY(WriteFile(dir.filePath("all.bin"), all + all));
        QVERIFY(frame.OpenDocumentFile(dir.filePath("all.bin")));
        QCOMPARE(frame.View()->GetBytes(), all + all);
        QCOMPARE(frame.View()->toPlainText().at(0xE9), QChar(0xE9)); // byte b is U+00bb
        frame.View()->document()->setModified(true);
        QVERIFY(frame.OnFileSave());
        QCOMPARE(ReadFile(dir.filePath("all.bin")), all + all);
        // Neither loading nor saving leaves a "temp" file behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"all.bin", "euro.txt"}));
        QDir::setCurrent(QDir::tempPath());
    }

    void promptsToSaveChangedDocument()
    {
        CPromptRecorder recorder;
        QTemporaryDir dir;
        const QString strPath = dir.filePath("draft.txt");
        CMainFrame frame;
        QTest::keyClicks(frame.View(), "draft");

        recorder.m_answers = {QMessageBox::Cancel};
        frame.OnFileNew();
        QCOMPARE(recorder.m_questions, QStringList{"Save changes to Untitled?"});
        QCOMPARE(frame.View()->toPlainText(), QStringLiteral("draft"));

        // Closing: Yes saves through "Save As" and then closes.
        frame.show();
        recorder.m_strFileName = strPath;
        recorder.m_answers = {QMessageBox::Yes};
        QVERIFY(frame.close());
        QCOMPARE(ReadFile(strPath), QByteArray("draft"));

        // No throws the change away; an unchanged document is not asked about.
        QTest::keyClicks(frame.View(), "!");
        recorder.m_answers = {QMessageBox::No};
        frame.OnFileNew();
        QCOMPARE(recorder.m_questions.last(), "Save changes to " + strPath + "?");
        QVERIFY(frame.View()->IsEmptyText());
        QCOMPARE(ReadFile(strPath), QByteArray("draft"));
        frame.OnFileNew();
        QCOMPARE(recorder.m_questions.size(), 3);
    }

    void replace()
    {
        CPromptRecorder recorder;
        CMainFrame frame;
        CQuillonView* pView = frame.View();
        pView->setPlainText("a-A-a\na");
        QCOMPARE(pView->ReplaceAll("a", "bb", true), 3);
        QCOMPARE(pView->toPlainText(), QStringLiteral("bb-A-bb\nbb"));
        pView->undo(); // one step undoes the lot
        QCOMPARE(pView->toPlainText(), QStringLiteral("a-A-a\na"));
        QCOMPARE(pView->ReplaceAll("a", "a", false), 4); // no endless loop on a replacement holding the text
        QCOMPARE(pView->ReplaceAll("zz", "y", false), 0);
        QCOMPARE(recorder.m_nBeeps, 1);
        pView->SetBytes("a\nb x\r\nc\r\n"); // a break in a replacement is a new one, with the usual end
        QCOMPARE(pView->ReplaceAll("x", "1\n2", false), 1);
        QCOMPARE(pView->GetBytes(), QByteArray("a\nb 1\r\n2\r\nc\r\n"));

        // Through the dialog: Replace swaps the selected match and moves to the next one.
        pView->setPlainText("cat dog cat");
        pView->moveCursor(QTextCursor::Start);
        frame.Action(ID_EDIT_REPLACE)->trigger();
        CReplaceDlg* pDlg = pView->ReplaceDialog();
        QVERIFY(pDlg && pDlg->isVisible());
        pDlg->findChild<QLineEdit*>("findWhat")->setText("cat");
        pDlg->findChild<QLineEdit*>("replaceWith")->setText("cow");
        auto* pReplace = pDlg->findChild<QPushButton*>("replace");
        QTest::mouseClick(pReplace, Qt::LeftButton);
        QCOMPARE(pView->textCursor().selectionStart(), 0);
        QTest::mouseClick(pReplace, Qt::LeftButton);
        QCOMPARE(pView->toPlainText(), QStringLiteral("cow dog cat"));
        QCOMPARE(pView->textCursor().selectionStart(), 8);
        QTest::mouseClick(pDlg->findChild<QPushButton*>("replaceAll"), Qt::LeftButton);
        QCOMPARE(pView->toPlainText(), QStringLiteral("cow dog cow"));
    }

    // Only regular files of a size the editor can hold are read: a FIFO would
    // block the open, a device could be read for ever. A file that cannot be
    // read leaves the text and its name alone.
    void onlyRegularFilesOfSensibleSizeOpen_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        const QString notRegular = " is not a regular file (a device, a pipe or a socket).";
        QTest::newRow("over 256 MiB") << "large" << QString(" is larger than 256 MiB, more than the editor can hold.");
        QTest::newRow("device") << "device" << notRegular;
        QTest::newRow("FIFO without a writer") << "fifo" << notRegular;
        QTest::newRow("missing") << "missing" << QString(": No such file or directory");
        QTest::newRow("folder") << "folder" << QString(" is a folder, not a file.");
    }

    void onlyRegularFilesOfSensibleSizeOpen()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        CPromptRecorder recorder;
        QTemporaryDir dir;
        QString strPath = dir.filePath(kind);
        if (kind == QLatin1String("large")) {
            QFile sparse(strPath);
            QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(256 * 1024 * 1024 + 1));
        } else if (kind == QLatin1String("device")) {
            strPath = QStringLiteral("/dev/null");
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(strPath).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            strPath = dir.path();
        }
        CMainFrame frame;
        const QString strKept = dir.filePath("kept.txt");
        QVERIFY(WriteFile(strKept, "kept") && frame.OpenDocumentFile(strKept));
        QVERIFY(!frame.OpenDocumentFile(strPath));
        QCOMPARE(recorder.m_messages, QStringList("Failed to open document.\n\n" + strPath + message));
        QCOMPARE(frame.View()->toPlainText(), QStringLiteral("kept"));
        QCOMPARE(frame.Document()->GetPathName(), strKept);
    }

    void commandLineArgument()
    {
        QCOMPARE(CQuillonApp::FileArgument({"quillon"}), QString());
        QCOMPARE(CQuillonApp::FileArgument({"quillon", "-x", "my file.txt", "other"}), QStringLiteral("my file.txt"));
    }
};

QTEST_MAIN(TestQuillonWidgets)
#include "QuillonWidgetTest.moc"
