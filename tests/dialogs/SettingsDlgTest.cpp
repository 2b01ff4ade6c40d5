#include "dialogs/ComSettingsDlg.h"
#include "dialogs/FtpSettingsDlg.h"
#include "DialogTestUtil.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedPrompt.h"
#include "support/ScriptedSerialDevice.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace {

const QString kSection = QStringLiteral("COM_SETTINGS");
// The profile keys in the order of the lists below.
const char* const kKeys[] = {"BaudRate", "ByteSize", "Parity", "StopBits", "ComPorts", "EndMark"};
const int kLists[] = {1004, 1007, 1013, 1009, 1010, 1011};

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

QStringList Selected(const CComSettingsDlg& dlg)
{
    QStringList texts;
    for (int id : kLists)
        texts << Control<QComboBox>(&dlg, id)->currentText();
    return texts;
}

// The search behind "Detect" on one scripted device, at one line setting,
// with a virtual clock and a recording Transfer window.
struct CDetectBench
{
    CDetectBench(CComSettingsDlg& dlg, const QString& path, int port, const DetectPlan::CLineTry& line)
        : m_device(&m_clock), m_services(&m_clock, &m_prompt, &m_progress)
    {
        dlg.m_detector.SetCandidates({{path, port}});
        dlg.m_detector.SetLineOrder({line});
        dlg.m_detector.SetDeviceFactory([this](const QString&) { return &m_device; });
    }
    // The instrument answers the wake-up and the name request, its lines ended by CR.
    void Answer(const QByteArray& name)
    {
        m_device.Expect("a\r\n");
        m_device.Expect("c\r\n", "?\r");
        m_device.Expect("c\r\n", "?\r");
        m_device.Expect("%R1Q,5004:\r\n", "%R1P,0,0:0,\"" + name + "\"\r");
    }

    CVirtualClock m_clock;
    CScriptedSerialDevice m_device;
    CScriptedPrompt m_prompt;
    CRecordingProgress m_progress;
    CScopedServices m_services;
};

} // namespace

