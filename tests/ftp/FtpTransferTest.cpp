#include "FtpTestSupport.h"

#include <gtest/gtest.h>

namespace {

using CSession = CScriptedFtpServer::CSession;

void BinaryAndPort(CScriptedFtpServer& server)
{
    server.On("TYPE I", "200 Switching to Binary mode.");
    server.On("PORT ", "200 PORT command successful. Consider using PASV.");
    server.On("PASV", [](CSession& session, const std::string&) { session.Send(session.Pasv()); });
}

} // namespace

TEST(FtpTransfer, ActiveDownloadAndPassiveUpload)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    const QByteArray content = RandomBytes(10 * 4096 + 123, 1);
    const QByteArray upload = RandomBytes(7 * 4096 + 5, 2);
    const QString uploadPath = dir.filePath(QStringLiteral("up load.bin"));
    ASSERT_TRUE(WriteAll(uploadPath, upload));
    ASSERT_TRUE(WriteAll(dir.filePath(QStringLiteral("empty")), QByteArray()));

    CScriptedFtpServer server;
    BinaryAndPort(server);
    server.On("RETR /data/file.bin", ScriptedFtp::SendFile(ToStd(content)));
    server.On("RETR /data/empty", ScriptedFtp::SendFile(std::string()));
    server.On("STOR ", ScriptedFtp::ReceiveFile());
    server.Start();
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));

        const QString target = dir.filePath(QStringLiteral("file.bin"));
        EXPECT_TRUE(client.TransferFile(QStringLiteral("/data/file.bin"), target, false, true)) << qPrintable(client.m_strReply);
        EXPECT_EQ(client.m_strReply, QStringLiteral("226 Transfer complete.\r\n"));
        EXPECT_EQ(ReadAll(target), content);
        EXPECT_EQ(services.m_progress.m_nShows, 1);
        EXPECT_EQ(services.m_progress.m_nHides, 1);
        EXPECT_EQ(services.m_progress.m_strText, QStringLiteral("/data/file.bin"));
        EXPECT_EQ(services.m_progress.m_nBytes, content.size());
        EXPECT_GE(services.m_progress.m_nPolls, 11);

        // A zero-length download makes an empty file and succeeds.
        const QString empty = dir.filePath(QStringLiteral("empty.bin"));
        EXPECT_TRUE(client.TransferFile(QStringLiteral("/data/empty"), empty, false, true));
        EXPECT_TRUE(QFile::exists(empty));
        EXPECT_EQ(ReadAll(empty), QByteArray());

        EXPECT_TRUE(client.TransferFile(QStringLiteral("/data/up load.bin"), uploadPath, true, false));
        EXPECT_EQ(services.m_progress.m_nBytes, upload.size());
        EXPECT_GE(services.m_progress.m_nSteps, 8);
        EXPECT_TRUE(client.TransferFile(QStringLiteral("/data/empty"), dir.filePath(QStringLiteral("empty")), true, false));
        EXPECT_FALSE(client.m_bCancelled);
        client.CloseControlChannel();
    }
    server.Join();
    const auto& t = server.m_transcript;
    ASSERT_EQ(t.size(), 12u);
    EXPECT_EQ(t[0], "TYPE I");
    // The PORT argument is the control connection's own address and the
    // listening port, which the server reached.
    EXPECT_EQ(t[1].rfind("PORT 127,0,0,1,", 0), 0u) << t[1];
    EXPECT_EQ(t[2], "RETR /data/file.bin");
    EXPECT_EQ(t[5], "RETR /data/empty");
    EXPECT_EQ(t[6], "TYPE I");
    EXPECT_EQ(t[7], "PASV");
    EXPECT_EQ(t[8], "STOR /data/up load.bin");
    EXPECT_EQ(t[11], "STOR /data/empty");
    ASSERT_EQ(server.m_session.m_uploads.size(), 2u);
    EXPECT_EQ(server.m_session.m_uploads[0], ToStd(upload));
    EXPECT_EQ(server.m_session.m_uploads[1], std::string());
}

