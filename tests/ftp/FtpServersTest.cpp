// End to end: the client against real servers on loopback, in active and
// passive mode, moving files and folder trees byte for byte.
#include "FtpServerProcess.h"
#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

struct CServerCase
{
    CFtpServerProcess::EKind m_kind;
    bool m_bPassive;
};

std::string CaseName(const testing::TestParamInfo<CServerCase>& info)
{
    return std::string(info.param.m_kind == CFtpServerProcess::Pyftpdlib ? "pyftpdlib" : "vsftpd")
           + (info.param.m_bPassive ? "_passive" : "_active");
}

// Relative path -> content of every file below folder (folders end in "/").
QMap<QString, QByteArray> Snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(folder).relativeFilePath(path);
        if (it.fileInfo().isDir())
            files.insert(relative + QLatin1Char('/'), QByteArray());
        else
            files.insert(relative, ReadAll(path));
    }
    return files;
}

void MakeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(WriteAll(path, content)) << qPrintable(path);
}

class FtpServers : public testing::TestWithParam<CServerCase>
{
protected:
    void SetUp() override
    {
        m_server = std::make_unique<CFtpServerProcess>(GetParam().m_kind);
        if (!m_server->Start())
            GTEST_SKIP() << qPrintable(m_server->m_strProblem);
        m_client.m_bPassiveCopies = GetParam().m_bPassive;
        m_client.m_nTimeoutMs = 10000;
        ASSERT_TRUE(m_client.LogOn(QStringLiteral("127.0.0.1"), m_server->m_nPort, m_server->m_strUser,
                                   m_server->m_strPassword, QString(), QString(), QString(), QString(), 0, 0))
            << qPrintable(m_client.m_strReply);
    }
    void TearDown() override
    {
        if (m_client.IsOpen())
            m_client.LogOff();
    }
    // Remote path below the share, without a leading "/" (listing operations).
    QString Remote(const QString& path) const { return (m_server->m_strRemoteBase + QLatin1Char('/') + path).mid(1); }

    CFtpTestServices m_services;   // real pauses are not needed against real servers
    std::unique_ptr<CFtpServerProcess> m_server;
    CFtpClient m_client;
    QTemporaryDir m_local;
};

