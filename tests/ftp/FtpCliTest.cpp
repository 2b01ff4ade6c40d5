// tessaro-cli ftp ... against pyftpdlib and vsftpd.
#include "FtpServerProcess.h"
#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <sys/stat.h>

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
    }

    // Runs "tessaro-cli --profile P ftp [logon] args"; logon names the server.
    CRun Cli(const QStringList& args, bool logon = true)
    {
        QStringList all{u"--profile"_s, m_local.filePath(u"profile.ini"_s), u"ftp"_s};
        if (logon)
            all << u"--server"_s << u"127.0.0.1:%1"_s.arg(m_server->m_nPort) << u"--user"_s << m_server->m_strUser
                << u"--password"_s << m_server->m_strPassword;
        QProcess process;
        process.setWorkingDirectory(m_local.path());
        process.start(QStringLiteral(TESSARO_CLI), all + args);
        CRun run;
        if (process.waitForFinished(60000)) {
            run.m_nExit = process.exitCode();
            run.m_strOut = QString::fromUtf8(process.readAllStandardOutput());
            run.m_strErr = QString::fromUtf8(process.readAllStandardError());
        }
        return run;
    }
    QString Remote(const QString& path) const { return m_server->m_strRemoteBase + u'/' + path; }
    QString OnServer(const QString& path) const { return m_server->m_strRoot + u'/' + path; }
    QString Local(const QString& path) const { return m_local.filePath(path); }

    std::unique_ptr<CFtpServerProcess> m_server;
    QTemporaryDir m_local;
};

TEST_P(FtpCli, CommandsMoveFilesAndFolders)
{
    const QByteArray content = RandomBytes(300000, 31);
    ASSERT_TRUE(WriteAll(Local(u"a b.bin"_s), content));
    const auto ok = [this](const QStringList& args) {
        const CRun run = Cli(args);
        EXPECT_EQ(run.m_nExit, 0) << qPrintable(args.join(u' ')) << ": " << qPrintable(run.m_strErr);
        return run.m_strOut;
    };

    ok({u"mkdir"_s, Remote(QString()), u"my folder"_s});
    ok({u"put"_s, u"a b.bin"_s, Remote(u"my folder/a b.bin"_s)});
    EXPECT_EQ(ReadAll(OnServer(u"my folder/a b.bin"_s)), content);
    ok({u"--passive"_s, u"get"_s, Remote(u"my folder/a b.bin"_s), u"copy.bin"_s});
    EXPECT_EQ(ReadAll(Local(u"copy.bin"_s)), content);

    // Names with spaces are listed whole, folders marked "d".
    ASSERT_TRUE(WriteAll(OnServer(u"  two leading"_s), "x"));
    EXPECT_EQ(ok({u"ls"_s, Remote(QString())}), u"-\t  two leading\nd\tmy folder\n"_s);
    EXPECT_EQ(ok({u"ls"_s, Remote(u"my folder"_s)}), u"-\ta b.bin\n"_s);
    ok({u"rename"_s, Remote(u"my folder/a b.bin"_s), Remote(u"my folder/c.bin"_s)});
    EXPECT_EQ(FolderEntries(OnServer(u"my folder"_s)), QStringList{u"c.bin"_s});

    // Folder trees both ways.
    const QByteArray deep = RandomBytes(50000, 32);
    ASSERT_TRUE(WriteAll(Local(u"tree/top.txt"_s), "top"));
    ASSERT_TRUE(WriteAll(Local(u"tree/in ner/deep.bin"_s), deep));
    ok({u"upload-folder"_s, u"tree"_s, Remote(u"my folder"_s), u"T"_s});
    EXPECT_EQ(ReadAll(OnServer(u"my folder/T/in ner/deep.bin"_s)), deep);
    ok({u"--passive"_s, u"download-folder"_s, Remote(u"my folder/T"_s), m_local.path(), u"T2"_s});
    EXPECT_EQ(ReadAll(Local(u"T2/top.txt"_s)), QByteArray("top"));
    EXPECT_EQ(ReadAll(Local(u"T2/in ner/deep.bin"_s)), deep);

    // Uploading again: without --yes existing files are skipped, with it overwritten.
    ASSERT_TRUE(WriteAll(Local(u"tree/top.txt"_s), "changed"));
    ok({u"upload-folder"_s, u"tree"_s, Remote(u"my folder"_s), u"T"_s});
    EXPECT_EQ(ReadAll(OnServer(u"my folder/T/top.txt"_s)), QByteArray("top"));
    ok({u"--yes"_s, u"upload-folder"_s, u"tree"_s, Remote(u"my folder"_s), u"T"_s});
    EXPECT_EQ(ReadAll(OnServer(u"my folder/T/top.txt"_s)), QByteArray("changed"));

    ok({u"rm"_s, Remote(u"my folder/c.bin"_s)});
    EXPECT_EQ(FolderEntries(OnServer(u"my folder"_s)), QStringList{u"T"_s});
    ASSERT_TRUE(QDir().mkpath(OnServer(u"gone"_s)));
    ASSERT_EQ(::chmod(QFile::encodeName(OnServer(u"gone"_s)).constData(), 0777), 0); // for vsftpd's "ftp" user
    ok({u"rmdir"_s, Remote(u"gone"_s)});
    EXPECT_FALSE(QFileInfo::exists(OnServer(u"gone"_s)));
}

TEST_P(FtpCli, FailuresAndUsage)
{
    CRun run = Cli({u"get"_s, Remote(u"missing.txt"_s), u"out.txt"_s});
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_strErr.contains(u"550"_s)) << qPrintable(run.m_strErr);
    EXPECT_FALSE(QFileInfo::exists(Local(u"out.txt"_s)));
    EXPECT_EQ(Cli({u"rm"_s, Remote(u"missing.txt"_s)}).m_nExit, 1);
    run = Cli({u"ls"_s, Remote(u"no such folder"_s)});
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_strErr.contains(u"550"_s)) << qPrintable(run.m_strErr);

    EXPECT_EQ(Cli({u"frobnicate"_s}).m_nExit, 2);
    EXPECT_EQ(Cli({u"get"_s, u"only-one"_s}).m_nExit, 2);
    EXPECT_EQ(Cli({u"ls"_s}, false).m_nExit, 2); // no server anywhere

    // Server, user and password from the profile; a wrong password fails with the server's reply.
    ASSERT_TRUE(WriteAll(Local(u"profile.ini"_s),
                         u"[FTP]\nServerName=127.0.0.1:%1\nUserName=%2\nPassword=%3\n"_s.arg(m_server->m_nPort)
                             .arg(m_server->m_strUser, m_server->m_strPassword)
                             .toUtf8()));
    run = Cli({u"ls"_s, Remote(QString())}, false);
    EXPECT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
    if (GetParam() == CFtpServerProcess::Pyftpdlib) {
        run = Cli({u"--password"_s, u"wrong"_s, u"ls"_s}, false);
        EXPECT_EQ(run.m_nExit, 1);
        EXPECT_TRUE(run.m_strErr.contains(u"530"_s)) << qPrintable(run.m_strErr);
    }
}

INSTANTIATE_TEST_SUITE_P(Loopback, FtpCli, testing::Values(CFtpServerProcess::Pyftpdlib, CFtpServerProcess::Vsftpd),
                         [](const testing::TestParamInfo<CFtpServerProcess::EKind>& info) {
                             return std::string(info.param == CFtpServerProcess::Pyftpdlib ? "pyftpdlib" : "vsftpd");
                         });

} // namespace
