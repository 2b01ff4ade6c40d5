#include "dialogs/FtpSettingsDlg.h"
#include "DialogTestUtil.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

class FtpSettingsDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void showsAndStoresTheSettings()
    {
        CTempProfile profile;
        CProfile::WriteString("FTP", "ServerName", "127.0.0.1:2121");
        CProfile::WriteString("FTP", "UserName", "surveyor");
        CProfile::WriteString("FTP", "Password", "s3cret");
        const QByteArray before = profile.Contents();
        for (int button : {2, 1}) {
            CFtpSettingsDlg dlg;
            dlg.show();
            auto* password = Control<QLineEdit>(&dlg, 1002);
            QCOMPARE(Control<QLineEdit>(&dlg, 1000)->text(), QStringLiteral("127.0.0.1:2121"));
            QCOMPARE(Control<QLineEdit>(&dlg, 1001)->text(), QStringLiteral("surveyor"));
            QCOMPARE(password->text(), QStringLiteral("s3cret"));
            QCOMPARE(password->echoMode(), QLineEdit::Password);
            Control<QLineEdit>(&dlg, 1000)->setText(QStringLiteral("ftp.example.org"));
            password->clear();
            QTest::mouseClick(Control<QPushButton>(&dlg, button), Qt::LeftButton);
            if (button == 2)
                QCOMPARE(profile.Contents(), before); // Cancel stores nothing
        }
        // An emptied field is stored empty, not left out.
        QSettings stored(profile.m_strPath, QSettings::IniFormat);
        QCOMPARE(stored.value("FTP/ServerName", "x").toString(), QStringLiteral("ftp.example.org"));
        QCOMPARE(stored.value("FTP/UserName", "x").toString(), QStringLiteral("surveyor"));
        QVERIFY(stored.contains("FTP/Password"));
        QCOMPARE(stored.value("FTP/Password", "x").toString(), QString());
    }

    // A profile without "Encryption" shows "if the server offers it"; the
    // choice is stored as its word, and Cancel stores none.
    void encryptionChoice()
    {
        CTempProfile profile;
        const QStringList expected = {"Use TLS if the server offers it", "Require TLS", "Plain FTP only"};
        int storedIndex = 0;
        for (const auto& [button, index, word] : {std::tuple(1, 1, "require"), std::tuple(2, 2, "require"),
                                                  std::tuple(1, 2, "off"), std::tuple(1, 0, "auto")}) {
            CFtpSettingsDlg dlg;
            dlg.show();
            auto* list = Control<QComboBox>(&dlg, 1003);
            QStringList shown;
            for (int i = 0; i < list->count(); ++i)
                shown.append(list->itemText(i));
            QCOMPARE(shown, expected);
            QCOMPARE(list->currentIndex(), storedIndex);
            list->setCurrentIndex(index);
            if (button == 1)
                storedIndex = index;
            QTest::mouseClick(Control<QPushButton>(&dlg, button), Qt::LeftButton);
            QSettings stored(profile.m_strPath, QSettings::IniFormat);
            QCOMPARE(stored.value("FTP/Encryption").toString(), QString::fromLatin1(word));
        }
        CFtpSettingsDlg dlg;
        QCOMPARE(dlg.m_eEncryption, FTP_TLS_AUTO);
    }
};

QTEST_MAIN(FtpSettingsDlgTest)
#include "FtpSettingsDlgTest.moc"