// A download that does not end with the server's confirmation leaves an
// older file exactly as it was and nothing partial beside it.
TEST(FtpTransfer, FailedDownloadsKeepTheOldFile)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("keep.txt"));
    const QByteArray old("older content\r\n");
    ASSERT_TRUE(WriteAll(target, old));
    const QByteArray big = RandomBytes(4 * 1024 * 1024, 3);

    CScriptedFtpServer server;
    BinaryAndPort(server);
    server.On("RETR /missing", "550 Failed to open file.");
    server.On("RETR /broken", [](CSession& session, const std::string&) {
        session.Send("150 Opening BINARY mode data connection.\r\n");
        session.OpenData();
        session.SendData("partial data");
        session.CloseData();
        session.Send("451 Local error in processing.\r\n");
    });
    server.On("RETR /stalls", [](CSession& session, const std::string&) {
        session.Send("150 Opening BINARY mode data connection.\r\n");
        session.OpenData();
        session.SendData("partial data");
        session.Pause(700);
        session.CloseData();
        session.Send("426 Failure writing network stream.\r\n");
    });
    server.On("RETR /big", ScriptedFtp::SendFile(ToStd(big)));
    server.On("NOOP", "200 NOOP ok");
    server.Start();
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));

        EXPECT_FALSE(client.TransferFile(QStringLiteral("/missing"), target, false, true));
        EXPECT_EQ(client.m_strReply, QStringLiteral("550 Failed to open file.\r\n"));
        EXPECT_FALSE(client.TransferFile(QStringLiteral("/missing"), dir.filePath(QStringLiteral("new.txt")), true, true));
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("new.txt"))));

        EXPECT_FALSE(client.TransferFile(QStringLiteral("/broken"), target, true, true));
        EXPECT_EQ(client.m_strReply, QStringLiteral("451 Local error in processing.\r\n"));

        // A data connection that stops moving ends with a network error.
        client.m_nTimeoutMs = 200;
        EXPECT_FALSE(client.TransferFile(QStringLiteral("/stalls"), target, false, true));
        EXPECT_EQ(client.m_strReply, QStringLiteral("Network error"));
        EXPECT_EQ(services.m_progress.m_nShows, services.m_progress.m_nHides);
        client.m_nTimeoutMs = 5000;
        // The late reply of the stalled transfer is still on its way; take it.
        EXPECT_FALSE(client.Command(QString()));
        EXPECT_EQ(client.m_strReply, QStringLiteral("426 Failure writing network stream.\r\n"));

        // Cancel at the third block: the old file stays, one reply is read so
        // that the next command gets its own reply.
        services.m_progress.m_nPolls = 0;
        services.m_progress.m_nCancelAtPoll = 3;
        EXPECT_FALSE(client.TransferFile(QStringLiteral("/big"), target, false, true));
        EXPECT_TRUE(client.m_bCancelled);
        services.m_progress.m_nCancelAtPoll = 0;
        EXPECT_TRUE(client.Command(QStringLiteral("NOOP")));
        EXPECT_EQ(client.m_strReply, QStringLiteral("200 NOOP ok\r\n"));
        client.CloseControlChannel();
    }
    server.Join();
    EXPECT_EQ(ReadAll(target), old);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("keep.txt")});
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
        // Missing local file, and a remote path with a line break.
        EXPECT_FALSE(client.TransferFile(QStringLiteral("/x"), dir.filePath(QStringLiteral("none")), false, false));
        EXPECT_EQ(client.m_strReply, QStringLiteral("Unable to open file to local maschine"));
        EXPECT_FALSE(client.TransferFile(QStringLiteral("/x\r\nDELE /y"), dir.filePath(QStringLiteral("n")), false, true));
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("n"))));
        EXPECT_FALSE(client.TransferFile(QStringLiteral("/x"), dir.path() + QStringLiteral("/no/such/dir/f"), false, true));
        EXPECT_EQ(client.m_strReply, QStringLiteral("Unable to open file to local maschine"));

        // A PASV reply without parentheses, a refused PORT.
        EXPECT_FALSE(client.TransferFile(QStringLiteral("/x"), dir.filePath(QStringLiteral("a")), true, true));
        EXPECT_EQ(client.m_strReply, QStringLiteral("227 Entering Passive Mode 127,0,0,1,4,1\r\n"));
        EXPECT_FALSE(client.TransferFile(QStringLiteral("/x"), dir.filePath(QStringLiteral("a")), false, true));
        EXPECT_EQ(client.m_strReply, QStringLiteral("500 Illegal PORT command.\r\n"));
        EXPECT_EQ(services.m_progress.m_nShows, services.m_progress.m_nHides);
        client.CloseControlChannel();
    }
    server.Join();
    ASSERT_EQ(server.m_transcript.size(), 4u);
    EXPECT_EQ(server.m_transcript[0], "TYPE I");
    EXPECT_EQ(server.m_transcript[1], "PASV");
    EXPECT_EQ(server.m_transcript[2], "TYPE I");
    EXPECT_EQ(server.m_transcript[3].rfind("PORT ", 0), 0u);
    EXPECT_TRUE(FolderEntries(dir.path()).isEmpty());
}
