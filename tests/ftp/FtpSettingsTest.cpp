#include "ftp/FtpSettings.h"
#include "ftp/LocalUtils.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

TEST(FtpSettings, RoundTripAndOwnerOnlyFile)
{
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("tessaro.ini"));
    CProfile::SetFile(profile);

    CFtpSettings fresh;
    fresh.Load();
    EXPECT_TRUE(fresh.m_strServerName.isEmpty());
    EXPECT_TRUE(fresh.m_strUserName.isEmpty());
    EXPECT_TRUE(fresh.m_strPassword.isEmpty());

    CFtpSettings settings;
    settings.m_strServerName = QStringLiteral("ftp.example.com:2121");
    settings.m_strUserName = QStringLiteral("surveyor");
    settings.m_strPassword = QStringLiteral("s3cret; with = signs");
    settings.Save();

    CFtpSettings loaded;
    loaded.Load();
    EXPECT_EQ(loaded.m_strServerName, settings.m_strServerName);
    EXPECT_EQ(loaded.m_strUserName, settings.m_strUserName);
    EXPECT_EQ(loaded.m_strPassword, settings.m_strPassword);
    EXPECT_EQ(CProfile::ReadString(QStringLiteral("FTP"), QStringLiteral("Password")), settings.m_strPassword);

    // The password lies in that file: only its owner may read it.
    struct stat info{};
    ASSERT_EQ(::stat(QFile::encodeName(profile).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    CProfile::SetFile(QString());
}

TEST(LocalUtils, DeleteLocalTree)
{
    QTemporaryDir dir;
    const QString top = dir.filePath(QStringLiteral("tree"));
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/a/b c/.hidden dir")));
    for (const char* name : {"/f1.txt", "/.dot", "/a/f2", "/a/b c/f 3", "/a/b c/.hidden dir/x"}) {
        QFile file(top + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // A link to a folder outside is removed, never followed.
    const QString outside = dir.filePath(QStringLiteral("outside"));
    ASSERT_TRUE(QDir().mkpath(outside));
    QFile(outside + QStringLiteral("/precious")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(outside, top + QStringLiteral("/a/link")));

    EXPECT_TRUE(DeleteLocalTree(QDir::toNativeSeparators(top)));
    EXPECT_FALSE(QFileInfo::exists(top));
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/precious")));

    // A read-only file stays, and so do the folders that hold it.
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/sub")));
    QFile(top + QStringLiteral("/sub/other")).open(QIODevice::WriteOnly);
    const QString locked = top + QStringLiteral("/sub/locked.txt");
    QFile(locked).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_FALSE(DeleteLocalTree(top));
    EXPECT_TRUE(QFileInfo::exists(locked));
    EXPECT_FALSE(QFileInfo::exists(top + QStringLiteral("/sub/other")));
    EXPECT_FALSE(DeleteLocalTree(dir.filePath(QStringLiteral("never there"))));
}

TEST(LocalUtils, RunProgram)
{
    // ftp_run_probe lies beside this test program and writes its arguments,
    // one per line, into the file named by TESSARO_PROBE_OUT.
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("args.txt"));
    qputenv("TESSARO_PROBE_OUT", QFile::encodeName(out));
    EXPECT_TRUE(RunProgram(QStringLiteral("ftp_run_probe"), QStringLiteral("\"/data/Job 1/a b.txt\"")));
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("/data/Job 1/a b.txt\n"));
    file.close();
    QFile::remove(out);

    // "Name.exe" finds the lower-case program on this platform.
    EXPECT_TRUE(RunProgram(QStringLiteral("FTP_RUN_PROBE.exe"), QString()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray());

    EXPECT_FALSE(RunProgram(QStringLiteral("no-such-program"), QStringLiteral("\"x\"")));
    EXPECT_TRUE(ProgramBesideExecutable(QStringLiteral("no-such-program")).isEmpty());
}
