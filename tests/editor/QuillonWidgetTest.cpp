#include "editor/EditorPrompts.h"
#include "editor/EditorResource.h"
#include "editor/MainFrame.h"
#include "editor/QuillonApp.h"
#include "editor/QuillonDoc.h"
#include "editor/QuillonView.h"

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

namespace {

QByteArray ReadAll(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString& strPath, const QByteArray& bytes)
{
    QFile file(strPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString Numbered(int nLines)
{
    QStringList lines;
    for (int i = 1; i <= nLines; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines.join(QLatin1Char('\n'));
}

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
    void gotoLine();
    void gotoDialogTakesIntegersOnly();
    void menuCommandsRunModalDialogs();
    void findWithoutSelection();
    void findWithSelectionAndMatchCase();
    void findNextOnEmptyTextBeepsAndCancelRestores();
    void findAndGotoDisabledOnEmptyDocument();
    void viewKeepsBytesAndLineEnds();
    void saveFailureKeepsOldFileAndText();
    void openFailureKeepsText();
    void charactersAboveLatin1WarnBeforeSaving();
    void promptsToSaveChangedDocument();
    void replaceAll();
    void commandLineArgument();
};

void TestQuillonWidgets::gotoLine()
{
    CPromptRecorder recorder;
    CQuillonView view;
    view.resize(300, 200);
    view.show();
    view.setPlainText(Numbered(200));
    int nAsked = 0;
    recorder.DriveDialogs([&](QDialog& dlg) {
        auto* pGoto = static_cast<CGotoDlg*>(&dlg);
        pGoto->m_nLine = nAsked;
        dlg.setResult(QDialog::Accepted);
    });
    auto goTo = [&](int nLine) {
        recorder.m_messages.clear();
        nAsked = nLine;
        view.OnEditGoto();
    };

    for (int nBad : {0, -1, -2147483647 - 1}) {
        goTo(nBad);
        QCOMPARE(recorder.m_messages, QStringList{"Line number must be greater than 0"});
        QCOMPARE(view.textCursor().blockNumber(), 0);
    }
    goTo(201);
    QCOMPARE(recorder.m_messages, QStringList{"Line number is beyond end of document"});
    QCOMPARE(view.textCursor().blockNumber(), 0);

    goTo(200);
    QVERIFY(recorder.m_messages.isEmpty());
    QCOMPARE(view.textCursor().blockNumber(), 199);
    QCOMPARE(view.textCursor().positionInBlock(), 0);
    QVERIFY(!view.textCursor().hasSelection());
    QVERIFY(view.viewport()->rect().contains(view.cursorRect()));
    QVERIFY(view.verticalScrollBar()->value() > 0);

    goTo(1);
    QCOMPARE(view.textCursor().position(), 0);
    QCOMPARE(view.verticalScrollBar()->value(), 0);

    goTo(120);
    QCOMPARE(view.textCursor().block().text(), QStringLiteral("line 120"));
    QVERIFY(view.viewport()->rect().contains(view.cursorRect()));

    // Cancel changes nothing.
    recorder.DriveDialogs([](QDialog& dlg) { dlg.reject(); });
    view.OnEditGoto();
    QCOMPARE(view.textCursor().blockNumber(), 119);
    QVERIFY(recorder.m_messages.isEmpty());

    // A trailing line end makes one more, empty, line.
    view.setPlainText("a\nb\n");
    recorder.DriveDialogs([&](QDialog& dlg) {
        static_cast<CGotoDlg&>(dlg).m_nLine = 3;
        dlg.setResult(QDialog::Accepted);
    });
    view.OnEditGoto();
    QCOMPARE(view.textCursor().position(), 4);
}

void TestQuillonWidgets::gotoDialogTakesIntegersOnly()
{
    CPromptRecorder recorder;
    CGotoDlg dlg;
    QCOMPARE(dlg.m_nLine, 1);
    dlg.m_nLine = 42;
    dlg.show();
    auto* pEdit = dlg.findChild<QLineEdit*>(ControlName(IDC_LINE));
    QVERIFY(pEdit);
    QCOMPARE(pEdit->text(), QStringLiteral("42"));

    for (const char* bad : {"abc", "", "1.5", "99999999999"}) {
        pEdit->setText(bad);
        dlg.accept();
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.m_nLine, 42);
    }
    QCOMPARE(recorder.m_messages.size(), 4);
    QCOMPARE(recorder.m_messages.front(), QStringLiteral("Please enter an integer."));

    pEdit->setText(" -7 ");
    dlg.accept();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.m_nLine, -7);
}

void TestQuillonWidgets::menuCommandsRunModalDialogs()
{
    CPromptRecorder recorder;
    EditorPrompts().m_fnRunModal = [](QDialog& dlg) { return dlg.exec(); };
    CMainFrame frame;
    frame.show();

    QStringList captions;
    for (QAction* pAction : frame.findChildren<QAction*>()) {
        if (pAction->data().isValid())
            captions << pAction->text();
    }
    for (const char* caption : {"New", "Open", "Save", "SaveAs", "Exit", "Undo", "Cut", "Copy", "Paste",
                                "Go to", "Find", "&Replace"})
        QVERIFY2(captions.contains(caption), caption);
    for (int nId : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY,
                    ID_EDIT_PASTE, ID_EDIT_GOTO, ID_EDIT_FIND, ID_EDIT_REPLACE})
        QVERIFY(!frame.Action(nId)->shortcut().isEmpty());

