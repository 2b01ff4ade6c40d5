#include "DialogTestUtil.h"
#include "dialogs/ErrorDlg.h"
#include "dialogs/FileExistDlg.h"
#include "dialogs/NameDlg.h"
#include "platform/ScriptedPrompt.h"
#include "platform/Services.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class PromptDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void nameRefusesOnlyExactDuplicates()
    {
        CScriptedPrompt prompt;
        CScopedServices services(nullptr, &prompt, nullptr);
        const QStringList existing = {QStringLiteral("Data"), QStringLiteral("Job1")};

        CNameDlg dlg;
        dlg.m_strPrompt = QStringLiteral("New job name");
        dlg.m_strName = QStringLiteral("Job1");
        dlg.m_pExistingNames = &existing;
        dlg.show();
        auto* edit = Control<QLineEdit>(&dlg, 1022);
        QCOMPARE(Control<QLabel>(&dlg, 1023)->text(), QStringLiteral("New job name"));
        QCOMPARE(edit->text(), QStringLiteral("Job1"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Name"));

        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
        QCOMPARE(prompt.m_shown.size(), 1);
        QVERIFY(prompt.m_shown.first().endsWith(QStringLiteral("Duplicate name")));

        // Blanks around a name do not hide a duplicate.
        edit->setText(QStringLiteral("  Job1 "));
        QTest::keyClick(edit, Qt::Key_Enter);
        QVERIFY(dlg.isVisible());
        QCOMPARE(prompt.m_shown.size(), 2);

        edit->setText(QStringLiteral(" job1"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_strName, QStringLiteral("job1"));
        QCOMPARE(prompt.m_shown.size(), 2);
    }

    void nameWithoutExistingNamesAcceptsAnything()
    {
        CScriptedPrompt prompt;
        CScopedServices services(nullptr, &prompt, nullptr);
        const QStringList none;
        for (const QStringList* names : {static_cast<const QStringList*>(nullptr), &none}) {
            CNameDlg dlg;
            dlg.m_strName = QStringLiteral("Job1");
            dlg.m_pExistingNames = names;
            dlg.show();
            dlg.accept();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(dlg.m_strName, QStringLiteral("Job1"));
        }
        QVERIFY(prompt.m_shown.isEmpty());
    }

    void nameIsLimitedToSixteenCharacters()
    {
        CNameDlg dlg;
        dlg.m_strTitle = QStringLiteral("New codelist name");
        dlg.m_strName = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("New codelist name"));
        auto* edit = Control<QLineEdit>(&dlg, 1022);
        QCOMPARE(edit->text(), QStringLiteral("ABCDEFGHIJKLMNOP"));
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("0123456789abcdefghij"));
        QCOMPARE(edit->text(), QStringLiteral("0123456789abcdef"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_strName, QStringLiteral("0123456789abcdef"));
    }

    void nameCancelKeepsTheProposal()
    {
        CNameDlg dlg;
        dlg.m_strName = QStringLiteral("MyJob3");
        dlg.show();
        Control<QLineEdit>(&dlg, 1022)->setText(QStringLiteral("Other"));
        QTest::mouseClick(Control<QPushButton>(&dlg, 2), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.m_strName, QStringLiteral("MyJob3"));

        // Enter while "Cancel" has the focus cancels rather than accepts.
        CNameDlg focused;
        focused.m_strName = QStringLiteral("MyJob4");
        focused.show();
        QVERIFY(QTest::qWaitForWindowActive(&focused));
        auto* cancel = Control<QPushButton>(&focused, 2);
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
        QCOMPARE(focused.result(), int(QDialog::Rejected));
    }

    void fileExistButtonsSetOneFlag_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("overwrite");
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("cancel");
        QTest::newRow("Owerwrite") << 1030 << 1 << 0 << 0;
        QTest::newRow("Skip") << 1031 << 0 << 1 << 0;
        QTest::newRow("Cancel") << 3 << 0 << 0 << 1;
    }

    void fileExistButtonsSetOneFlag()
    {
        QFETCH(int, button);
        QFETCH(int, overwrite);
        QFETCH(int, skip);
        QFETCH(int, cancel);
        CFileExistDlg dlg;
        dlg.m_strFileName = QStringLiteral("Data\\Job1.txt");
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("File exist"));
        QCOMPARE(Control<QLabel>(&dlg, 1032)->text(), QStringLiteral("Data\\Job1.txt"));
        QTest::mouseClick(Control<QPushButton>(&dlg, button), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_bOverwrite, overwrite);
        QCOMPARE(dlg.m_bSkip, skip);
        QCOMPARE(dlg.m_bCancel, cancel);
    }

    void fileExistKeys()
    {
        {
            CFileExistDlg dlg;
            dlg.show();
            QTest::keyClick(&dlg, Qt::Key_Escape);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(dlg.m_bOverwrite + dlg.m_bSkip + dlg.m_bCancel, 0);
        }
        {
            CFileExistDlg dlg;
            dlg.show();
            QTest::keyClick(&dlg, Qt::Key_Return);
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(dlg.m_bOverwrite, 1);
            QCOMPARE(dlg.m_bSkip + dlg.m_bCancel, 0);
        }
    }

    void errorContinueOrAbort()
    {
        const QString text = QStringLiteral("Can not open file\nData\\Job1.txt");
        const struct { int button; int key; int result; } cases[] = {
            {1, 0, QDialog::Accepted},
            {2, 0, QDialog::Rejected},
            {0, Qt::Key_Return, QDialog::Accepted},
            {0, Qt::Key_Escape, QDialog::Rejected},
        };
        for (const auto& c : cases) {
            CErrorDlg dlg;
            dlg.m_strError = text;
            dlg.show();
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Error"));
            auto* edit = Control<QPlainTextEdit>(&dlg, 1033);
            QCOMPARE(edit->toPlainText(), text);
            QVERIFY(edit->isReadOnly());
            if (c.button)
                QTest::mouseClick(Control<QPushButton>(&dlg, c.button), Qt::LeftButton);
            else
                QTest::keyClick(&dlg, Qt::Key(c.key));
            QVERIFY(!dlg.isVisible());
            QCOMPARE(dlg.result(), c.result);
        }
    }
};

QTEST_MAIN(PromptDialogsTest)
#include "PromptDialogsTest.moc"
