#include "dialogs/TransferProgress.h"
#include "DialogTestUtil.h"
#include "dialogs/TransferDlg.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

class TransferProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void progressOffFreezesTheBarUntilShowOrHide()
    {
        CTransferProgress progress;
        CTransferDlg* dlg = progress.Window();
        auto* bar = Control<QProgressBar>(dlg, 1016);
        QVERIFY(!dlg->isVisible());
        progress.Show();
        progress.SetText(QStringLiteral("Data\\Job1.txt"));
        QCOMPARE(Control<QLineEdit>(dlg, 1014)->text(), QStringLiteral("Data\\Job1.txt"));
        progress.SetRange(100);
        progress.SetPos(20);
        progress.Step();
        QCOMPARE(dlg->Pos(), 20 + CTransferDlg::kStep);

        progress.ProgressOff();
        QVERIFY(bar->isHidden());
        progress.SetPos(70);
        progress.Step();
        dlg->Refresh();
        QCOMPARE(bar->value(), 30);

        progress.Hide();
        QVERIFY(!dlg->isVisible());
        progress.SetPos(60);
        dlg->Refresh();
        QCOMPARE(bar->value(), 60);

        progress.ProgressOff();
        progress.Show();
        progress.Step();
        QCOMPARE(dlg->Pos(), 70);

        // SetRange shows the bar again from 0; steps stop at its end.
        progress.SetRange(25);
        QVERIFY(!bar->isHidden());
        QCOMPARE(dlg->Pos(), 0);
        for (int i = 0; i < 3; ++i)
            progress.Step();
        progress.Hide();
        QCOMPARE(bar->value(), 25);
        // A range of 0 (a file under 50 bytes) is no busy indicator.
        progress.SetRange(0);
        QCOMPARE(bar->maximum(), 1);
    }

    void cancelRaisesAFlagThatThePollReports()
    {
        CTransferProgress progress;
        CTransferDlg* dlg = progress.Window();
        progress.Show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg));

        // Clicks elsewhere in the window do not cancel.
        QTest::mouseClick(Control<QLineEdit>(dlg, 1014), Qt::LeftButton);
        QTest::mouseClick(Control<QProgressBar>(dlg, 1016), Qt::LeftButton);
        QTest::mouseClick(dlg, Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(!progress.PollCancel());
        QVERIFY(dlg->isVisible());

        const std::function<void()> cancels[] = {
            [dlg] { QTest::mouseClick(Control<QPushButton>(dlg, 1), Qt::LeftButton); },
            [dlg] { QTest::keyClick(Control<QLineEdit>(dlg, 1014), Qt::Key_Return); },
            [dlg] { QTest::keyClick(dlg, Qt::Key_Escape); },
            [dlg] { dlg->close(); },
        };
        for (const auto& cancel : cancels) {
            progress.Show();
            QVERIFY(!progress.PollCancel());
            cancel();
            // Only the poll hides the window, and it keeps reporting the cancel.
            QVERIFY(dlg->isVisible());
            QVERIFY(progress.PollCancel());
            QVERIFY(!dlg->isVisible());
            QVERIFY(progress.PollCancel());
        }
    }

    void countsAreCoalescedButTheLastOneShows()
    {
        CTransferProgress progress;
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

        // A transfer that pauses still shows its latest count, beyond 32 bits too.
        progress.SetBytes(5000000000LL);
        QTRY_COMPARE(bytes->text(), QStringLiteral("5000000000 bytes "));

        // A counter that starts again shows at once; Hide shows the last count.
        progress.SetBytes(0);
        QCOMPARE(bytes->text(), QStringLiteral("0 bytes "));
        progress.SetBytes(123);
        progress.Hide();
        QCOMPARE(bytes->text(), QStringLiteral("123 bytes "));
        QCOMPARE(Control<QProgressBar>(dlg, 1016)->value(), 1000);
    }

    // Other windows take no input during a transfer; afterwards the widget
    // that had the focus has it again, and the window is painted when shown.
    void otherWindowsTakeNoInputDuringATransfer()
    {
        QWidget main;
        auto* command = new QPushButton(QStringLiteral("Paste"), &main);
        auto* tree = new QLineEdit(&main);
        tree->move(0, 40);
        int commands = 0;
        connect(command, &QPushButton::clicked, [&commands] { ++commands; });
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QApplication::setActiveWindow(&main);
        tree->setFocus();
        QCOMPARE(QApplication::focusWidget(), tree);
        // Clicks through the window system, where modality applies.
        const QPoint at = command->mapTo(&main, command->rect().center());
        auto click = [&main, at] { QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, at); };

        CTransferProgress progress;
        progress.Create(&main);
        progress.Show();
        QVERIFY(progress.Window()->windowHandle()->isExposed());
        click();
        QVERIFY(!progress.PollCancel());
        QCOMPARE(commands, 0);
        progress.Hide();
        QTRY_COMPARE(QApplication::focusWidget(), tree);
        click();
        QCOMPARE(commands, 1);

        // Deleted with its owner, the window is made anew for the next transfer.
        CTransferProgress owned;
        auto* owner = new QWidget;
        owned.Create(owner);
        delete owner;
        owned.Show();
        QVERIFY(owned.Window()->isVisible());
        QVERIFY(!owned.PollCancel());
        owned.Hide();
    }
};

QTEST_MAIN(TransferProgressTest)
#include "TransferProgressTest.moc"
