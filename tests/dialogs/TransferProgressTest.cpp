#include "DialogTestUtil.h"
#include "dialogs/TransferDlg.h"
#include "dialogs/TransferProgress.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TransferProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void showTextBytesHide()
    {
        CTransferProgress progress;
        progress.Create(nullptr);
        CTransferDlg* dlg = progress.Window();
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Transfer"));
        QCOMPARE(Control<QPushButton>(dlg, 1)->text(), QStringLiteral("Cancel"));

        progress.Show();
        QVERIFY(dlg->isVisible());
        progress.SetText(QStringLiteral("Data\\Job1.txt"));
        progress.SetBytes(0);
        QCOMPARE(Control<QLineEdit>(dlg, 1014)->text(), QStringLiteral("Data\\Job1.txt"));
        QCOMPARE(Control<QLineEdit>(dlg, 1018)->text(), QStringLiteral("0 bytes "));
        QVERIFY(Control<QLineEdit>(dlg, 1014)->isReadOnly());
        QVERIFY(Control<QLineEdit>(dlg, 1018)->isReadOnly());

        // Counts beyond 32 bits are shown whole.
        progress.SetBytes(5000000000LL);
        progress.Hide();
        QVERIFY(!dlg->isVisible());
        QCOMPARE(Control<QLineEdit>(dlg, 1018)->text(), QStringLiteral("5000000000 bytes "));
    }

    void progressOffFreezesTheBarUntilShowOrHide()
    {
        CTransferProgress progress;
        progress.Create(nullptr);
        CTransferDlg* dlg = progress.Window();
        auto* bar = Control<QProgressBar>(dlg, 1016);
        progress.Show();
        progress.SetRange(100);
        QCOMPARE(bar->maximum(), 100);
        progress.SetPos(20);
        progress.Step();
        QCOMPARE(dlg->Pos(), 20 + CTransferDlg::kStep);

        progress.ProgressOff();
        QVERIFY(bar->isHidden());
        progress.SetPos(70);
        progress.Step();
        dlg->Refresh();
        QCOMPARE(dlg->Pos(), 30);
        QCOMPARE(bar->value(), 30);

        progress.Hide();
        progress.SetPos(60);
        dlg->Refresh();
        QCOMPARE(bar->value(), 60);

        progress.ProgressOff();
        progress.Show();
        progress.Step();
        QCOMPARE(dlg->Pos(), 70);

        // SetRange shows the bar again and starts it at 0.
        progress.SetRange(25);
        QVERIFY(!bar->isHidden());
        QCOMPARE(dlg->Pos(), 0);
        progress.Step();
        progress.Step();
        progress.Step();
        QCOMPARE(dlg->Pos(), 25);
        progress.Hide();
        QCOMPARE(bar->value(), 25);
    }

    void onlyTheCancelButtonCancels()
    {
        CTransferProgress progress;
        progress.Create(nullptr);
        CTransferDlg* dlg = progress.Window();
        progress.Show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg));

        QVERIFY(!progress.PollCancel());
        QTest::mouseClick(Control<QLineEdit>(dlg, 1014), Qt::LeftButton);
        QTest::mouseClick(Control<QProgressBar>(dlg, 1016), Qt::LeftButton);
        QTest::mouseClick(dlg, Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(!progress.PollCancel());
        QVERIFY(dlg->isVisible());

        QTest::mouseClick(Control<QPushButton>(dlg, 1), Qt::LeftButton);
        // The button only raises the flag; the poll hides the window.
        QVERIFY(dlg->isVisible());
        QVERIFY(progress.PollCancel());
        QVERIFY(!dlg->isVisible());
        QVERIFY(progress.PollCancel());

        progress.Show();
        QVERIFY(!progress.PollCancel());
        QVERIFY(dlg->isVisible());
        progress.Hide();
    }

    void enterEscapeAndCloseCancel()
    {
        CTransferProgress progress;
        progress.Create(nullptr);
        CTransferDlg* dlg = progress.Window();
        progress.Show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
        QTest::keyClick(Control<QLineEdit>(dlg, 1014), Qt::Key_Return);
        QVERIFY(progress.PollCancel());

        progress.Show();
        QTest::keyClick(dlg, Qt::Key_Escape);
        QVERIFY(dlg->isVisible());
        QVERIFY(progress.PollCancel());

        progress.Show();
        dlg->close();
        QVERIFY(dlg->isVisible());
        QVERIFY(progress.PollCancel());
        QVERIFY(!dlg->isVisible());
    }

    void countsAreCoalescedButTheLastOneShows()
    {
        CTransferProgress progress;
        progress.Create(nullptr);
        CTransferDlg* dlg = progress.Window();
        auto* bytes = Control<QLineEdit>(dlg, 1018);
        progress.Show();
        progress.SetRange(1000);
        QSignalSpy updates(bytes, &QLineEdit::textChanged);

        QElapsedTimer clock;
        clock.start();
        const int blocks = 20000;
        for (int i = 1; i <= blocks; ++i) {
            QVERIFY(!progress.PollCancel());
            progress.SetBytes(qint64(i) * 4096);
            progress.SetPos(i * 1000 / blocks);
        }
        const qint64 ms = clock.elapsed();
        QVERIFY2(updates.count() <= ms / CTransferDlg::kRefreshMs + 2,
                 qPrintable(QStringLiteral("%1 updates in %2 ms").arg(updates.count()).arg(ms)));

        // A transfer that pauses still shows its latest count.
        progress.SetBytes(qint64(blocks) * 4096 + 1);
        QTRY_COMPARE(bytes->text(), QStringLiteral("%1 bytes ").arg(qint64(blocks) * 4096 + 1));

        // A counter that starts again shows at once.
        progress.SetBytes(0);
        QCOMPARE(bytes->text(), QStringLiteral("0 bytes "));
        progress.SetBytes(123);
        progress.Hide();
        QCOMPARE(bytes->text(), QStringLiteral("123 bytes "));
        QCOMPARE(Control<QProgressBar>(dlg, 1016)->value(), 1000);
    }

    void otherWindowsTakeNoInputDuringATransfer()
    {
        QWidget main;
        auto* command = new QPushButton(QStringLiteral("Paste"), &main);
        int commands = 0;
        connect(command, &QPushButton::clicked, [&commands] { ++commands; });
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));

        // Clicks through the window system, where modality applies.
        const QPoint at = command->mapTo(&main, command->rect().center());
        auto click = [&main, at] { QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, at); };

        CTransferProgress progress;
        progress.Create(&main);
        progress.Show();
        click();
        QVERIFY(!progress.PollCancel());
        QCOMPARE(commands, 0);

        progress.Hide();
        click();
        QCOMPARE(commands, 1);
    }

    void windowDeletedWithItsOwner()
    {
        CTransferProgress progress;
        auto* owner = new QWidget;
        progress.Create(owner);
        progress.Show();
        delete owner;
        // The next transfer gets a new window instead of a dangling one.
        progress.Show();
        QVERIFY(progress.Window()->isVisible());
        QVERIFY(!progress.PollCancel());
        progress.Hide();
    }
};

QTEST_MAIN(TransferProgressTest)
#include "TransferProgressTest.moc"
