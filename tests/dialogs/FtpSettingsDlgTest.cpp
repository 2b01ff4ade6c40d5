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
    // The stored settings are shown (no "Encryption": "if the server offers
    // it", protocol FTP); OK stores every field, an emptied one as empty, the
    // encryption and the protocol as their words (Encryption is FTP's only);
    // Cancel stores nothing.
    void showsAndStoresTheSettings()
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

QTEST_MAIN(FtpSettingsDlgTest)
#include "FtpSettingsDlgTest.moc"
