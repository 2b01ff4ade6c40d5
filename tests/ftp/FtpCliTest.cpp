// tessaro-cli ftp ... against pyftpdlib and vsftpd.
#include "FtpServerProcess.h"
#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>

namespace {

struct CRun
{
    int m_nExit = -1;
    QString m_strOut;
    QString m_strErr;
};

class FtpCli : public testing::TestWithParam<CFtpServerProcess::EKind>
{
protected:
    void SetUp() override
    {
        m_server = std::make_unique<CFtpServerProcess>(GetParam());
        if (!m_server->Start())
            GTEST_SKIP() << qPrintable(m_server->m_strProblem);
        m_strProfile = m_local.filePath(QStringLiteral("profile.ini"));
    }

    CRun Cli(QStringList args, bool withServer = true)
    {
        QStringList all{QStringLiteral("--profile"), m_strProfile, QStringLiteral("ftp")};
        if (withServer)
            all << QStringLiteral("--server") << QStringLiteral("127.0.0.1:%1").arg(m_server->m_nPort)
                << QStringLiteral("--user") << m_server->m_strUser << QStringLiteral("--password")
                << m_server->m_strPassword;
        all << args;
        QProcess process;
        process.setWorkingDirectory(m_local.path());
        process.start(QStringLiteral(TESSARO_CLI), all);
        CRun run;
        if (!process.waitForFinished(60000))
            return run;
        run.m_nExit = process.exitCode();
        run.m_strOut = QString::fromUtf8(process.readAllStandardOutput());
        run.m_strErr = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    QString Remote(const QString& path) const { return m_server->m_strRemoteBase + QLatin1Char('/') + path; }
    QString OnServer(const QString& path) const { return m_server->m_strRoot + QLatin1Char('/') + path; }

    std::unique_ptr<CFtpServerProcess> m_server;
    QTemporaryDir m_local;
    QString m_strProfile;
};

TEST_P(FtpCli, CommandsMoveFilesAndFolders)
{
    const QByteArray content = RandomBytes(300000, 31);
    ASSERT_TRUE(WriteAll(m_local.filePath(QStringLiteral("a b.bin")), content));

    CRun run = Cli({QStringLiteral("mkdir"), Remote(QString()), QStringLiteral("my folder")});
    ASSERT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    run = Cli({QStringLiteral("put"), QStringLiteral("a b.bin"), Remote(QStringLiteral("my folder/a b.bin"))});
    ASSERT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    EXPECT_EQ(ReadAll(OnServer(QStringLiteral("my folder/a b.bin"))), content);
    run = Cli({QStringLiteral("--passive"), QStringLiteral("get"), Remote(QStringLiteral("my folder/a b.bin")),
               QStringLiteral("copy.bin")});
    ASSERT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    EXPECT_EQ(ReadAll(m_local.filePath(QStringLiteral("copy.bin"))), content);

    // Names with spaces are listed whole, folders marked "d".
    ASSERT_TRUE(WriteAll(OnServer(QStringLiteral("  two leading")), "x"));
    run = Cli({QStringLiteral("ls"), Remote(QString())});
    ASSERT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    EXPECT_EQ(run.m_strOut, QStringLiteral("-\t  two leading\nd\tmy folder\n"));
    run = Cli({QStringLiteral("ls"), Remote(QStringLiteral("my folder"))});
    EXPECT_EQ(run.m_strOut, QStringLiteral("-\ta b.bin\n"));

    run = Cli({QStringLiteral("rename"), Remote(QStringLiteral("my folder/a b.bin")), Remote(QStringLiteral("my folder/c.bin"))});
    EXPECT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    EXPECT_TRUE(QFileInfo::exists(OnServer(QStringLiteral("my folder/c.bin"))));

    // Folder trees both ways.
    const QString tree = m_local.filePath(QStringLiteral("tree"));
    ASSERT_TRUE(QDir().mkpath(tree + QStringLiteral("/in ner")));
    ASSERT_TRUE(WriteAll(tree + QStringLiteral("/top.txt"), "top"));
    ASSERT_TRUE(WriteAll(tree + QStringLiteral("/in ner/deep.bin"), RandomBytes(50000, 32)));
    run = Cli({QStringLiteral("upload-folder"), QStringLiteral("tree"), Remote(QStringLiteral("my folder")), QStringLiteral("T")});
    ASSERT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    EXPECT_EQ(ReadAll(OnServer(QStringLiteral("my folder/T/in ner/deep.bin"))), ReadAll(tree + QStringLiteral("/in ner/deep.bin")));
    run = Cli({QStringLiteral("--passive"), QStringLiteral("download-folder"), Remote(QStringLiteral("my folder/T")),
               m_local.path(), QStringLiteral("T2")});
    ASSERT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    EXPECT_EQ(ReadAll(m_local.filePath(QStringLiteral("T2/top.txt"))), QByteArray("top"));
    EXPECT_EQ(ReadAll(m_local.filePath(QStringLiteral("T2/in ner/deep.bin"))), ReadAll(tree + QStringLiteral("/in ner/deep.bin")));

    // Uploading again: without --yes existing files are skipped, with it overwritten.
    ASSERT_TRUE(WriteAll(tree + QStringLiteral("/top.txt"), "changed"));
    run = Cli({QStringLiteral("upload-folder"), QStringLiteral("tree"), Remote(QStringLiteral("my folder")), QStringLiteral("T")});
    EXPECT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    EXPECT_EQ(ReadAll(OnServer(QStringLiteral("my folder/T/top.txt"))), QByteArray("top"));
    run = Cli({QStringLiteral("--yes"), QStringLiteral("upload-folder"), QStringLiteral("tree"), Remote(QStringLiteral("my folder")),
               QStringLiteral("T")});
    EXPECT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    EXPECT_EQ(ReadAll(OnServer(QStringLiteral("my folder/T/top.txt"))), QByteArray("changed"));

    run = Cli({QStringLiteral("rm"), Remote(QStringLiteral("my folder/c.bin"))});
    EXPECT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    EXPECT_FALSE(QFileInfo::exists(OnServer(QStringLiteral("my folder/c.bin"))));
    ASSERT_TRUE(QDir().mkpath(OnServer(QStringLiteral("gone"))));
    if (GetParam() == CFtpServerProcess::Vsftpd)
        QFile::setPermissions(OnServer(QStringLiteral("gone")), QFileDevice::ReadOther | QFileDevice::WriteOther
                                                                    | QFileDevice::ExeOther | QFileDevice::ReadOwner
                                                                    | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    run = Cli({QStringLiteral("rmdir"), Remote(QStringLiteral("gone"))});
    EXPECT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    EXPECT_FALSE(QFileInfo::exists(OnServer(QStringLiteral("gone"))));
}

TEST_P(FtpCli, FailuresAndUsage)
{
    CRun run = Cli({QStringLiteral("get"), Remote(QStringLiteral("missing.txt")), QStringLiteral("out.txt")});
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_strErr.contains(QStringLiteral("550"))) << qPrintable(run.m_strErr);
    EXPECT_FALSE(QFileInfo::exists(m_local.filePath(QStringLiteral("out.txt"))));

    run = Cli({QStringLiteral("rm"), Remote(QStringLiteral("missing.txt"))});
    EXPECT_EQ(run.m_nExit, 1);
    run = Cli({QStringLiteral("ls"), Remote(QStringLiteral("no such folder"))});
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_strErr.contains(QStringLiteral("550"))) << qPrintable(run.m_strErr);

