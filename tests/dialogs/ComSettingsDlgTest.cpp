#include "DialogTestUtil.h"
#include "dialogs/ComSettingsDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>

namespace {

const QString kSection = QStringLiteral("COM_SETTINGS");

QStringList Entries(const QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

void Store(int baud, int parity, int bits, int stop, int port, int endMark)
{
    CProfile::WriteInt(kSection, QStringLiteral("BaudRate"), baud);
    CProfile::WriteInt(kSection, QStringLiteral("Parity"), parity);
    CProfile::WriteInt(kSection, QStringLiteral("ByteSize"), bits);
    CProfile::WriteInt(kSection, QStringLiteral("StopBits"), stop);
    CProfile::WriteInt(kSection, QStringLiteral("ComPorts"), port);
    CProfile::WriteInt(kSection, QStringLiteral("EndMark"), endMark);
}

int Stored(const char* key)
{
    return CProfile::ReadInt(kSection, QLatin1String(key), -999);
}

void Choose(CComSettingsDlg& dlg, int id, const QString& text)
{
    auto* list = Control<QComboBox>(&dlg, id);
    QVERIFY(list);
    const int index = list->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    list->setCurrentIndex(index);
}

} // namespace

class ComSettingsDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void listsAreSortedAndFixed()
    {
        CTempProfile profile;
        CComSettingsDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("COM Settings"));
        const struct { int id; QString label; QStringList entries; } lists[] = {
            {1004, "Baud Rate", {"1200", "19200", "2400", "4800", "9600"}},
            {1007, "Data bits", {"7", "8"}},
            {1013, "Parity", {"Even", "No parity", "Odd"}},
            {1009, "Stop bits", {"1 stop bit", "1.5 stop bits", "2 stop bits"}},
            {1010, "COM port", {"COM1:", "COM2:", "COM3:"}},
            {1011, "End mark", {"CR", "CRLF"}},
        };
        for (const auto& l : lists) {
            auto* list = Control<QComboBox>(&dlg, l.id);
            QVERIFY2(list, qPrintable(l.label));
            QCOMPARE(Entries(list), l.entries);
            QVERIFY(!list->isEditable());
            QCOMPARE(list->accessibleName(), l.label);
        }
    }

    void sortedInsertIgnoresCase()
    {
        QComboBox list;
        for (const char* text : {"beta", "Alpha", "gamma", "Beta2"})
            CComSettingsDlg::AddSorted(&list, QLatin1String(text));
        QCOMPARE(Entries(&list), QStringList({"Alpha", "beta", "Beta2", "gamma"}));
        CComSettingsDlg::SelectPrefix(&list, QStringLiteral("BET"));
        QCOMPARE(list.currentIndex(), 1);
        CComSettingsDlg::SelectPrefix(&list, QStringLiteral("delta"));
        QCOMPARE(list.currentIndex(), -1);
    }

    void emptyProfileSelectsDefaults()
    {
        CTempProfile profile;
        CComSettingsDlg dlg;
        QCOMPARE(Control<QComboBox>(&dlg, 1004)->currentText(), QStringLiteral("19200"));
        QCOMPARE(Control<QComboBox>(&dlg, 1007)->currentText(), QStringLiteral("8"));
        QCOMPARE(Control<QComboBox>(&dlg, 1013)->currentText(), QStringLiteral("No parity"));
        QCOMPARE(Control<QComboBox>(&dlg, 1009)->currentText(), QStringLiteral("1 stop bit"));
        QCOMPARE(Control<QComboBox>(&dlg, 1010)->currentText(), QStringLiteral("COM1:"));
        QCOMPARE(Control<QComboBox>(&dlg, 1011)->currentText(), QStringLiteral("CRLF"));
        dlg.accept();
        QCOMPARE(Stored("BaudRate"), 19200);
        QCOMPARE(Stored("Parity"), 0);
        QCOMPARE(Stored("ByteSize"), 8);
        QCOMPARE(Stored("StopBits"), 0);
        QCOMPARE(Stored("ComPorts"), 1);
        QCOMPARE(Stored("EndMark"), 1);
    }

    void unchangedOkWritesBackWhatWasLoaded_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("stop");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("endMark");
        QTest::addColumn<int>("endMarkSaved");
        QTest::newRow("1200 even 7 two COM3 CR") << 1200 << 2 << 7 << 2 << 3 << 2 << 2;
        QTest::newRow("2400 odd 8 one-half COM2 CRLF") << 2400 << 1 << 8 << 1 << 2 << 1 << 1;
        QTest::newRow("4800 none 7 one COM1 CR") << 4800 << 0 << 7 << 0 << 1 << 2 << 2;
        QTest::newRow("9600 even 8 one COM2 CRLF") << 9600 << 2 << 8 << 0 << 2 << 1 << 1;
        QTest::newRow("19200 odd 8 two COM3 CR") << 19200 << 1 << 8 << 2 << 3 << 2 << 2;
        QTest::newRow("end mark 0 loads as CR") << 9600 << 0 << 8 << 0 << 1 << 0 << 2;
        QTest::newRow("end mark 7 loads as CR") << 9600 << 0 << 8 << 0 << 1 << 7 << 2;
    }

    void unchangedOkWritesBackWhatWasLoaded()
    {
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, bits);
        QFETCH(int, stop);
        QFETCH(int, port);
        QFETCH(int, endMark);
        QFETCH(int, endMarkSaved);
        CTempProfile profile;
        Store(baud, parity, bits, stop, port, endMark);
        CComSettingsDlg dlg;
        dlg.show();
        for (int id : {1004, 1007, 1013, 1009, 1010, 1011})
            QVERIFY(Control<QComboBox>(&dlg, id)->currentIndex() >= 0);
        QCOMPARE(Control<QComboBox>(&dlg, 1011)->currentText(),
                 endMarkSaved == 1 ? QStringLiteral("CRLF") : QStringLiteral("CR"));
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(Stored("BaudRate"), baud);
        QCOMPARE(Stored("Parity"), parity);
        QCOMPARE(Stored("ByteSize"), bits);
        QCOMPARE(Stored("StopBits"), stop);
        QCOMPARE(Stored("ComPorts"), port);
        QCOMPARE(Stored("EndMark"), endMarkSaved);
    }

    void unlistedStoredValuesShowNoSelection()
    {
        CTempProfile profile;
        Store(1234, 9, 5, 3, 4, 1);
        CComSettingsDlg dlg;
        for (int id : {1004, 1007, 1013, 1009, 1010}) {
            QCOMPARE(Control<QComboBox>(&dlg, id)->currentIndex(), -1);
            QVERIFY(Control<QComboBox>(&dlg, id)->currentText().isEmpty());
        }
        dlg.accept();
        // Speed, parity and stop bits keep their values; port and data bits become 0.
        QCOMPARE(Stored("BaudRate"), 1234);
        QCOMPARE(Stored("Parity"), 9);
        QCOMPARE(Stored("StopBits"), 3);
        QCOMPARE(Stored("ByteSize"), 0);
        QCOMPARE(Stored("ComPorts"), 0);
        QCOMPARE(Stored("EndMark"), 1);
    }

    void choicesAreStored()
    {
        CTempProfile profile;
        Store(1234, 0, 8, 0, 4, 1);
        {
            CComSettingsDlg dlg;
            Choose(dlg, 1004, "2400");
            Choose(dlg, 1007, "7");
            Choose(dlg, 1013, "Even");
            Choose(dlg, 1009, "1.5 stop bits");
            Choose(dlg, 1010, "COM3:");
            Choose(dlg, 1011, "CR");
            dlg.accept();
        }
        QCOMPARE(Stored("BaudRate"), 2400);
        QCOMPARE(Stored("ByteSize"), 7);
        QCOMPARE(Stored("Parity"), 2);
        QCOMPARE(Stored("StopBits"), 1);
        QCOMPARE(Stored("ComPorts"), 3);
        QCOMPARE(Stored("EndMark"), 2);
        {
            CComSettingsDlg dlg;
            QCOMPARE(Control<QComboBox>(&dlg, 1011)->currentText(), QStringLiteral("CR"));
            Choose(dlg, 1011, "CRLF");
            Choose(dlg, 1013, "Odd");
            dlg.accept();
        }
        QCOMPARE(Stored("EndMark"), 1);
        QCOMPARE(Stored("Parity"), 1);
        QCOMPARE(Stored("BaudRate"), 2400);
    }

    void cancelWritesNothing()
    {
        CTempProfile profile;
        {
            CComSettingsDlg dlg;
            Choose(dlg, 1004, "1200");
            dlg.reject();
        }
        QVERIFY(!QSettings(profile.m_strPath, QSettings::IniFormat).contains("COM_SETTINGS/BaudRate"));

        Store(9600, 1, 7, 2, 2, 2);
        const QByteArray before = profile.Contents();
        CComSettingsDlg dlg;
        Choose(dlg, 1004, "1200");
        Choose(dlg, 1010, "COM1:");
        // Driven modally through its own Cancel button.
        QTimer::singleShot(0, &dlg, [&dlg] {
            QTest::mouseClick(Control<QPushButton>(&dlg, 2), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QCOMPARE(profile.Contents(), before);
    }

    void okButtonAcceptsModally()
    {
        CTempProfile profile;
        Store(4800, 0, 8, 0, 2, 1);
        CComSettingsDlg dlg;
        QTimer::singleShot(0, &dlg, [&dlg] {
            Choose(dlg, 1004, "9600");
            QTest::mouseClick(Control<QPushButton>(&dlg, 1), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(Stored("BaudRate"), 9600);
        QCOMPARE(Stored("ComPorts"), 2);
    }
};

QTEST_MAIN(ComSettingsDlgTest)
#include "ComSettingsDlgTest.moc"