// The serial line and the FTP settings dialogs.
class SettingsDlgTest : public QObject
{
    Q_OBJECT

private slots:
    // Stored values (none: an empty profile) select their entries, and OK
    // without changes stores what the lists show.
    void okWritesBackWhatWasShown_data()
    {
        QTest::addColumn<QList<int>>("stored"); // speed, data bits, parity, stop bits, port, end mark
        QTest::addColumn<QList<int>>("saved");
        QTest::newRow("empty profile") << QList<int>() << QList<int>{19200, 8, 0, 0, 1, 1};
        QTest::newRow("1200 7 even two COM3 CR") << QList<int>{1200, 7, 2, 2, 3, 2} << QList<int>{1200, 7, 2, 2, 3, 2};
        QTest::newRow("2400 8 odd 1.5 COM2 CRLF") << QList<int>{2400, 8, 1, 1, 2, 1} << QList<int>{2400, 8, 1, 1, 2, 1};
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

    // "Detect" selects what the instrument answered at, adding the speed the
    // list lacks; the name is shown as text; OK stores it all and makes the
    // port stand for the device no port reached.
    void detectFillsTheListsAndOkStoresThem()
    {
        CTempProfile profile;
        Store({9600, 8, 0, 0, 2, 1});
        CComSettingsDlg dlg;
        CDetectBench bench(dlg, QStringLiteral("/dev/ttyUSB3"), 0, {38400, 7, 1, 0});
        bench.Answer("<b>X</b>");
        const QByteArray before = profile.Contents();
        QTest::mouseClick(Control<QPushButton>(&dlg, 1040), Qt::LeftButton);

        QVERIFY(bench.m_device.AllExpected());
        QCOMPARE(Selected(dlg), QStringList({"38400", "7", "Odd", "1 stop bit", "COM2:", "CR"}));
        QStringList speeds;
        for (int i = 0; i < Control<QComboBox>(&dlg, 1004)->count(); ++i)
            speeds << Control<QComboBox>(&dlg, 1004)->itemText(i);
        QCOMPARE(speeds, QStringList({"1200", "19200", "2400", "38400", "4800", "9600"}));
        auto* outcome = Control<QLabel>(&dlg, 1041);
        QCOMPARE(outcome->textFormat(), Qt::PlainText);
        QCOMPARE(outcome->text(),
                 QStringLiteral("Found \"<b>X</b>\" on /dev/ttyUSB3 at 38400 bit/s, 7O1, end mark CR.\n"
                                "OK makes COM2: stand for /dev/ttyUSB3."));
        QCOMPARE(bench.m_progress.m_nShows, 1);
        QVERIFY(!bench.m_progress.m_bVisible);
        QCOMPARE(profile.Contents(), before); // nothing stored before OK

        QTest::mouseClick(Control<QPushButton>(&dlg, 1), Qt::LeftButton);
        QCOMPARE(Stored(), QList<int>({38400, 7, 1, 0, 2, 2}));
        QCOMPARE(CProfile::ReadString("COM_DEVICES", "COM2"), QStringLiteral("/dev/ttyUSB3"));
    }

    // A port beyond the list is added; a port the user chose after the search
    // gets no device; a cancelled search changes nothing, Cancel stores nothing.
    void detectedPortsAndCancel()
    {
        CTempProfile profile;
        Store({9600, 8, 0, 0, 1, 1});
        {
            CComSettingsDlg dlg;
            CDetectBench bench(dlg, QStringLiteral("/dev/ttyS4"), 5, {19200, 8, 0, 2});
            bench.Answer("SIM-7");
            QTest::mouseClick(Control<QPushButton>(&dlg, 1040), Qt::LeftButton);
            QCOMPARE(Selected(dlg), QStringList({"19200", "8", "No parity", "2 stop bits", "COM5:", "CR"}));
            dlg.accept();
            QCOMPARE(Stored(), QList<int>({19200, 8, 0, 2, 5, 2}));
        }
        {
            CComSettingsDlg dlg;
            CDetectBench bench(dlg, QStringLiteral("/dev/ttyACM0"), 0, {4800, 8, 0, 0});
            bench.Answer("SIM-7");
            QTest::mouseClick(Control<QPushButton>(&dlg, 1040), Qt::LeftButton);
            Choose(dlg, {"2400", "7", "Even", "1.5 stop bits", "COM3:", "CR"});
            QTest::mouseClick(Control<QPushButton>(&dlg, 1), Qt::LeftButton);
            QCOMPARE(Stored(), QList<int>({2400, 7, 2, 1, 3, 2}));
            QVERIFY(!profile.Contents().contains("COM_DEVICES"));
        }
        const QByteArray before = profile.Contents();
        CComSettingsDlg dlg;
        CDetectBench bench(dlg, QStringLiteral("/dev/ttyUSB0"), 0, {9600, 8, 0, 0});
        bench.m_progress.m_nCancelAtPoll = 5;
        const QStringList shown = Selected(dlg);
        QTest::mouseClick(Control<QPushButton>(&dlg, 1040), Qt::LeftButton);
        QCOMPARE(Selected(dlg), shown);
        QCOMPARE(Control<QLabel>(&dlg, 1041)->text(), QStringLiteral("The search was cancelled."));
        QCOMPARE(bench.m_device.m_writes, QByteArrayList({"a\r\n"}));
        QVERIFY(dlg.isEnabled());
        Choose(dlg, {"1200", "7", "Odd", "2 stop bits", "COM3:", "CRLF"});
        QTest::mouseClick(Control<QPushButton>(&dlg, 2), Qt::LeftButton);
        QCOMPARE(profile.Contents(), before);
    }

    // The stored settings are shown (no "Encryption": "if the server offers
    // it", protocol FTP); OK stores every field, an emptied one as empty, the
    // encryption and the protocol as their words (Encryption is FTP's only);
    // Cancel stores nothing.
    void ftpSettingsShownAndStored()
    {
        CTempProfile profile;
        CProfile::WriteString("FTP", "ServerName", "127.0.0.1:2121");
        CProfile::WriteString("FTP", "UserName", "surveyor");
        CProfile::WriteString("FTP", "Password", "s3cret");
        const QStringList entries = {"Use TLS if the server offers it", "Require TLS", "Plain FTP only"};
        QStringList shown = {"127.0.0.1:2121", "surveyor", "s3cret", entries[0], "FTP"};
        for (const auto& [button, index, word, protocol] :
             {std::tuple(2, 1, "", "SFTP"), std::tuple(1, 1, "require", "SFTP"), std::tuple(1, 2, "off", "FTP"),
              std::tuple(1, 0, "auto", "FTP")}) {
            const QByteArray before = profile.Contents();
            CFtpSettingsDlg dlg;
            dlg.show();
            auto* list = Control<QComboBox>(&dlg, 1003);
            auto* protocols = Control<QComboBox>(&dlg, 1004);
            auto* password = Control<QLineEdit>(&dlg, 1002);
            QCOMPARE(QStringList({Control<QLineEdit>(&dlg, 1000)->text(), Control<QLineEdit>(&dlg, 1001)->text(),
                                  password->text(), list->currentText(), protocols->currentText()}),
                     shown);
            QCOMPARE(list->isEnabled(), shown[4] == "FTP");
            QCOMPARE(password->echoMode(), QLineEdit::Password);
            for (int i = 0; i < list->count(); ++i)
                QCOMPARE(list->itemText(i), entries[i]);
            Control<QLineEdit>(&dlg, 1000)->setText(QStringLiteral("ftp.example.org"));
            password->clear();
            list->setCurrentIndex(index);
            protocols->setCurrentText(protocol);
            QTest::mouseClick(Control<QPushButton>(&dlg, button), Qt::LeftButton);
            if (button == 2) {
                QCOMPARE(profile.Contents(), before);
                continue;
            }
            shown = QStringList({"ftp.example.org", "surveyor", "", entries[index], protocol});
            QSettings stored(profile.m_strPath, QSettings::IniFormat);
            QCOMPARE(QStringList({stored.value("FTP/ServerName").toString(), stored.value("FTP/UserName").toString(),
                                  stored.value("FTP/Password", "absent").toString(),
                                  stored.value("FTP/Encryption").toString(), stored.value("FTP/Protocol").toString()}),
                     QStringList({"ftp.example.org", "surveyor", "", word, protocol}));
        }
    }
};

QTEST_MAIN(SettingsDlgTest)
#include "SettingsDlgTest.moc"