TEST_P(FtpServers, FileRoundTrip)
{
    const bool passive = GetParam().m_bPassive;
    const QByteArray content = RandomBytes(3 * 1024 * 1024 + 7, 11);
    const QString source = m_local.filePath(QStringLiteral("source file.bin"));
    MakeFile(source, content);
    ASSERT_TRUE(QDir().mkpath(m_server->m_strRoot + QStringLiteral("/in dir")));
    if (m_server->m_kind == CFtpServerProcess::Vsftpd) {
        ASSERT_EQ(::chmod(QFile::encodeName(m_server->m_strRoot + QStringLiteral("/in dir")).constData(), 0777), 0);
    }

    const QString remote = QLatin1Char('/') + Remote(QStringLiteral("in dir/file one.bin"));
    ASSERT_TRUE(m_client.TransferFile(remote, source, passive, false)) << qPrintable(m_client.m_strReply);
    EXPECT_EQ(ReadAll(m_server->m_strRoot + QStringLiteral("/in dir/file one.bin")), content);

    const QString back = m_local.filePath(QStringLiteral("back.bin"));
    MakeFile(back, "older");
    ASSERT_TRUE(m_client.TransferFile(remote, back, passive, true)) << qPrintable(m_client.m_strReply);
    EXPECT_EQ(ReadAll(back), content);
    EXPECT_EQ(m_services.m_progress.m_nBytes, content.size());

    // A missing remote file: the older local file stays as it was.
    EXPECT_FALSE(m_client.TransferFile(QLatin1Char('/') + Remote(QStringLiteral("no such file")), back, passive, true));
    EXPECT_TRUE(m_client.m_strReply.startsWith(QStringLiteral("550"))) << qPrintable(m_client.m_strReply);
    EXPECT_EQ(ReadAll(back), content);
    EXPECT_EQ(FolderEntries(m_local.path()), (QStringList{QStringLiteral("back.bin"), QStringLiteral("source file.bin")}));

    m_client.ReadRemoteFolder(Remote(QStringLiteral("in dir")));
    EXPECT_EQ(m_client.m_aRemoteFiles, QStringList{QStringLiteral("file one.bin")});
    m_client.ReadRemoteFolder(m_server->m_strRemoteBase.mid(1));
    EXPECT_EQ(m_client.m_aRemoteFolders, QStringList{QStringLiteral("in dir")});

    // Remote operations on the real server.
    EXPECT_TRUE(m_client.RenameRemote(Remote(QStringLiteral("in dir/file one.bin")), Remote(QStringLiteral("in dir/renamed.bin"))))
        << qPrintable(m_client.m_strReply);
    EXPECT_TRUE(m_client.MakeRemoteFolder(Remote(QStringLiteral("in dir")), QStringLiteral("new folder")))
        << qPrintable(m_client.m_strReply);
    EXPECT_TRUE(QFileInfo(m_server->m_strRoot + QStringLiteral("/in dir/new folder")).isDir());
    EXPECT_TRUE(m_client.RemoveRemoteFolder(Remote(QStringLiteral("in dir/new folder")))) << qPrintable(m_client.m_strReply);
    EXPECT_TRUE(m_client.DeleteRemoteFile(Remote(QStringLiteral("in dir/renamed.bin")))) << qPrintable(m_client.m_strReply);
    EXPECT_TRUE(FolderEntries(m_server->m_strRoot + QStringLiteral("/in dir")).isEmpty());
}

TEST_P(FtpServers, FolderTreeRoundTrip)
{
    const QString top = m_local.filePath(QStringLiteral("Job1"));
    MakeFile(top + QStringLiteral("/a.txt"), "alpha\r\n");
    MakeFile(top + QStringLiteral("/.hidden"), "not uploaded");
    MakeFile(top + QStringLiteral("/sub dir/b c.bin"), RandomBytes(100000, 21));
    MakeFile(top + QStringLiteral("/sub dir/deep/x.bin"), RandomBytes(4096, 22));
    MakeFile(top + QStringLiteral("/sub dir/deep/empty.bin"), QByteArray());
    MakeFile(top + QStringLiteral("/.hidden dir/y.txt"), "inside a hidden folder");
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/empty folder")));

    const QString remoteParent = Remote(QString());
    EXPECT_TRUE(m_client.UploadFolder(top, remoteParent.isEmpty() ? QString() : remoteParent, QStringLiteral("Job1")))
        << qPrintable(m_client.m_strReply);
    EXPECT_TRUE(m_client.m_aTransferFolders.isEmpty());

    QMap<QString, QByteArray> expected = Snapshot(top);
    expected.remove(QStringLiteral(".hidden"));
    EXPECT_EQ(Snapshot(m_server->m_strRoot + QStringLiteral("/Job1")), expected);

    const QString parent = m_local.filePath(QStringLiteral("down"));
    ASSERT_TRUE(QDir().mkpath(parent));
    EXPECT_TRUE(m_client.DownloadFolder(Remote(QStringLiteral("Job1")), parent, QStringLiteral("Back")))
        << qPrintable(m_client.m_strReply);
    EXPECT_EQ(Snapshot(parent + QStringLiteral("/Back")), expected);
    EXPECT_TRUE(m_services.m_prompt.Idle()) << qPrintable(m_services.m_prompt.m_unexpected.join(QLatin1Char('|')));
}

INSTANTIATE_TEST_SUITE_P(Loopback, FtpServers,
                         testing::Values(CServerCase{CFtpServerProcess::Pyftpdlib, false},
                                         CServerCase{CFtpServerProcess::Pyftpdlib, true},
                                         CServerCase{CFtpServerProcess::Vsftpd, false},
                                         CServerCase{CFtpServerProcess::Vsftpd, true}),
                         CaseName);

