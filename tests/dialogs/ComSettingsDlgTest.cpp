#include "dialogs/ComSettingsDlg.h"
#include "DialogTestUtil.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

const QString kSection = QStringLiteral("COM_SETTINGS");
// The profile keys in the order of the lists below.
const char* const kKeys[] = {"BaudRate", "ByteSize", "Parity", "StopBits", "ComPorts", "EndMark"};
const int kLists[] = {1004, 1007, 1013, 1009, 1010, 1011};

QStringList Entries(const QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

void Store(const QList<int>& values)
{
    for (int i = 0; i < values.size(); ++i)
        CProfile::WriteInt(kSection, QLatin1String(kKeys[i]), values[i]);
}

QList<int> Stored()
{
    QList<int> values;
    for (const char* key : kKeys)
        values << CProfile::ReadInt(kSection, QLatin1String(key), -999);
    return values;
}

void Choose(CComSettingsDlg& dlg, const QStringList& texts)
{
    for (int i = 0; i < texts.size(); ++i) {
        auto* list = Control<QComboBox>(&dlg, kLists[i]);
        const int index = list->findText(texts[i]);
        QVERIFY2(index >= 0, qPrintable(texts[i]));
        list->setCurrentIndex(index);
    }
}

} // namespace

class ComSettingsDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void listsAreSortedWithoutCase()
    {
        CTempProfile profile;
        CComSettingsDlg dlg;
        QCOMPARE(Entries(Control<QComboBox>(&dlg, 1004)), QStringList({"1200", "19200", "2400", "4800", "9600"}));
        QCOMPARE(Entries(Control<QComboBox>(&dlg, 1011)), QStringList({"CR", "CRLF"}));

        QComboBox list;
        for (const char* text : {"beta", "Alpha", "gamma", "Beta2"})
            CComSettingsDlg::AddSorted(&list, QLatin1String(text));
        QCOMPARE(Entries(&list), QStringList({"Alpha", "beta", "Beta2", "gamma"}));
        CComSettingsDlg::SelectPrefix(&list, QStringLiteral("BET"));
        QCOMPARE(list.currentIndex(), 1);
    }

    // Stored values (none: an empty profile) select their entries, and OK
    // without changes stores what the lists show.
    void okWritesBackWhatWasShown_data()
    {
        QTest::addColumn<QList<int>>("stored"); // speed, data bits, parity, stop bits, port, end mark
        QTest::addColumn<QList<int>>("saved");
        QTest::newRow("empty profile") << QList<int>() << QList<int>{19200, 8, 0, 0, 1, 1};
        QTest::newRow("1200 7 even two COM3 CR") << QList<int>{1200, 7, 2, 2, 3, 2} << QList<int>{1200, 7, 2, 2, 3, 2};
        QTest::newRow("2400 8 odd 1.5 COM2 CRLF") << QList<int>{2400, 8, 1, 1, 2, 1} << QList<int>{2400, 8, 1, 1, 2, 1};
        QTest::newRow("4800, end mark 0 is CR") << QList<int>{4800, 7, 0, 0, 1, 0} << QList<int>{4800, 7, 0, 0, 1, 2};
        QTest::newRow("9600, end mark 7 is CR") << QList<int>{9600, 8, 2, 0, 2, 7} << QList<int>{9600, 8, 2, 0, 2, 2};
        // Unlisted speed, parity and stop bits are kept; data bits and port become 0.
        QTest::newRow("unlisted values") << QList<int>{1234, 5, 9, 3, 4, 1} << QList<int>{1234, 0, 9, 3, 0, 1};
    }

    void okWritesBackWhatWasShown()
    {
        QFETCH(QList<int>, stored);
        QFETCH(QList<int>, saved);
        CTempProfile profile;
        Store(stored);
        CComSettingsDlg dlg;
        dlg.show();
        dlg.accept();
        QCOMPARE(Stored(), saved);
    }

    // Driven modally through the dialog's own buttons.
    void okStoresChoicesCancelStoresNothing()
    {
        CTempProfile profile;
        Store({9600, 8, 0, 0, 2, 1});
        const QByteArray before = profile.Contents();
        for (int button : {2, 1}) {
            CComSettingsDlg dlg;
            QTimer::singleShot(0, &dlg, [&dlg, button] {
                Choose(dlg, {"2400", "7", "Even", "1.5 stop bits", "COM3:", "CR"});
                QTest::mouseClick(Control<QPushButton>(&dlg, button), Qt::LeftButton);
            });
            QCOMPARE(dlg.exec(), button == 1 ? int(QDialog::Accepted) : int(QDialog::Rejected));
            if (button == 2)
                QCOMPARE(profile.Contents(), before);
        }
        QCOMPARE(Stored(), QList<int>({2400, 7, 2, 1, 3, 2}));
    }
};

QTEST_MAIN(ComSettingsDlgTest)
#include "ComSettingsDlgTest.moc"
