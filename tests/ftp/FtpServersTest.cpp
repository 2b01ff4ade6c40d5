// End to end: the client against real servers on loopback, in active and
// passive mode, moving folder trees byte for byte both ways.
#include "FtpServerProcess.h"
#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QDirIterator>

namespace {

struct CServerCase
{
    CFtpServerProcess::EKind m_kind;
    bool m_bPassive;
    bool m_bIPv6 = false;
};

// Relative path -> content of every file below folder (folders end in "/").
QMap<QString, QByteArray> Snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(folder).relativeFilePath(it.next());
        if (it.fileInfo().isDir())
            files.insert(relative + u'/', QByteArray());
        else
            files.insert(relative, ReadAll(it.filePath()));
    }
    return files;
}

class FtpServers : public testing::TestWithParam<CServerCase>
{
};

TEST_P(FtpServers, FolderTreeRoundTrip)
{
    CFtpTestServices services; // real pauses are not needed against real servers
    CFtpServerProcess server(GetParam().m_kind, GetParam().m_bIPv6);
    if (!server.Start())
        GTEST_SKIP() << qPrintable(server.m_strProblem);
    CFtpClient client;
    client.m_bPassive = GetParam().m_bPassive;
    client.m_nTimeoutMs = 10000;
    ASSERT_TRUE(client.LogOn(server.m_strHost, server.m_nPort, server.m_strUser, server.m_strPassword, QString(),
                             QString(), QString(), QString(), 0, 0))
        << qPrintable(client.m_strReply);

    QTemporaryDir local;
    const QString top = local.filePath(u"Job1"_s);
    ASSERT_TRUE(WriteAll(top + u"/a.txt"_s, "alpha\r\n"));
    ASSERT_TRUE(WriteAll(top + u"/.hidden"_s, "not uploaded"));
    ASSERT_TRUE(WriteAll(top + u"/sub dir/b c.bin"_s, RandomBytes(1024 * 1024 + 7, 21)));
    ASSERT_TRUE(WriteAll(top + u"/sub dir/deep/x.bin"_s, RandomBytes(4096, 22)));
    ASSERT_TRUE(WriteAll(top + u"/sub dir/deep/empty.bin"_s, QByteArray()));
    ASSERT_TRUE(WriteAll(top + u"/.hidden dir/y.txt"_s, "inside a hidden folder"));
    ASSERT_TRUE(QDir().mkpath(top + u"/empty folder"_s));

    // Remote paths of the folder operations have no leading "/".
    const QString remoteParent = server.m_strRemoteBase.mid(1);
    EXPECT_TRUE(client.UploadFolder(top, remoteParent, u"Job1"_s)) << qPrintable(client.m_strReply);
    EXPECT_TRUE(client.m_aTransferFolders.isEmpty());
    QMap<QString, QByteArray> expected = Snapshot(top);
    expected.remove(u".hidden"_s);
    EXPECT_EQ(Snapshot(server.m_strRoot + u"/Job1"_s), expected);

    const QString remoteTop = remoteParent.isEmpty() ? u"Job1"_s : remoteParent + u"/Job1"_s;
    EXPECT_TRUE(client.DownloadFolder(remoteTop, local.path(), u"Back"_s)) << qPrintable(client.m_strReply);
    EXPECT_EQ(Snapshot(local.filePath(u"Back"_s)), expected);
    EXPECT_TRUE(services.m_prompt.Idle()) << qPrintable(services.m_prompt.m_unexpected.join(u'|'));
    client.LogOff();
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, FtpServers,
    testing::Values(CServerCase{CFtpServerProcess::Pyftpdlib, false}, CServerCase{CFtpServerProcess::Pyftpdlib, true},
                    CServerCase{CFtpServerProcess::Vsftpd, false}, CServerCase{CFtpServerProcess::Vsftpd, true},
                    // EPRT and EPSV: PORT and PASV cannot carry an IPv6 address.
                    CServerCase{CFtpServerProcess::Vsftpd, false, true},
                    CServerCase{CFtpServerProcess::Vsftpd, true, true}),
    [](const testing::TestParamInfo<CServerCase>& info) {
        return std::string(info.param.m_kind == CFtpServerProcess::Pyftpdlib ? "pyftpdlib" : "vsftpd")
            + (info.param.m_bIPv6 ? "_ipv6" : "") + (info.param.m_bPassive ? "_passive" : "_active");
    });

} // namespace
