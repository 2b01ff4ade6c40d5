#include "FtpTestSupport.h"

#include "ftp/FtpSettings.h"
#include "ftp/LocalUtils.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

// Every field round trip; "Encryption" absent in older profiles, and possibly
// damaged by hand; remembered certificates per server and port.
TEST(FtpSettings, RoundTripEncryptionAndRememberedCertificates)
{
    QTemporaryDir dir;
    CProfile::SetFile(dir.filePath(u"tessaro.ini"_s));
    CFtpSettings settings;
    settings.Load();
    EXPECT_EQ(settings.m_strServerName + settings.m_strUserName + settings.m_strPassword, QString());
    settings.m_strServerName = u"ftp.example.com:2121"_s;
    settings.m_strUserName = u"surveyor"_s;
    settings.m_strPassword = u"s3cret; with = signs"_s;
    settings.m_eEncryption = FTP_TLS_OFF;
    settings.Save();
    CFtpSettings loaded;
    loaded.Load();
    EXPECT_EQ(QStringList({loaded.m_strServerName, loaded.m_strUserName, loaded.m_strPassword}),
              QStringList({settings.m_strServerName, settings.m_strUserName, settings.m_strPassword}));
    EXPECT_EQ(loaded.m_eEncryption, FTP_TLS_OFF);
    EXPECT_EQ(CProfile::ReadString(u"FTP"_s, u"Encryption"_s), u"off"_s);

    const std::pair<const char*, EFtpEncryption> cases[] = {
        {"auto", FTP_TLS_AUTO}, {"require", FTP_TLS_REQUIRE}, {"Required", FTP_TLS_REQUIRE}, {"", FTP_TLS_REQUIRE}};
    for (const auto& [stored, expected] : cases) {
        CProfile::WriteString(u"FTP"_s, u"Encryption"_s, QString::fromLatin1(stored));
        settings.Load();
        EXPECT_EQ(settings.m_eEncryption, expected) << stored;
    }
    CProfile::SetFile(dir.filePath(u"older.ini"_s));
    settings.Load();
    EXPECT_EQ(settings.m_eEncryption, FTP_TLS_AUTO);

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
    CProfile::SetFile(QString());
}

TEST(LocalUtils, DeleteLocalTree)
{
    QTemporaryDir dir;
    const QString top = dir.filePath(u"tree"_s);
    for (const char* name : {"/f1.txt", "/.dot", "/a/f2", "/a/b c/f 3", "/a/b c/.hidden dir/x"})
        ASSERT_TRUE(WriteFile(top + QLatin1String(name), "x"));
    // A link to a folder outside is removed, never followed.
    const QString outside = dir.filePath(u"outside"_s);
    ASSERT_TRUE(WriteFile(outside + u"/precious"_s, "x"));
    ASSERT_TRUE(QFile::link(outside, top + u"/a/link"_s));
    EXPECT_TRUE(DeleteLocalTree(QDir::toNativeSeparators(top)));
    EXPECT_FALSE(QFileInfo::exists(top));
    EXPECT_TRUE(QFileInfo::exists(outside + u"/precious"_s));

    // A read-only file stays, and so do the folders that hold it.
    ASSERT_TRUE(WriteFile(top + u"/sub/other"_s, "x"));
    const QString locked = top + u"/sub/locked.txt"_s;
    ASSERT_TRUE(WriteFile(locked, "x"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_FALSE(DeleteLocalTree(top));
    EXPECT_TRUE(QFileInfo::exists(locked));
    EXPECT_FALSE(QFileInfo::exists(top + u"/sub/other"_s));
    EXPECT_FALSE(DeleteLocalTree(dir.filePath(u"never there"_s)));
}

TEST(LocalUtils, RunProgram)
{
    // ftp_run_probe lies beside this test program and writes its arguments,
    // one per line, into the file named by TESSARO_PROBE_OUT.
    QTemporaryDir dir;
    const QString out = dir.filePath(u"args.txt"_s);
    qputenv("TESSARO_PROBE_OUT", QFile::encodeName(out));
    // The path is one argument; one that begins with "-" goes absolute, so
    // the program cannot take it for an option.
    const QString cwd = QDir::currentPath();
    const QList<QPair<QString, QString>> paths = {
        {u"\"/data/Job 1/a b.txt\""_s, u"/data/Job 1/a b.txt"_s},
        {u"\"-style\""_s, cwd + u"/-style"_s},
        {u"--help me.txt"_s, cwd + u"/--help me.txt"_s},
        {u"\"-\""_s, cwd + u"/-"_s},
    };
    for (const auto& [commandLine, argument] : paths) {
        EXPECT_TRUE(RunProgram(u"ftp_run_probe"_s, commandLine));
        EXPECT_EQ(ReadFile(out), argument.toUtf8() + '\n') << commandLine.toStdString();
        QFile::remove(out);
    }
    // "Name.exe" finds the lower-case program on this platform.
    EXPECT_TRUE(RunProgram(u"FTP_RUN_PROBE.exe"_s, QString()));
    EXPECT_EQ(ReadFile(out), QByteArray());
    EXPECT_FALSE(RunProgram(u"no-such-program"_s, u"\"x\""_s));
    EXPECT_TRUE(ProgramBesideExecutable(u"no-such-program"_s).isEmpty());
}