    run = Cli({QStringLiteral("frobnicate")});
    EXPECT_EQ(run.m_nExit, 2);
    run = Cli({QStringLiteral("get"), QStringLiteral("only-one")});
    EXPECT_EQ(run.m_nExit, 2);
    run = Cli({QStringLiteral("ls")}, false);   // no server anywhere
    EXPECT_EQ(run.m_nExit, 2);

    // Server, user and password from the profile; a wrong password fails with the server's reply.
    {
        QFile profile(m_strProfile);
        ASSERT_TRUE(profile.open(QIODevice::WriteOnly));
        profile.write(QStringLiteral("[FTP]\nServerName=127.0.0.1:%1\nUserName=%2\nPassword=%3\n")
                          .arg(m_server->m_nPort)
                          .arg(m_server->m_strUser, m_server->m_strPassword)
                          .toUtf8());
    }
    run = Cli({QStringLiteral("ls"), Remote(QString())}, false);
    EXPECT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    if (GetParam() == CFtpServerProcess::Pyftpdlib) {
        run = Cli({QStringLiteral("--password"), QStringLiteral("wrong"), QStringLiteral("ls")}, false);
        EXPECT_EQ(run.m_nExit, 1);
        EXPECT_TRUE(run.m_strErr.contains(QStringLiteral("530"))) << qPrintable(run.m_strErr);
    }
}

INSTANTIATE_TEST_SUITE_P(Loopback, FtpCli, testing::Values(CFtpServerProcess::Pyftpdlib, CFtpServerProcess::Vsftpd),
                         [](const testing::TestParamInfo<CFtpServerProcess::EKind>& info) {
                             return std::string(info.param == CFtpServerProcess::Pyftpdlib ? "pyftpdlib" : "vsftpd");
                         });

} // namespace
