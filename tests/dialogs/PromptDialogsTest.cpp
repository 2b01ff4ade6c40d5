#include "DialogTestUtil.h"
#include "dialogs/NameDlg.h"
#include "dialogs/QtPrompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"
#include "support/ScriptedPrompt.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Runs action on the next modal window once it is up.
void OnModal(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, [action] {
        QWidget* modal = nullptr;
        QTRY_VERIFY((modal = QApplication::activeModalWidget()) != nullptr);
        action(modal);
    });
}

// Answers a dialog with a button (by id) or, for button 0, a key.
void Answer(QWidget* dlg, int button, int key)
{
    if (button)
        QTest::mouseClick(Control<QPushButton>(dlg, button), Qt::LeftButton);
    else
        QTest::keyClick(dlg, Qt::Key(key));
}

} // namespace

// The prompt dialogs, shown modally by the Qt prompt service.
class PromptDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void nameRefusesOnlyExactDuplicates_data()
    {
        QTest::addColumn<bool>("withList");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("accepted"); // null: refused with "Duplicate name"
        const QStringList names = {"Data", "Job1"};
        QTest::newRow("duplicate") << true << names << "Job1" << QString();
        QTest::newRow("blanks do not hide a duplicate") << true << names << "  Job1 " << QString();
        QTest::newRow("other case") << true << names << " job1"
                                    << "job1";
        QTest::newRow("no list") << false << QStringList() << "Job1"
                                 << "Job1";
        QTest::newRow("empty list") << true << QStringList() << "Job1"
                                    << "Job1";
        QTest::newRow("16 characters at most") << true << names << "0123456789abcdefghij"
                                               << "0123456789abcdef";
    }

    void nameRefusesOnlyExactDuplicates()
    {
        QFETCH(bool, withList);
        QFETCH(QStringList, existing);
        QFETCH(QString, typed);
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
        // Both Enter keys accept.
        QTest::keyClick(edit, accepted.isNull() ? Qt::Key_Return : Qt::Key_Enter);
        const bool refused = accepted.isNull();
        QCOMPARE(dlg.isVisible(), refused);
        QCOMPARE(dlg.result(), refused ? 0 : int(QDialog::Accepted));
        QCOMPARE(prompt.m_shown.size(), refused ? 1 : 0);
        if (refused)
            QVERIFY(prompt.m_shown.first().endsWith(QStringLiteral("Duplicate name")));
        QCOMPARE(dlg.m_strName, refused ? QStringLiteral("Proposal") : accepted);
    }

    void nameProposalAndCancel()
    {
        CNameDlg dlg;
        dlg.m_strTitle = QStringLiteral("New codelist name");
        dlg.m_strName = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        dlg.show();
        QCOMPARE(dlg.windowTitle(), dlg.m_strTitle);
        QCOMPARE(Control<QLineEdit>(&dlg, 1022)->text(), QStringLiteral("ABCDEFGHIJKLMNOP"));
        Control<QLineEdit>(&dlg, 1022)->setText(QStringLiteral("Other"));
        QTest::mouseClick(Control<QPushButton>(&dlg, 2), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.m_strName, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));

        // Enter while "Cancel" has the focus cancels rather than accepts.
        CNameDlg focused;
        focused.show();
        QVERIFY(QTest::qWaitForWindowActive(&focused));
        auto* cancel = Control<QPushButton>(&focused, 2);
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
        QCOMPARE(focused.result(), int(QDialog::Rejected));
    }

    void messageBoxAnswersAndCaption()
    {
        CQtPrompt prompt;
        QStringList shown; // caption and text
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Qt::CursorShape cursor = Qt::BlankCursor;
        auto ask = [&](QMessageBox::StandardButton click, const QString& caption, int buttons, int iconId) {
            OnModal([&, click](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box);
                shown = QStringList({box->windowTitle(), box->text()});
                icon = box->icon();
                cursor =
                    QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : Qt::BlankCursor;
                box->button(click)->click();
            });
            return prompt.MessageBox(QStringLiteral("Delete Job"), caption, buttons, iconId);
        };
        QCOMPARE(ask(QMessageBox::Yes, QString(), MB_YESNO, MB_ICONQUESTION), int(IDYES));
        QCOMPARE(shown, QStringList({AppTitle(), "Delete Job"}));
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(ask(QMessageBox::No, "Warning", MB_YESNO, MB_ICONWARNING), int(IDNO));
        QCOMPARE(shown.first(), QStringLiteral("Warning"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(ask(QMessageBox::Ok, "Error", MB_OK, MB_ICONERROR), int(IDOK));
        QCOMPARE(icon, QMessageBox::Critical);
        // Asked in the middle of a long operation: the normal cursor while the
        // question waits, the wait cursor again afterwards.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QCOMPARE(ask(QMessageBox::Ok, "Error", MB_OK, MB_ICONERROR), int(IDOK));
        QCOMPARE(cursor, Qt::ArrowCursor);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
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

        QString duplicateText;
        QString duplicateOwner;
        OnModal([&](QWidget* nameDlg) {
            QCOMPARE(nameDlg->windowTitle(), QStringLiteral("Rename"));
            // The duplicate message comes up over the Name dialog.
            OnModal([&, nameDlg](QWidget* box) {
                duplicateText = qobject_cast<QMessageBox*>(box)->text();
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
        QCOMPARE(duplicateText, LoadString(IDS_DUPLICATE_NAME));
        QCOMPARE(duplicateOwner, QStringLiteral("Rename"));

        OnModal([](QWidget* nameDlg) { QTest::keyClick(nameDlg, Qt::Key_Escape); });
        request.m_strName = QStringLiteral("Job9");
        QVERIFY(!prompt.AskName(request));
        QCOMPARE(request.m_strName, QStringLiteral("Job9"));
    }

    void fileExistSetsOneFlag_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("key");
        QTest::addColumn<QList<bool>>("flags"); // overwrite, skip, cancel
        QTest::newRow("Owerwrite") << 1030 << 0 << QList<bool>({true, false, false});
        QTest::newRow("Skip") << 1031 << 0 << QList<bool>({false, true, false});
        QTest::newRow("Cancel") << 3 << 0 << QList<bool>({false, false, true});
        QTest::newRow("Enter") << 0 << int(Qt::Key_Return) << QList<bool>({true, false, false});
        QTest::newRow("Escape") << 0 << int(Qt::Key_Escape) << QList<bool>({false, false, false});
    }

    void fileExistSetsOneFlag()
    {
        QFETCH(int, button);
        QFETCH(int, key);
        QFETCH(QList<bool>, flags);
        CQtPrompt prompt;
        QString shown;
        OnModal([&](QWidget* dlg) {
            shown = Control<QLabel>(dlg, 1032)->text();
            Answer(dlg, button, key);
        });
        const CFileExistAnswer answer = prompt.AskFileExist(QStringLiteral("Data\\Job1.txt"));
        QCOMPARE(shown, QStringLiteral("Data\\Job1.txt"));
        QCOMPARE(QList<bool>({answer.m_bOverwrite, answer.m_bSkip, answer.m_bCancel}), flags);
    }

    void errorContinueOrAbort()
    {
        const struct
        {
            int button;
            int key;
            bool goOn;
        } cases[] = {
            {1, 0, true},
            {2, 0, false},
            {0, Qt::Key_Return, true},
            {0, Qt::Key_Escape, false},
        };
        CQtPrompt prompt;
        for (const auto& c : cases) {
            QString shown;
            OnModal([&](QWidget* dlg) {
                shown = Control<QPlainTextEdit>(dlg, 1033)->toPlainText();
                Answer(dlg, c.button, c.key);
            });
            QCOMPARE(prompt.AskError(QStringLiteral("Can not open file\nData\\Job1.txt")), c.goOn);
            QCOMPARE(shown, QStringLiteral("Can not open file\nData\\Job1.txt"));
        }
    }

    // Enter in the name field is OK; an empty name keeps the dialog open (and
    // Escape then cancels). choose: the format the user picks before pressing OK.
    void dataDownloadResultNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<QString>("preselect");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("choose");
        QTest::addColumn<int>("index");
        const QStringList formats = {"TQS", "VRN", "XYZ 8  "};
        QTest::newRow("extension replaced") << "job1.txt" << formats << "VRN"
                                            << "job1.VRN" << -1 << 1;
        QTest::newRow("extension added") << "job1" << formats << "VRN"
                                         << "job1.VRN" << -1 << 1;
        QTest::newRow("last dot only") << "a.b.c" << formats << "VRN"
                                       << "a.b.VRN" << -1 << 1;
        QTest::newRow("nothing before the dot") << ".txt" << formats << "VRN"
                                                << "" << -1 << 1;
        QTest::newRow("no format selected") << "name" << formats << "QQQ"
                                            << "name." << -1 << -1;
        QTest::newRow("no formats at all") << "name.txt" << QStringList() << "VRN"
                                           << "name." << -1 << -1;
        QTest::newRow("trailing blanks of the format go") << "job2" << formats << "XYZ"
                                                          << "job2.XYZ 8" << -1 << 2;
        QTest::newRow("preselect by prefix, any case") << "job3" << formats << "vr"
                                                       << "job3.VRN" << -1 << 1;
        QTest::newRow("first match wins") << "job4" << QStringList({"VRN", "VRN2"}) << "VRN"
                                          << "job4.VRN" << -1 << 0;
        QTest::newRow("user's choice") << "out" << QStringList({"VRN", "TQS", "ASCII"}) << "VRN"
                                       << "out.ASCII" << 2 << 2;
        QTest::newRow("empty name stays open") << "" << formats << "VRN"
                                               << "" << -1 << 1;
        // The instrument's first format row is a free slot: nothing to preselect.
        QTest::newRow("empty preselection selects nothing") << "job5" << formats << ""
                                                            << "job5." << -1 << -1;
    }

    void dataDownloadResultNames()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, formats);
        QFETCH(QString, preselect);
        QFETCH(QString, result);
        QFETCH(int, choose);
        QFETCH(int, index);
        CQtPrompt prompt;
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
            if (choose >= 0) {
                Control<QComboBox>(dlg, 1021)->setCurrentIndex(choose);
                QTest::mouseClick(Control<QPushButton>(dlg, 1), Qt::LeftButton);
            } else {
                QTest::keyClick(edit, Qt::Key_Return);
            }
            stayedOpen = dlg->isVisible();
            if (stayedOpen)
                QTest::keyClick(dlg, Qt::Key_Escape);
        });
        QCOMPARE(prompt.AskDataDownload(request), !name.isEmpty());
        QCOMPARE(shown, name);
        QCOMPARE(stayedOpen, name.isEmpty());
        if (name.isEmpty()) {
            QCOMPARE(request.m_strResultName, QStringLiteral("untouched"));
        } else {
            QCOMPARE(request.m_strResultName, result);
            QCOMPARE(request.m_nSelectedFormat, index);
        }
    }
};

QTEST_MAIN(PromptDialogsTest)
#include "PromptDialogsTest.moc"
