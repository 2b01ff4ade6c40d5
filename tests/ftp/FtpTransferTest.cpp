#include "FtpTestSupport.h"

#include <gtest/gtest.h>

namespace {

void BinaryAndPort(CScriptedFtpServer& server)
{
    server.On("TYPE I", "200 Switching to Binary mode.");
    server.On("PORT ", "200 PORT command successful. Consider using PASV.");
    server.On("PASV", [](CScriptedFtpServer& peer, const std::string&) { peer.Send(peer.Pasv()); });
}

} // namespace

TEST(FtpTransfer, ActiveDownloadsAndPassiveUploads)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    const QByteArray content = RandomBytes(10 * 4096 + 123, 1);
    const QByteArray upload = RandomBytes(7 * 4096 + 5, 2);
    const QString uploadPath = dir.filePath(u"up load.bin"_s);
    ASSERT_TRUE(WriteAll(uploadPath, upload));
    ASSERT_TRUE(WriteAll(dir.filePath(u"empty"_s), QByteArray()));
    const QString target = dir.filePath(u"file.bin"_s);
    ASSERT_TRUE(WriteAll(target, "older"));

    CScriptedFtpServer server;
    BinaryAndPort(server);
    server.On("RETR /data/file.bin", ScriptedFtp::SendFile(content.toStdString()));
    server.On("RETR /data/empty", ScriptedFtp::SendFile(std::string()));
    server.On("STOR ", ScriptedFtp::ReceiveFile());
    server.Start();
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));
        // A download replaces an older file.
        EXPECT_TRUE(client.TransferFile(u"/data/file.bin"_s, target, false, true)) << qPrintable(client.m_strReply);
        EXPECT_EQ(client.m_strReply, u"226 Transfer complete.\r\n"_s);
        EXPECT_EQ(ReadAll(target), content);
        EXPECT_EQ(services.m_progress.m_nShows, 1);
        EXPECT_EQ(services.m_progress.m_nHides, 1);
        EXPECT_EQ(services.m_progress.m_strText, u"/data/file.bin"_s);
        EXPECT_EQ(services.m_progress.m_nBytes, content.size());
        EXPECT_GE(services.m_progress.m_nPolls, 11);

        // A zero-length download makes an empty file and succeeds.
        EXPECT_TRUE(client.TransferFile(u"/data/empty"_s, dir.filePath(u"empty.bin"_s), false, true));
        EXPECT_EQ(ReadAll(dir.filePath(u"empty.bin"_s)), QByteArray());

        EXPECT_TRUE(client.TransferFile(u"/data/up load.bin"_s, uploadPath, true, false));
        EXPECT_EQ(services.m_progress.m_nBytes, upload.size());
        EXPECT_GE(services.m_progress.m_nSteps, 8);
        EXPECT_TRUE(client.TransferFile(u"/data/empty"_s, dir.filePath(u"empty"_s), false, false));
        EXPECT_FALSE(client.m_bCancelled);
        client.CloseControlChannel();
    }
    server.Join();
    std::vector<std::string> commands;
    for (const std::string& line : server.m_transcript)
        commands.push_back(line.rfind("PORT 127,0,0,1,", 0) == 0 ? "PORT" : line);
    // The PORT argument is the control connection's own address and the
    // listening port, which the server reached.
    EXPECT_EQ(
        commands,
        (std::vector<std::string>{"TYPE I", "PORT", "RETR /data/file.bin", "TYPE I", "PORT", "RETR /data/empty",
                                  "TYPE I", "PASV", "STOR /data/up load.bin", "TYPE I", "PORT", "STOR /data/empty"}));
    EXPECT_EQ(server.m_uploads, (std::vector<std::string>{upload.toStdString(), std::string()}));
    EXPECT_EQ(FolderEntries(dir.path()), (QStringList{u"empty"_s, u"empty.bin"_s, u"file.bin"_s, u"up load.bin"_s}));
}

