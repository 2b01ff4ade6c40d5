#include "FtpTestSupport.h"

#include "ftp/FtpSettings.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include "support/ScopedSettings.h"

// Every field round trip; "Encryption" absent in older profiles, and possibly
// damaged by hand; remembered certificates per server and port.
TEST(FtpSettings, RoundTripEncryptionAndRememberedCertificates)
{
    QTemporaryDir dir;
    CScopedProfileFile profile(dir.filePath(u"tessaro.ini"_s));
    CFtpSettings settings;
    settings.Load();
    EXPECT_EQ(settings.m_strServerName + settings.m_strUserName + settings.m_strPassword, QString());
    settings.m_strServerName = u"ftp.example.com:2121"_s;
    settings.m_strUserName = u"surveyor"_s;
    settings.m_strPassword = u"s3cret; with = signs"_s;
    settings.m_eEncryption = FTP_TLS_OFF;
    settings.m_bSftp = true;
    settings.Save();
    CFtpSettings loaded;
    loaded.Load();
    EXPECT_EQ(QStringList({loaded.m_strServerName, loaded.m_strUserName, loaded.m_strPassword}),
              QStringList({settings.m_strServerName, settings.m_strUserName, settings.m_strPassword}));
    EXPECT_EQ(loaded.m_eEncryption, FTP_TLS_OFF);
    EXPECT_EQ(CProfile::ReadString(u"FTP"_s, u"Encryption"_s), u"off"_s);
    EXPECT_EQ(CProfile::ReadString(u"FTP"_s, u"Protocol"_s), u"SFTP"_s);
    EXPECT_TRUE(loaded.m_bSftp);
    // A damaged protocol reads as FTP.
    for (const auto& [stored, sftp] : {std::pair("sftp", true), std::pair("SSH", false), std::pair("", false)}) {
        CProfile::WriteString(u"FTP"_s, u"Protocol"_s, QString::fromLatin1(stored));
        settings.Load();
        EXPECT_EQ(settings.m_bSftp, sftp) << stored;
    }

    const std::pair<const char*, EFtpEncryption> cases[] = {
        {"auto", FTP_TLS_AUTO}, {"require", FTP_TLS_REQUIRE}, {"Required", FTP_TLS_REQUIRE}, {"", FTP_TLS_REQUIRE}};
    for (const auto& [stored, expected] : cases) {
        CProfile::WriteString(u"FTP"_s, u"Encryption"_s, QString::fromLatin1(stored));
        settings.Load();
        EXPECT_EQ(settings.m_eEncryption, expected) << stored;
    }
    profile.Set(dir.filePath(u"older.ini"_s));
    settings.Load();
    EXPECT_EQ(settings.m_eEncryption, FTP_TLS_AUTO);
    EXPECT_FALSE(settings.m_bSftp);

    // Stored in the form openssl prints.
    const QString a =
        u"AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89"_s;
    const QString b = QString(a).replace(u"AB"_s, u"00"_s);
    const std::pair<QString, QString> remembered[] = {
        {u"ftp.example.com:21"_s, a}, {u"ftp.example.com:2121"_s, b}, {u"odd/name\\x:21"_s, b}};
    for (const auto& [server, fingerprint] : remembered)
        CFtpSettings::RememberFingerprint(server, fingerprint == a ? a.toLower().remove(u':') : fingerprint);
    for (const auto& [server, fingerprint] : remembered)
        EXPECT_EQ(CFtpSettings::RememberedFingerprint(server), fingerprint) << qPrintable(server);
    EXPECT_EQ(CFtpSettings::RememberedFingerprint(u"other.example.com:21"_s), QString());
    settings.Load(); // the other settings are left alone
    EXPECT_EQ(settings.m_eEncryption, FTP_TLS_AUTO);
}
