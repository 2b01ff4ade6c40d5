#include "DialogTestUtil.h"
#include "dialogs/FtpSettingsDlg.h"

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

        CFtpSettingsDlg dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("FTP Settings"));
        QCOMPARE(Control<QLineEdit>(&dlg, 1000)->text(), QStringLiteral("127.0.0.1:2121"));
        QCOMPARE(Control<QLineEdit>(&dlg, 1001)->text(), QStringLiteral("surveyor"));
        auto* password = Control<QLineEdit>(&dlg, 1002);
        QCOMPARE(password->text(), QStringLiteral("s3cret"));
        QCOMPARE(password->echoMode(), QLineEdit::Password);

        Control<QLineEdit>(&dlg, 1000)->setText(QStringLiteral("ftp.example.org"));
        password->clear();
        QTest::keyClick(Control<QLineEdit>(&dlg, 1001), Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(CProfile::ReadString("FTP", "ServerName", "x"), QStringLiteral("ftp.example.org"));
        QCOMPARE(CProfile::ReadString("FTP", "UserName", "x"), QStringLiteral("surveyor"));
        QCOMPARE(CProfile::ReadString("FTP", "Password", "x"), QString());
    }

    void emptyFieldsAreStored()
    {
        CTempProfile profile;
        CFtpSettingsDlg dlg;
        dlg.show();
        dlg.accept();
        QSettings stored(profile.m_strPath, QSettings::IniFormat);
        for (const char* key : {"FTP/ServerName", "FTP/UserName", "FTP/Password"}) {
            QVERIFY2(stored.contains(key), key);
            QCOMPARE(stored.value(key).toString(), QString());
        }
    }

    void cancelStoresNothing()
    {
        CTempProfile profile;
        CProfile::WriteString("FTP", "ServerName", "old");
        const QByteArray before = profile.Contents();
        CFtpSettingsDlg dlg;
        dlg.show();
        Control<QLineEdit>(&dlg, 1000)->setText(QStringLiteral("new"));
        QTest::mouseClick(Control<QPushButton>(&dlg, 2), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(profile.Contents(), before);
    }
};

QTEST_MAIN(FtpSettingsDlgTest)
#include "FtpSettingsDlgTest.moc"