    frame.View()->setPlainText(Numbered(10) + "\nfind me");
    // Whatever goes wrong below, no dialog is left blocking the test.
    QTimer::singleShot(5000, [] {
        if (auto* pDlg = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            pDlg->reject();
    });

    // Enter in the line edit presses "Go To".
    QTimer::singleShot(0, [] {
        auto* pDlg = qobject_cast<CGotoDlg*>(QApplication::activeModalWidget());
        QVERIFY(pDlg);
        QCOMPARE(pDlg->windowTitle(), QStringLiteral("Go to"));
        auto* pEdit = pDlg->findChild<QLineEdit*>(ControlName(IDC_LINE));
        pEdit->setText("7");
        QTest::keyClick(pEdit, Qt::Key_Return);
    });
    frame.Action(ID_EDIT_GOTO)->trigger();
    QCOMPARE(frame.View()->m_dlgGoto.m_nLine, 7);
    QCOMPARE(frame.View()->textCursor().block().text(), QStringLiteral("line 7"));

    QTimer::singleShot(0, [] {
        auto* pDlg = qobject_cast<CFindDlg*>(QApplication::activeModalWidget());
        QVERIFY(pDlg);
        auto* pCombo = pDlg->findChild<QComboBox*>(ControlName(IDC_FIND_WHAT));
        pCombo->setEditText("find");
        QTest::keyClick(pCombo, Qt::Key_Return);
    });
    frame.Action(ID_EDIT_FIND)->trigger();
    QCOMPARE(frame.View()->textCursor().selectedText(), QStringLiteral("find"));
    QCOMPARE(frame.View()->textCursor().blockNumber(), 10);
}

void TestQuillonWidgets::findWithoutSelection()
{
    CPromptRecorder recorder;
    CQuillonView view;
    view.setPlainText("alpha beta\nALPHA alpha");
    QString strShown;
    QString strTyped = "alpha";
    recorder.DriveDialogs([&](QDialog& dlg) {
        auto* pCombo = dlg.findChild<QComboBox*>(ControlName(IDC_FIND_WHAT));
        strShown = pCombo->currentText();
        pCombo->setEditText(strTyped);
        QTest::mouseClick(dlg.findChild<QPushButton*>(ControlName(IDC_FIND_NEXT)), Qt::LeftButton);
    });

    view.OnEditFind();
    QCOMPARE(strShown, QString());
    QCOMPARE(view.m_dlgFind.m_strFind, QStringLiteral("alpha"));
    QCOMPARE(view.textCursor().selectionStart(), 0);
    QCOMPARE(view.textCursor().selectedText(), QStringLiteral("alpha"));

    // Without "Match Case" the next one is the upper-case word on line 2.
    view.OnEditFind();
    QCOMPARE(strShown, QStringLiteral("alpha")); // the selection proposes itself
    QCOMPARE(view.textCursor().selectionStart(), 11);
    view.OnEditFind();
    QCOMPARE(view.textCursor().selectionStart(), 17);
    // Past the last one the search starts again at the top.
    view.OnEditFind();
    QCOMPARE(view.textCursor().selectionStart(), 0);
    QCOMPARE(recorder.m_nBeeps, 0);

    // Not found: beep, selection unchanged.
    strTyped = "gamma";
    view.moveCursor(QTextCursor::End);
    view.OnEditFind();
    QCOMPARE(recorder.m_nBeeps, 1);
    QVERIFY(!view.textCursor().hasSelection());
    QCOMPARE(view.m_dlgFind.m_strFind, QStringLiteral("gamma"));
}

void TestQuillonWidgets::findWithSelectionAndMatchCase()
{
    CPromptRecorder recorder;
    CQuillonView view;
    view.setPlainText("Beta beta BETA beta");
    view.m_dlgFind.m_strFind = "previous";
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(5);
    cursor.setPosition(9, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);

    QString strShown;
    recorder.DriveDialogs([&](QDialog& dlg) {
        strShown = dlg.findChild<QComboBox*>(ControlName(IDC_FIND_WHAT))->currentText();
        dlg.findChild<QCheckBox*>(ControlName(IDC_MATCH_CASE))->setChecked(true);
        QTest::mouseClick(dlg.findChild<QPushButton*>(ControlName(IDC_FIND_NEXT)), Qt::LeftButton);
    });
    view.OnEditFind();
    QCOMPARE(strShown, QStringLiteral("beta"));
    QCOMPARE(view.m_dlgFind.m_bMatchCase, 1);
    // Case-sensitive: "BETA" is passed over.
    QCOMPARE(view.textCursor().selectionStart(), 15);
    view.OnEditFind();
    QCOMPARE(view.textCursor().selectionStart(), 5);

    // A selection over two lines proposes its first line only.
    view.setPlainText("first\nsecond");
    view.selectAll();
    view.OnEditFind();
    QCOMPARE(strShown, QStringLiteral("first"));
}

void TestQuillonWidgets::findNextOnEmptyTextBeepsAndCancelRestores()
{
    CPromptRecorder recorder;
    CQuillonView view;
    view.setPlainText("one two three");
    view.m_dlgFind.m_strFind = "two";

    bool bStayedOpen = false;
    recorder.DriveDialogs([&](QDialog& dlg) {
        dlg.findChild<QComboBox*>(ControlName(IDC_FIND_WHAT))->setEditText(QString());
        QTest::mouseClick(dlg.findChild<QPushButton*>(ControlName(IDC_FIND_NEXT)), Qt::LeftButton);
        bStayedOpen = dlg.isVisible() && dlg.result() != QDialog::Accepted;
        QTest::mouseClick(dlg.findChild<QPushButton*>("cancel"), Qt::LeftButton);
    });
    view.OnEditFind();
    QVERIFY(bStayedOpen);
    QCOMPARE(recorder.m_nBeeps, 1);
    QCOMPARE(view.m_dlgFind.m_strFind, QStringLiteral("two")); // Cancel put it back
    QVERIFY(!view.textCursor().hasSelection());

    // Cancel after a selection proposed itself restores the earlier text too.
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(8);
    cursor.setPosition(13, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    QString strShown;
    recorder.DriveDialogs([&](QDialog& dlg) {
        strShown = dlg.findChild<QComboBox*>(ControlName(IDC_FIND_WHAT))->currentText();
        dlg.reject();
    });
    view.OnEditFind();
    QCOMPARE(strShown, QStringLiteral("three"));
    QCOMPARE(view.m_dlgFind.m_strFind, QStringLiteral("two"));
    QCOMPARE(view.textCursor().selectedText(), QStringLiteral("three"));

    // Enter closes with OK without the empty test; an empty text searches nothing.
    recorder.DriveDialogs([&](QDialog& dlg) {
        auto* pCombo = dlg.findChild<QComboBox*>(ControlName(IDC_FIND_WHAT));
        pCombo->setEditText(QString());
        QTest::keyClick(pCombo, Qt::Key_Return);
    });
    view.OnEditFind();
    QCOMPARE(view.m_dlgFind.m_strFind, QString());
    QCOMPARE(view.textCursor().selectedText(), QStringLiteral("three"));
    QCOMPARE(recorder.m_nBeeps, 1);
}

void TestQuillonWidgets::findAndGotoDisabledOnEmptyDocument()
{
    CPromptRecorder recorder;
    CMainFrame frame;
    frame.show();
    QAction* pGoto = frame.Action(ID_EDIT_GOTO);
    QAction* pFind = frame.Action(ID_EDIT_FIND);
    QCOMPARE(frame.windowTitle(), QStringLiteral("Untitled - Quillon"));
    QVERIFY(!pGoto->isEnabled());
    QVERIFY(!pFind->isEnabled());

    QTest::keyClicks(frame.View(), "x");
    QVERIFY(pGoto->isEnabled());
    QVERIFY(pFind->isEnabled());
    QTest::keyClick(frame.View(), Qt::Key_Backspace);
    QVERIFY(!pGoto->isEnabled());
    QVERIFY(!pFind->isEnabled());

    // Opening an empty file leaves them disabled; a file with text enables them.
    QTemporaryDir dir;
    WriteAll(dir.filePath("empty"), QByteArray());
    WriteAll(dir.filePath("full"), "text");
    recorder.m_answers = {QMessageBox::No}; // the typing left the document changed
    QVERIFY(frame.OpenDocumentFile(dir.filePath("full")));
    QVERIFY(pGoto->isEnabled() && pFind->isEnabled());
    QCOMPARE(frame.windowTitle(), QStringLiteral("full - Quillon"));
    QVERIFY(frame.OpenDocumentFile(dir.filePath("empty")));
    QVERIFY(!pGoto->isEnabled() && !pFind->isEnabled());
}

void TestQuillonWidgets::viewKeepsBytesAndLineEnds()
{
    CPromptRecorder recorder;
    CQuillonView view;

    // Every byte value through the edit control and back.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    view.SetBytes(all + all);
    QCOMPARE(view.GetBytes(), all + all);
    QCOMPARE(view.toPlainText().size() > 0, true);

    // Mixed ends, no end on the last line.
    const QByteArray mixed("one\r\ntwo\nthree\rfour\r\nfive");
    view.SetBytes(mixed);
    QCOMPARE(view.blockCount(), 5);
    QCOMPARE(view.GetBytes(), mixed);
    QCOMPARE(view.UsualLineEnd(), ELineEnd::CrLf);

    // Typing inside lines keeps every end; a new line gets the usual end.
    QTextCursor cursor(view.document()->findBlockByNumber(1));
    cursor.insertText("2 ");
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.insertText("\n");
    cursor.insertText("inserted");
    QCOMPARE(view.GetBytes(), QByteArray("one\r\n2 two\ninserted\r\nthree\rfour\r\nfive"));

    // Joining two lines drops exactly the end between them.
    view.SetBytes(mixed);
    cursor = QTextCursor(view.document()->findBlockByNumber(2));
    cursor.deletePreviousChar();
    QCOMPARE(view.GetBytes(), QByteArray("one\r\ntwothree\rfour\r\nfive"));

    // Uniform files stay uniform when lines are added by Enter.
    for (const QByteArray& uniform : {QByteArray("a\nb\n"), QByteArray("a\rb\r"), QByteArray("a\r\nb\r\n")}) {
        view.SetBytes(uniform);
        view.moveCursor(QTextCursor::End);
        QTest::keyClicks(&view, "c");
        QTest::keyClick(&view, Qt::Key_Return);
        const QByteArray end = uniform.mid(1, uniform.indexOf('b') - 1);
        QCOMPARE(view.GetBytes(), QByteArray("a" + end + "b" + end + "c" + end));
    }

    // A new document writes CR LF, the line end of the handheld's edit control.
    view.NewText();
    QTest::keyClicks(&view, "x");
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::keyClicks(&view, "y");
    QCOMPARE(view.GetBytes(), QByteArray("x\r\ny"));

    // An empty file reads as nothing and writes nothing.
    view.SetBytes(QByteArray());
    QVERIFY(view.IsEmptyText());
    QVERIFY(view.GetBytes().isEmpty());
}

namespace {

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

void TestQuillonWidgets::saveFailureKeepsOldFileAndText()
{
    CPromptRecorder recorder;
    QTemporaryDir dir;
    const QString strPath = dir.filePath("data.txt");
    WriteAll(strPath, "old\r\n");
    CMainFrame frame;
    QVERIFY(frame.OpenDocumentFile(strPath));
    const QString strNew = QString(5000, QLatin1Char('n'));
    frame.View()->moveCursor(QTextCursor::End);
    frame.View()->insertPlainText(strNew);
    QVERIFY(frame.Document()->IsModified());

    {
        CFileSizeLimit limit(1000);
        QVERIFY(!frame.OnFileSave());
    }
    QCOMPARE(recorder.m_messages.size(), 1);
    QVERIFY(recorder.m_messages.front().startsWith("Failed to save document."));
    QVERIFY(recorder.m_messages.front().contains(strPath));
    QCOMPARE(ReadAll(strPath), QByteArray("old\r\n"));
    QCOMPARE(frame.View()->toPlainText(), QString("old\n" + strNew));
    QVERIFY(frame.Document()->IsModified());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"data.txt"});

    // Save As into a folder that does not exist: the name stays the old one.
    recorder.m_strFileName = dir.filePath("missing/other.txt");
    QVERIFY(!frame.OnFileSaveAs());
    QCOMPARE(frame.Document()->GetPathName(), strPath);
    QCOMPARE(recorder.m_messages.size(), 2);

    // Once the disk takes it, the save goes through and the file is replaced.
    QVERIFY(frame.OnFileSave());
    QCOMPARE(ReadAll(strPath), QByteArray("old\r\n" + strNew.toLatin1()));
    QVERIFY(!frame.Document()->IsModified());
}

void TestQuillonWidgets::openFailureKeepsText()
{
    CPromptRecorder recorder;
    QTemporaryDir dir;
    CMainFrame frame;
    frame.View()->setPlainText("keep me");
    frame.View()->document()->setModified(false);
    const QString strMissing = dir.filePath("nothing-here.txt");
    QVERIFY(!frame.OpenDocumentFile(strMissing));
    QVERIFY(!frame.OpenDocumentFile(dir.path()));
    QCOMPARE(recorder.m_messages.size(), 2);
    QVERIFY(recorder.m_messages.front().startsWith("Failed to open document."));
    QVERIFY(recorder.m_messages.front().contains(strMissing));
    QCOMPARE(frame.View()->toPlainText(), QStringLiteral("keep me"));
    QCOMPARE(frame.windowTitle(), QStringLiteral("Untitled - Quillon"));
}

void TestQuillonWidgets::charactersAboveLatin1WarnBeforeSaving()
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
    QCOMPARE(recorder.m_questions.size(), 2);
    QCOMPARE(ReadAll(strPath), QByteArray("\xAC 5\r\nA\r\nx"));

