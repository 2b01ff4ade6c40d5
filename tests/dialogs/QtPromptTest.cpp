#include "DialogTestUtil.h"
#include "dialogs/QtPrompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
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

QAbstractButton* MessageButton(QWidget* modal, QMessageBox::StandardButton which)
{
    auto* box = qobject_cast<QMessageBox*>(modal);
    return box ? box->button(which) : nullptr;
}

} // namespace

class QtPromptTest : public QObject
{
    Q_OBJECT

private slots:
    void messageBoxAnswersAndCaption()
    {
        CQtPrompt prompt;
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        auto look = [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
        };

        OnModal([&](QWidget* modal) { look(modal); MessageButton(modal, QMessageBox::Yes)->click(); });
        QCOMPARE(prompt.MessageBox(QStringLiteral("Delete Job"), QString(), MB_YESNO, MB_ICONQUESTION), int(IDYES));
        QCOMPARE(caption, AppTitle());
        QCOMPARE(text, QStringLiteral("Delete Job"));
        QCOMPARE(icon, QMessageBox::Question);

        OnModal([&](QWidget* modal) { look(modal); MessageButton(modal, QMessageBox::No)->click(); });
        QCOMPARE(prompt.MessageBox(QStringLiteral("Port already in use."), QStringLiteral("Warning"), MB_YESNO,
                                   MB_ICONWARNING),
                 int(IDNO));
        QCOMPARE(caption, QStringLiteral("Warning"));
        QCOMPARE(icon, QMessageBox::Warning);

        OnModal([&](QWidget* modal) { look(modal); MessageButton(modal, QMessageBox::Ok)->click(); });
        QCOMPARE(prompt.MessageBox(QStringLiteral("Logon failed"), QStringLiteral("Error"), MB_OK, MB_ICONERROR),
                 int(IDOK));
        QCOMPARE(icon, QMessageBox::Critical);
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
                MessageButton(box, QMessageBox::Ok)->click();
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

    void fileExistErrorAndDownload()
    {
        CQtPrompt prompt;
        OnModal([](QWidget* dlg) { QTest::mouseClick(Control<QPushButton>(dlg, 1031), Qt::LeftButton); });
        CFileExistAnswer answer = prompt.AskFileExist(QStringLiteral("a.txt"));
        QVERIFY(answer.m_bSkip && !answer.m_bOverwrite && !answer.m_bCancel);

        OnModal([](QWidget* dlg) { QTest::keyClick(dlg, Qt::Key_Escape); });
        answer = prompt.AskFileExist(QStringLiteral("a.txt"));
        QVERIFY(!answer.m_bSkip && !answer.m_bOverwrite && !answer.m_bCancel);

        OnModal([](QWidget* dlg) { QTest::mouseClick(Control<QPushButton>(dlg, 2), Qt::LeftButton); });
        QVERIFY(!prompt.AskError(QStringLiteral("File error")));
        OnModal([](QWidget* dlg) { QTest::mouseClick(Control<QPushButton>(dlg, 1), Qt::LeftButton); });
        QVERIFY(prompt.AskError(QStringLiteral("File error")));

        CDataDownloadRequest request;
        request.m_strName = QStringLiteral("Job1.txt");
        request.m_formatNames = QStringList({"TQS", "VRN"});
        request.m_strSelectedFormat = QStringLiteral("VRN");
        OnModal([](QWidget* dlg) { QTest::keyClick(Control<QLineEdit>(dlg, 1014), Qt::Key_Return); });
        QVERIFY(prompt.AskDataDownload(request));
        QCOMPARE(request.m_strResultName, QStringLiteral("Job1.VRN"));
        QCOMPARE(request.m_nSelectedFormat, 1);

        request.m_strResultName.clear();
        OnModal([](QWidget* dlg) { QTest::keyClick(dlg, Qt::Key_Escape); });
        QVERIFY(!prompt.AskDataDownload(request));
        QVERIFY(request.m_strResultName.isEmpty());
    }
};

QTEST_MAIN(QtPromptTest)
#include "QtPromptTest.moc"
