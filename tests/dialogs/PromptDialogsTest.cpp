#include "DialogTestUtil.h"
#include "dialogs/NameDlg.h"
#include "dialogs/QtPrompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"
#include "support/ScriptedPrompt.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

// The prompt dialogs, shown modally by the Qt prompt service.
class PromptDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void nameRefusesOnlyExactDuplicates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("withList");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("accepted"); // null: refused with "Duplicate name"
        const QStringList names = {"Data", "Job1"};
        QTest::newRow("blanks do not hide a duplicate") << "  Job1 " << true << names << QString();
        QTest::newRow("other case") << " job1" << true << names << QStringLiteral("job1");
        QTest::newRow("no list") << "Job1" << false << QStringList() << QStringLiteral("Job1");
        QTest::newRow("empty list") << "Job1" << true << QStringList() << QStringLiteral("Job1");
        QTest::newRow("16 characters at most")
            << "0123456789abcdefghij" << true << names << QStringLiteral("0123456789abcdef");
    }

    // Typed over a proposal; both Enter keys accept.
    void nameRefusesOnlyExactDuplicates()
    {
        QFETCH(QString, typed);
        QFETCH(bool, withList);
        QFETCH(QStringList, existing);
        QFETCH(QString, accepted);
        CScriptedPrompt prompt;
        CScopedServices services(nullptr, &prompt, nullptr);
        CNameDlg dlg;
        dlg.m_strName = QStringLiteral("Proposal");
        dlg.m_pExistingNames = withList ? &existing : nullptr;
        dlg.show();
        auto* edit = Control<QLineEdit>(&dlg, 1022);
        edit->clear();
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), typed.left(16));
        const bool refused = accepted.isNull();
        QTest::keyClick(edit, refused ? Qt::Key_Return : Qt::Key_Enter);
        QCOMPARE(dlg.isVisible(), refused);
        QCOMPARE(dlg.result(), refused ? 0 : int(QDialog::Accepted));
        QCOMPARE(prompt.m_shown, refused ? QStringList(": Duplicate name") : QStringList());
        QCOMPARE(dlg.m_strName, refused ? QStringLiteral("Proposal") : accepted);
    }

    // Caption (the program's when none is given), icon and answer; asked
    // during a long operation, the normal cursor while the question waits;
    // afterwards the main window's focus widget has the keyboard again.
    void messageBoxAnswersAndCaption()
    {
        const struct
        {
            QMessageBox::StandardButton click;
            const char* caption;
            int buttons, icon, answer;
            QMessageBox::Icon shownIcon;
        } rows[] = {
            {QMessageBox::Yes, "", MB_YESNO, MB_ICONQUESTION, IDYES, QMessageBox::Question},
            {QMessageBox::No, "Warning", MB_YESNO, MB_ICONWARNING, IDNO, QMessageBox::Warning},
            {QMessageBox::Ok, "Error", MB_OK, MB_ICONERROR, IDOK, QMessageBox::Critical},
        };
        QWidget main;
        auto* tree = new QLineEdit(&main);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QApplication::setActiveWindow(&main);
        tree->setFocus();
        CQtPrompt prompt;
        prompt.SetMainWindow(&main);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        for (const auto& row : rows) {
            QStringList shown; // caption, text, icon, cursor
            OnModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box);
                shown << box->windowTitle() << box->text() << QString::number(box->icon())
                      << QString::number(QGuiApplication::overrideCursor()->shape());
                box->button(row.click)->click();
            });
            QCOMPARE(prompt.MessageBox(QStringLiteral("Delete Job"), row.caption, row.buttons, row.icon), row.answer);
            QCOMPARE(shown,
                     QStringList({*row.caption ? row.caption : AppTitle(), "Delete Job", QString::number(row.shownIcon),
                                  QString::number(Qt::ArrowCursor)}));
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
            QTRY_COMPARE(QApplication::focusWidget(), tree);
        }
        QGuiApplication::restoreOverrideCursor();
    }

    void askNameShowsDuplicateOverTheDialog()
    {
        CQtPrompt prompt;
        CScopedServices services(nullptr, &prompt, nullptr);
        CNameRequest request;
        request.m_strTitle = QStringLiteral("Rename");
        request.m_strPrompt = QStringLiteral("Enter new name");
        request.m_strName = QStringLiteral("Job1");
        request.m_existingNames = QStringList({"Job1", "Job2"});

        QString duplicateOwner;
        OnModal([&](QWidget* nameDlg) {
            QCOMPARE(nameDlg->windowTitle(), QStringLiteral("Rename"));
            // The duplicate message comes up over the Name dialog.
            OnModal([&, nameDlg](QWidget* box) {
                if (box->parentWidget())
                    duplicateOwner = box->parentWidget()->windowTitle();
                qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
                auto* edit = Control<QLineEdit>(nameDlg, 1022);
                edit->setText(QStringLiteral("Job3"));
                QTest::keyClick(edit, Qt::Key_Return);
            });
            QTest::keyClick(Control<QLineEdit>(nameDlg, 1022), Qt::Key_Return);
        });
        QVERIFY(prompt.AskName(request));
        QCOMPARE(request.m_strName, QStringLiteral("Job3"));
        QCOMPARE(duplicateOwner, QStringLiteral("Rename"));

        // The proposal is cut to 16 characters; Escape, or Enter while
        // "Cancel" has the focus, keeps the name given.
        for (bool escape : {true, false}) {
            QString proposed;
            OnModal([&](QWidget* nameDlg) {
                auto* edit = Control<QLineEdit>(nameDlg, 1022);
                proposed = edit->text();
                edit->setText(QStringLiteral("Other"));
                auto* cancel = Control<QPushButton>(nameDlg, 2);
                cancel->setFocus();
                escape ? QTest::keyClick(nameDlg, Qt::Key_Escape) : QTest::keyClick(cancel, Qt::Key_Return);
            });
            request.m_strName = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
            QVERIFY(!prompt.AskName(request));
            QCOMPARE(proposed, QStringLiteral("ABCDEFGHIJKLMNOP"));
            QCOMPARE(request.m_strName, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
        }
    }

    // Each answer, by button (by id) or key (button 0), of the File Exists
    // dialog (one flag: overwrite, skip, cancel) and of the Error dialog (go on).
    void fileExistAndErrorAnswers()
    {
        const struct
        {
            bool fileExist;
            int button, key;
            QList<bool> answer;
        } rows[] = {
            {true, 1030, 0, {true, false, false}}, // "Owerwrite"
            {true, 1031, 0, {false, true, false}},
            {true, 3, 0, {false, false, true}},
            {true, 0, Qt::Key_Return, {true, false, false}},
            {true, 0, Qt::Key_Escape, {false, false, false}},
            {false, 1, 0, {true}},
            {false, 2, 0, {false}},
            {false, 0, Qt::Key_Return, {true}},
            {false, 0, Qt::Key_Escape, {false}},
        };
        CQtPrompt prompt;
        const QString file = QStringLiteral("Data\\Job1.txt"), error = "Can not open file\n" + file;
        for (const auto& row : rows) {
            QString shown;
            OnModal([&](QWidget* dlg) {
                shown = row.fileExist ? Control<QLabel>(dlg, 1032)->text()
                                      : Control<QPlainTextEdit>(dlg, 1033)->toPlainText();
                row.button ? QTest::mouseClick(Control<QPushButton>(dlg, row.button), Qt::LeftButton)
                           : QTest::keyClick(dlg, Qt::Key(row.key));
            });
            QList<bool> answer;
            if (row.fileExist) {
                const CFileExistAnswer flags = prompt.AskFileExist(file);
                answer = {flags.m_bOverwrite, flags.m_bSkip, flags.m_bCancel};
            } else {
                answer = {prompt.AskError(error)};
            }
            QCOMPARE(answer, row.answer);
            QCOMPARE(shown, row.fileExist ? file : error);
        }
    }

    // Enter in the name field is OK; an empty name keeps the dialog open (and
    // Escape then cancels). choose: the format the user picks before pressing
    // OK; index: the format selected.
    void dataDownloadResultNames()
    {
        const QStringList three = {"TQS", "VRN", "XYZ 8  "};
        const struct
        {
            QString name;
            QStringList formats;
            QString preselect;
            int choose;
            QString result;
            int index;
        } rows[] = {
            {"job1", three, "VRN", -1, "job1.VRN", 1},                  // extension added
            {"name", three, "QQQ", -1, "name.", -1},                    // no format selected
            {"name.txt", {}, "VRN", -1, "name.", -1},                   // no formats at all
            {"job2", three, "XYZ", -1, "job2.XYZ 8", 2},                // trailing blanks of the format go
            {"job3", three, "vr", -1, "job3.VRN", 1},                   // preselect by prefix, any case
            {"job4", {"VRN", "VRN2"}, "VRN", -1, "job4.VRN", 0},        // first match wins
            {"out", {"VRN", "TQS", "ASCII"}, "VRN", 2, "out.ASCII", 2}, // the user's choice
            {"", three, "VRN", -1, "", 1},                              // an empty name stays open
            // The instrument's first format row is a free slot: nothing to preselect.
            {"job5", three, "", -1, "job5.", -1},
        };
        CQtPrompt prompt;
        for (const auto& [name, formats, preselect, choose, result, index] : rows) {
            CDataDownloadRequest request;
            request.m_strName = name;
            request.m_formatNames = formats;
            request.m_strSelectedFormat = preselect;
            request.m_strResultName = QStringLiteral("untouched");
            QString shown;
            bool stayedOpen = false;
            OnModal([&](QWidget* dlg) {
                auto* edit = Control<QLineEdit>(dlg, 1014);
                shown = edit->text();
                if (choose >= 0)
                    Control<QComboBox>(dlg, 1021)->setCurrentIndex(choose);
                QTest::keyClick(edit, Qt::Key_Return);
                if ((stayedOpen = dlg->isVisible()))
                    QTest::keyClick(dlg, Qt::Key_Escape);
            });
            QCOMPARE(prompt.AskDataDownload(request), !name.isEmpty());
            QCOMPARE(shown, name);
            QCOMPARE(stayedOpen, name.isEmpty());
            QCOMPARE(request.m_strResultName, name.isEmpty() ? QStringLiteral("untouched") : result);
            if (!name.isEmpty())
                QCOMPARE(request.m_nSelectedFormat, index);
        }
    }
};

QTEST_MAIN(PromptDialogsTest)
#include "PromptDialogsTest.moc"