// A download that does not end with the server's confirmation leaves an
// older file exactly as it was and nothing partial beside it.
TEST(FtpTransfer, FailedDownloadsKeepTheOldFile)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    const QString target = dir.filePath(u"keep.txt"_s);
    const QByteArray old("older content\r\n");
    ASSERT_TRUE(WriteAll(target, old));

    CScriptedFtpServer server;
    BinaryAndPort(server);
    server.On("RETR /missing", "550 Failed to open file.");
    // Data, then a failure reply; or data that stalls beyond the time-out
    // while the reply already claims success.
    for (const char* path : {"RETR /broken", "RETR /stalls"}) {
        server.On(path, [stall = path[6] == 's'](CScriptedFtpServer& peer, const std::string&) {
            peer.Send("150 Opening BINARY mode data connection.\r\n");
            peer.OpenData();
            peer.SendData("partial data");
            peer.Send(stall ? "226 Transfer complete.\r\n" : "");
            peer.Pause(stall ? 700 : 0);
            peer.CloseData();
            peer.Send(stall ? "" : "451 Local error in processing.\r\n");
        });
    }
    server.On("RETR /big", ScriptedFtp::SendFile(RandomBytes(4 * 1024 * 1024, 3).toStdString()));
    server.On("NOOP", "200 NOOP ok");
    server.Start();
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));
        EXPECT_FALSE(client.TransferFile(u"/missing"_s, target, false, true));
        EXPECT_EQ(client.m_strReply, u"550 Failed to open file.\r\n"_s);
        EXPECT_FALSE(client.TransferFile(u"/missing"_s, dir.filePath(u"new.txt"_s), false, true));
        EXPECT_FALSE(client.TransferFile(u"/broken"_s, target, false, true));
        EXPECT_EQ(client.m_strReply, u"451 Local error in processing.\r\n"_s);

        // A data connection that stops moving ends with a network error.
        client.m_nTimeoutMs = 200;
        EXPECT_FALSE(client.TransferFile(u"/stalls"_s, target, false, true));
        EXPECT_EQ(client.m_strReply, u"Network error"_s);
        EXPECT_EQ(services.m_progress.m_nShows, services.m_progress.m_nHides);
        client.m_nTimeoutMs = 5000;
        // The reply of the stalled transfer is left unread; take it.
        EXPECT_TRUE(client.Command(QString()));
        EXPECT_EQ(client.m_strReply, u"226 Transfer complete.\r\n"_s);

        // Cancel at the third block: the old file stays, one reply is read so
        // that the next command gets its own reply.
        services.m_progress.m_nPolls = 0;
        services.m_progress.m_nCancelAtPoll = 3;
        EXPECT_FALSE(client.TransferFile(u"/big"_s, target, false, true));
        EXPECT_TRUE(client.m_bCancelled);
        services.m_progress.m_nCancelAtPoll = 0;
        EXPECT_TRUE(client.Command(u"NOOP"_s));
        EXPECT_EQ(client.m_strReply, u"200 NOOP ok\r\n"_s);
        client.CloseControlChannel();
    }
    server.Join();
    EXPECT_EQ(ReadAll(target), old);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{u"keep.txt"_s});
}

TEST(FtpTransfer, RefusalsBeforeAnythingIsSent)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    CScriptedFtpServer server;
    server.On("TYPE I", "200 Switching to Binary mode.");
    server.On("PASV", "227 Entering Passive Mode 127,0,0,1,4,1");
    server.On("PORT ", "500 Illegal PORT command.");
    server.Start();
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));
        // Missing local file or folder, and a remote path with a line break.
        EXPECT_FALSE(client.TransferFile(u"/x"_s, dir.filePath(u"none"_s), false, false));
        EXPECT_EQ(client.m_strReply, u"Unable to open file to local maschine"_s);
        EXPECT_FALSE(client.TransferFile(u"/x"_s, dir.path() + u"/no/such/dir/f"_s, false, true));
        EXPECT_EQ(client.m_strReply, u"Unable to open file to local maschine"_s);
        EXPECT_FALSE(client.TransferFile(u"/x\r\nDELE /y"_s, dir.filePath(u"n"_s), false, true));
        EXPECT_TRUE(client.m_strReply.startsWith(u"Refused"_s));

        // A PASV reply without parentheses, a refused PORT.
        EXPECT_FALSE(client.TransferFile(u"/x"_s, dir.filePath(u"a"_s), true, true));
        EXPECT_EQ(client.m_strReply, u"227 Entering Passive Mode 127,0,0,1,4,1\r\n"_s);
        EXPECT_FALSE(client.TransferFile(u"/x"_s, dir.filePath(u"a"_s), false, true));
        EXPECT_EQ(client.m_strReply, u"500 Illegal PORT command.\r\n"_s);
        EXPECT_EQ(services.m_progress.m_nShows, services.m_progress.m_nHides);
        client.CloseControlChannel();
    }
    server.Join();
    ASSERT_EQ(server.m_transcript.size(), 4u);
    EXPECT_EQ(server.m_transcript[0] + "|" + server.m_transcript[1] + "|" + server.m_transcript[2],
              "TYPE I|PASV|TYPE I");
    EXPECT_EQ(server.m_transcript[3].rfind("PORT ", 0), 0u);
    EXPECT_TRUE(FolderEntries(dir.path()).isEmpty());
}