    // Reopened, the characters are those of the low bytes; no warning any more.
    QVERIFY(frame.OpenDocumentFile(strPath));
    QCOMPARE(frame.View()->toPlainText(), QString::fromUtf16(u"\u00AC 5\nA\nx"));
    QVERIFY(frame.OnFileSave());
    QCOMPARE(recorder.m_questions.size(), 2);
    // Neither loading nor saving leaves a "temp" file behind.
    QVERIFY(!QFile::exists(dir.filePath("temp")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"euro.txt"});
    QDir::setCurrent(QDir::tempPath());
}

void TestQuillonWidgets::promptsToSaveChangedDocument()
{
    CPromptRecorder recorder;
    QTemporaryDir dir;
    CMainFrame frame;
    QTest::keyClicks(frame.View(), "draft");

    recorder.m_answers = {QMessageBox::Cancel};
    frame.OnFileNew();
    QCOMPARE(recorder.m_questions, QStringList{"Save changes to Untitled?"});
    QCOMPARE(frame.View()->toPlainText(), QStringLiteral("draft"));

    // Closing: Yes saves through "Save As" and then closes.
    frame.show();
    recorder.m_strFileName = dir.filePath("draft.txt");
    recorder.m_answers = {QMessageBox::Yes};
    QVERIFY(frame.close());
    QCOMPARE(ReadAll(dir.filePath("draft.txt")), QByteArray("draft"));
    QCOMPARE(frame.windowTitle(), QStringLiteral("draft.txt - Quillon"));

    // No throws the change away.
    QTest::keyClicks(frame.View(), "!");
    recorder.m_answers = {QMessageBox::No};
    frame.OnFileNew();
    QCOMPARE(recorder.m_questions.last(), "Save changes to " + dir.filePath("draft.txt") + "?");
    QVERIFY(frame.View()->IsEmptyText());
    QCOMPARE(frame.windowTitle(), QStringLiteral("Untitled - Quillon"));
    QCOMPARE(ReadAll(dir.filePath("draft.txt")), QByteArray("draft"));

    // An unchanged document is not asked about.
    const int nAsked = recorder.m_questions.size();
    frame.OnFileNew();
    QCOMPARE(recorder.m_questions.size(), nAsked);
}