// The prompts of the folder copies against pyftpdlib: existing remote files,
// a remote twin folder, and failed downloads.
TEST(FtpFolderCopyPrompts, ExistingFilesAndFailedDownloads)
{
    CFtpTestServices services;
    CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
    ASSERT_TRUE(server.Start()) << qPrintable(server.m_strProblem);
    CFtpClient client;
    ASSERT_TRUE(client.LogOn(QStringLiteral("127.0.0.1"), server.m_nPort, server.m_strUser, server.m_strPassword,
                             QString(), QString(), QString(), QString(), 0, 0));
    QTemporaryDir local;
    const QString top = local.filePath(QStringLiteral("Job"));
    MakeFile(top + QStringLiteral("/1.txt"), "new one");
    MakeFile(top + QStringLiteral("/2.txt"), "new two");
    MakeFile(top + QStringLiteral("/3.txt"), "new three");
    MakeFile(server.m_strRoot + QStringLiteral("/Data/Job/1.txt"), "old one");
    MakeFile(server.m_strRoot + QStringLiteral("/Data/Job/2.txt"), "old two");

    // The twin folder exists: MKD fails, the listing finds it, files go into it.
    CFileExistAnswer skip, overwrite, cancel;
    skip.m_bSkip = true;
    overwrite.m_bOverwrite = true;
    cancel.m_bCancel = true;
    services.m_prompt.PushFileExist(skip);
    services.m_prompt.PushFileExist(overwrite);
    EXPECT_TRUE(client.UploadFolder(top, QStringLiteral("Data"), QStringLiteral("Job")));
    EXPECT_TRUE(services.m_prompt.Idle());
    EXPECT_EQ(ReadAll(server.m_strRoot + QStringLiteral("/Data/Job/1.txt")), QByteArray("old one"));
    EXPECT_EQ(ReadAll(server.m_strRoot + QStringLiteral("/Data/Job/2.txt")), QByteArray("new two"));
    EXPECT_EQ(ReadAll(server.m_strRoot + QStringLiteral("/Data/Job/3.txt")), QByteArray("new three"));

    // "Cancel" stops before any further file; the work list stays.
    MakeFile(top + QStringLiteral("/0.txt"), "zero");
    MakeFile(top + QStringLiteral("/3.txt"), "newer three");
    services.m_prompt.PushFileExist(cancel);
    EXPECT_FALSE(client.UploadFolder(top, QStringLiteral("Data"), QStringLiteral("Job")));
    EXPECT_EQ(ReadAll(server.m_strRoot + QStringLiteral("/Data/Job/0.txt")), QByteArray("zero"));
    EXPECT_EQ(ReadAll(server.m_strRoot + QStringLiteral("/Data/Job/3.txt")), QByteArray("new three"));
    EXPECT_TRUE(services.m_prompt.Idle());
    EXPECT_FALSE(client.m_aTransferFolders.isEmpty());

    // A file that cannot be written locally asks Continue/Abort.
    MakeFile(server.m_strRoot + QStringLiteral("/Remote/a.txt"), "a");
    MakeFile(server.m_strRoot + QStringLiteral("/Remote/b.txt"), "b");
    const QString parent = local.filePath(QStringLiteral("down"));
    ASSERT_TRUE(QDir().mkpath(parent + QStringLiteral("/R/a.txt")));   // a folder where a file should go
    services.m_prompt.PushError(true);
    EXPECT_FALSE(client.DownloadFolder(QStringLiteral("Remote"), parent, QStringLiteral("R")));
    EXPECT_TRUE(services.m_prompt.Idle());
    EXPECT_EQ(ReadAll(parent + QStringLiteral("/R/b.txt")), QByteArray("b"));
    client.LogOff();
}

} // namespace
