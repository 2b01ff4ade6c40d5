#include "FtpTestSupport.h"

#include "ftp/FtpSettings.h"
#include "ftp/LocalUtils.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(FtpSettings, RoundTripAndOwnerOnlyFile)
{
    QTemporaryDir dir;
    const QString profile = dir.filePath(u"tessaro.ini"_s);
    CProfile::SetFile(profile);
    CFtpSettings fresh;
    fresh.Load();
    EXPECT_EQ(fresh.m_strServerName + fresh.m_strUserName + fresh.m_strPassword, QString());

    CFtpSettings settings;
    settings.m_strServerName = u"ftp.example.com:2121"_s;
    settings.m_strUserName = u"surveyor"_s;
    settings.m_strPassword = u"s3cret; with = signs"_s;
    settings.Save();
    CFtpSettings loaded;
    loaded.Load();
    EXPECT_EQ(loaded.m_strServerName, settings.m_strServerName);
    EXPECT_EQ(loaded.m_strUserName, settings.m_strUserName);
    EXPECT_EQ(loaded.m_strPassword, settings.m_strPassword);
    EXPECT_EQ(CProfile::ReadString(u"FTP"_s, u"Password"_s), settings.m_strPassword);

    // The password lies in that file: only its owner may read it.
    struct stat info
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(profile).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    CProfile::SetFile(QString());
}

// "Encryption": absent in older profiles, and possibly damaged by hand.
TEST(FtpSettings, EncryptionAndRememberedCertificates)
{
    QTemporaryDir dir;
    CProfile::SetFile(dir.filePath(u"tessaro.ini"_s));
    const std::pair<const char*, EFtpEncryption> cases[] = {
        {nullptr, FTP_TLS_AUTO},      {"auto", FTP_TLS_AUTO},        {"off", FTP_TLS_OFF},
        {"require", FTP_TLS_REQUIRE}, {"Required", FTP_TLS_REQUIRE}, {"", FTP_TLS_REQUIRE},
    };
    for (const auto& [stored, expected] : cases) {
        if (stored)
            CProfile::WriteString(u"FTP"_s, u"Encryption"_s, QString::fromLatin1(stored));
        CFtpSettings settings;
        settings.Load();
        EXPECT_EQ(settings.m_eEncryption, expected) << (stored ? stored : "(no key)");
    }
    CFtpSettings settings;
    settings.m_eEncryption = FTP_TLS_OFF;
    settings.Save();
    EXPECT_EQ(CProfile::ReadString(u"FTP"_s, u"Encryption"_s), u"off"_s);

    // Per server and port; stored in the form openssl prints.
    const QString a =
        u"AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89"_s;
    const QString b = QString(a).replace(u"AB"_s, u"00"_s);
    CFtpSettings::RememberFingerprint(u"ftp.example.com:21"_s, a.toLower().remove(u':'));
    CFtpSettings::RememberFingerprint(u"ftp.example.com:2121"_s, b);
    CFtpSettings::RememberFingerprint(u"odd/name\\x:21"_s, b);
    EXPECT_EQ(CFtpSettings::RememberedFingerprint(u"ftp.example.com:21"_s), a);
    EXPECT_EQ(CFtpSettings::RememberedFingerprint(u"ftp.example.com:2121"_s), b);
    EXPECT_EQ(CFtpSettings::RememberedFingerprint(u"odd/name\\x:21"_s), b);
    EXPECT_EQ(CFtpSettings::RememberedFingerprint(u"other.example.com:21"_s), QString());
    // The other settings are left alone.
    settings.Load();
    EXPECT_EQ(settings.m_eEncryption, FTP_TLS_OFF);
    CProfile::SetFile(QString());
}

TEST(LocalUtils, DeleteLocalTree)
{
    QTemporaryDir dir;
    const QString top = dir.filePath(u"tree"_s);
    for (const char* name : {"/f1.txt", "/.dot", "/a/f2", "/a/b c/f 3", "/a/b c/.hidden dir/x"})
        ASSERT_TRUE(WriteAll(top + QLatin1String(name), "x"));
    // A link to a folder outside is removed, never followed.
    const QString outside = dir.filePath(u"outside"_s);
    ASSERT_TRUE(WriteAll(outside + u"/precious"_s, "x"));
    ASSERT_TRUE(QFile::link(outside, top + u"/a/link"_s));
    EXPECT_TRUE(DeleteLocalTree(QDir::toNativeSeparators(top)));
    EXPECT_FALSE(QFileInfo::exists(top));
    EXPECT_TRUE(QFileInfo::exists(outside + u"/precious"_s));

    // A read-only file stays, and so do the folders that hold it.
    ASSERT_TRUE(WriteAll(top + u"/sub/other"_s, "x"));
    const QString locked = top + u"/sub/locked.txt"_s;
    ASSERT_TRUE(WriteAll(locked, "x"));
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
        EXPECT_EQ(ReadAll(out), argument.toUtf8() + '\n') << commandLine.toStdString();
        QFile::remove(out);
    }
    // "Name.exe" finds the lower-case program on this platform.
    EXPECT_TRUE(RunProgram(u"FTP_RUN_PROBE.exe"_s, QString()));
    EXPECT_EQ(ReadAll(out), QByteArray());
    EXPECT_FALSE(RunProgram(u"no-such-program"_s, u"\"x\""_s));
    EXPECT_TRUE(ProgramBesideExecutable(u"no-such-program"_s).isEmpty());
}