void TestQuillonWidgets::replaceAll()
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

    // Through the dialog: Replace swaps the selected match and moves to the next one.
    pView->setPlainText("cat dog cat");
    pView->moveCursor(QTextCursor::Start);
    frame.Action(ID_EDIT_REPLACE)->trigger();
    CReplaceDlg* pDlg = pView->ReplaceDialog();
    QVERIFY(pDlg && pDlg->isVisible());
    pDlg->findChild<QLineEdit*>("findWhat")->setText("cat");
    pDlg->findChild<QLineEdit*>("replaceWith")->setText("cow");
    QTest::mouseClick(pDlg->findChild<QPushButton*>("replace"), Qt::LeftButton);
    QCOMPARE(pView->textCursor().selectionStart(), 0);
    QTest::mouseClick(pDlg->findChild<QPushButton*>("replace"), Qt::LeftButton);
    QCOMPARE(pView->toPlainText(), QStringLiteral("cow dog cat"));
    QCOMPARE(pView->textCursor().selectionStart(), 8);
    QTest::mouseClick(pDlg->findChild<QPushButton*>("replaceAll"), Qt::LeftButton);
    QCOMPARE(pView->toPlainText(), QStringLiteral("cow dog cow"));
}

void TestQuillonWidgets::commandLineArgument()
{
    QCOMPARE(CQuillonApp::FileArgument({"quillon"}), QString());
    QCOMPARE(CQuillonApp::FileArgument({"quillon", "-x", "my file.txt", "other"}), QStringLiteral("my file.txt"));
}

QTEST_MAIN(TestQuillonWidgets)
#include "QuillonWidgetTest.moc"
