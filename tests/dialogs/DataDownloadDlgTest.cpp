#include "DialogTestUtil.h"
#include "dialogs/DataDownloadDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class DataDownloadDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void resultNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<QString>("preselect");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("index");
        const QStringList formats = {"TQS", "VRN", "GSI 8  "};
        QTest::newRow("extension replaced") << "job1.txt" << formats << "VRN" << "job1.VRN" << 1;
        QTest::newRow("extension added") << "job1" << formats << "VRN" << "job1.VRN" << 1;
        QTest::newRow("last dot only") << "a.b.c" << formats << "VRN" << "a.b.VRN" << 1;
        QTest::newRow("nothing before the dot") << ".txt" << formats << "VRN" << "" << 1;
        QTest::newRow("no format selected") << "name" << formats << "XYZ" << "name." << -1;
        QTest::newRow("no formats at all") << "name.txt" << QStringList() << "VRN" << "name." << -1;
        QTest::newRow("trailing blanks of the format go") << "job2" << formats << "GSI" << "job2.GSI 8" << 2;
        QTest::newRow("preselect by prefix, any case") << "job3" << formats << "vr" << "job3.VRN" << 1;
        QTest::newRow("first match wins") << "job4" << QStringList({"VRN", "VRN2"}) << "VRN" << "job4.VRN" << 0;
    }

    void resultNames()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, formats);
        QFETCH(QString, preselect);
        QFETCH(QString, result);
        QFETCH(int, index);
        CDataDownloadDlg dlg;
        dlg.m_strResultName = name;
        dlg.m_strName = name;
        dlg.m_formatNames = formats;
        dlg.m_strSelectedFormat = preselect;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Data Download..."));
        QCOMPARE(Control<QLineEdit>(&dlg, 1014)->text(), name);
        QCOMPARE(Control<QComboBox>(&dlg, 1021)->count(), formats.size());
        // Enter in the name field is OK.
        QTest::keyClick(Control<QLineEdit>(&dlg, 1014), Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_strResultName, result);
        QCOMPARE(dlg.m_nSelectedFormat, index);
    }

    void listKeepsTheCallersOrderAndTheUsersChoice()
    {
        CDataDownloadDlg dlg;
        dlg.m_strName = QStringLiteral("Job1.txt");
        dlg.m_formatNames = QStringList({"VRN", "TQS", "ASCII"});
        dlg.m_strSelectedFormat = QStringLiteral("VRN");
        dlg.show();
        auto* list = Control<QComboBox>(&dlg, 1021);
        QCOMPARE(list->itemText(0), QStringLiteral("VRN"));
        QCOMPARE(list->itemText(2), QStringLiteral("ASCII"));
        list->setCurrentIndex(2);
        Control<QLineEdit>(&dlg, 1014)->setText(QStringLiteral("out"));
        QTest::mouseClick(Control<QPushButton>(&dlg, 1), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_strResultName, QStringLiteral("out.ASCII"));
        QCOMPARE(dlg.m_nSelectedFormat, 2);
        QCOMPARE(dlg.m_strSelectedFormat, QStringLiteral("ASCII"));
    }

    void emptyNameStaysOpenAndCancelReturnsNothing()
    {
        CDataDownloadDlg dlg;
        dlg.m_formatNames = QStringList({"VRN"});
        dlg.m_strSelectedFormat = QStringLiteral("VRN");
        dlg.show();
        QTest::keyClick(Control<QLineEdit>(&dlg, 1014), Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
        QVERIFY(dlg.m_strResultName.isEmpty());

        QTest::mouseClick(Control<QPushButton>(&dlg, 2), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(dlg.m_strResultName.isEmpty());
    }
};

QTEST_MAIN(DataDownloadDlgTest)
#include "DataDownloadDlgTest.moc"
