#include "FtpTestSupport.h"

#include "ftp/FtpProtocol.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <algorithm>
#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <unistd.h>

TEST(FtpTransfer, ActiveDownloadsAndPassiveUploads)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    const QByteArray content = RandomBytes(10 * 4096 + 123, 1);
    const QByteArray upload = RandomBytes(7 * 4096 + 5, 2);
    const QString uploadPath = dir.filePath(u"up load.bin"_s);
    ASSERT_TRUE(WriteFile(uploadPath, upload));
    ASSERT_TRUE(WriteFile(dir.filePath(u"empty"_s), QByteArray()));
    const QString target = dir.filePath(u"file.bin"_s);
    ASSERT_TRUE(WriteFile(target, "older"));
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(QFile::setPermissions(target, ownerOnly));

    CScriptedFtpServer server;
    DataRules(server);
    server.On("RETR /data/file.bin", SendFile(content.toStdString()));
    server.On("STOR ", ReceiveFile());
    server.On("RNFR ", "350 Ready.");
    server.On("RNTO ", "250 Renamed.");
    WithClient(server, [&](CFtpClient& client) {
        client.m_nBlockSize = 4096; // one poll for Cancel and one progress step per block
        // A download replaces an older file.
        EXPECT_TRUE(client.TransferFile(u"/data/file.bin"_s, target, false, true)) << qPrintable(client.m_strReply);
        EXPECT_EQ(client.m_strReply, u"226 Transfer complete.\r\n"_s);
        EXPECT_EQ(ReadFile(target), content);
        EXPECT_EQ(QFile::permissions(target) & 0x7077, ownerOnly); // the replaced file's permissions stay
        EXPECT_EQ(services.m_progress.m_nShows, 1);
        EXPECT_EQ(services.m_progress.m_nHides, 1);
        EXPECT_EQ(services.m_progress.m_strText, u"/data/file.bin"_s);
        EXPECT_EQ(services.m_progress.m_nBytes, content.size());
        EXPECT_GE(services.m_progress.m_nPolls, 11);

        EXPECT_TRUE(client.TransferFile(u"/data/up load.bin"_s, uploadPath, true, false));
        EXPECT_EQ(services.m_progress.m_nBytes, upload.size());
        EXPECT_GE(services.m_progress.m_nSteps, 8);
        EXPECT_TRUE(client.TransferFile(u"/data/empty"_s, dir.filePath(u"empty"_s), false, false));
        EXPECT_FALSE(client.m_bCancelled);
    });
    // The PORT argument is the control connection's own address and the
    // listening port, which the server reached.
    EXPECT_EQ(Only(server.m_transcript, {"PORT 127,0,0,1,"}).size(), 2u);
    EXPECT_EQ(Only(server.m_transcript, {""}),
              Split("TYPE I|PORT|RETR /data/file.bin|TYPE I|EPSV|"
                    "STOR /data/.up load.bin.tessaro-part|RNFR /data/.up load.bin.tessaro-part|RNTO /data/up load.bin|"
                    "TYPE I|PORT|STOR /data/.empty.tessaro-part|RNFR /data/.empty.tessaro-part|RNTO /data/empty"));
    EXPECT_EQ(server.m_uploads, (std::vector<std::string>{upload.toStdString(), std::string()}));
    EXPECT_EQ(FilesBelow(dir.path()).keys(), (QStringList{u"empty"_s, u"file.bin"_s, u"up load.bin"_s}));
}

// A download that does not end with the server's confirmation leaves an
// older file exactly as it was and nothing partial beside it.
TEST(FtpTransfer, FailedDownloadsKeepTheOldFile)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    const QString target = dir.filePath(u"keep.txt"_s);
    const QByteArray old("older content\r\n");
    ASSERT_TRUE(WriteFile(target, old));

    CScriptedFtpServer server;
    DataRules(server);
    // Data, then a failure reply; or data that stalls beyond the time-out
    // while the reply already claims success.
    // Or data that stalls, and no reply at all.
    for (const char* path : {"RETR /broken", "RETR /stalls", "RETR /silent"}) {
        server.On(path, [stall = path[6] == 's', path](CScriptedFtpServer& peer, const std::string&) {
            peer.Send("150 Opening BINARY mode data connection.\r\n");
            peer.OpenData();
            peer.SendData("partial data");
            peer.Send(path[7] == 't' ? "226 Transfer complete.\r\n" : "");
            peer.Pause(path[7] == 'i' ? 2500 : stall ? 700 : 0);
            peer.CloseData();
            peer.Send(stall ? "" : "451 Local error in processing.\r\n");
        });
    }
    server.On("RETR /big", SendFile(RandomBytes(4 * 1024 * 1024, 3).toStdString()));
    server.On("NOOP", "200 NOOP ok");
    WithClient(server, [&](CFtpClient& client) {
        EXPECT_FALSE(client.TransferFile(u"/broken"_s, target, false, true));
        EXPECT_EQ(client.m_strReply, u"451 Local error in processing.\r\n"_s);

        // A data connection that stops moving ends the transfer; the reply
        // that the server sent meanwhile is read, so the next command gets
        // its own reply.
        client.m_nTimeoutMs = 200;
        EXPECT_FALSE(client.TransferFile(u"/stalls"_s, target, false, true));
        EXPECT_EQ(client.m_strReply, u"The data connection stood still for 0.2 s"_s);
        EXPECT_EQ(services.m_progress.m_nShows, services.m_progress.m_nHides);
        client.m_nTimeoutMs = 5000;
        EXPECT_TRUE(client.Command(u"NOOP"_s));
        EXPECT_EQ(client.m_strReply, u"200 NOOP ok\r\n"_s);

        // Cancel at the third block: the old file stays, one reply is read so
        // that the next command gets its own reply.
        services.m_progress.m_nPolls = 0;
        services.m_progress.m_nCancelAtPoll = 3;
        EXPECT_FALSE(client.TransferFile(u"/big"_s, target, false, true));
        EXPECT_TRUE(client.m_bCancelled);
        services.m_progress.m_nCancelAtPoll = 0;
        EXPECT_TRUE(client.Command(u"NOOP"_s));
        EXPECT_EQ(client.m_strReply, u"200 NOOP ok\r\n"_s);

        // A disk that takes no more (here a file size limit): the system's
        // reason after the message.
        rlimit before{}, full{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
        full = {1024 * 1024, before.rlim_max};
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &full);
        EXPECT_FALSE(client.TransferFile(u"/big"_s, target, false, true));
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, handler);
        EXPECT_EQ(client.m_strReply, u"File error\nFile too large"_s);
        // The whole stall takes one time-out, not a second one for the reply.
        client.m_nTimeoutMs = 1000;
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(client.TransferFile(u"/silent"_s, target, false, true));
        EXPECT_LT(timer.elapsed(), 1800); // a second time-out would make it 2 s
        EXPECT_EQ(client.m_strReply, u"The data connection stood still for 1 s"_s);
    });
    EXPECT_EQ(ReadFile(target), old);
    EXPECT_EQ(FilesBelow(dir.path()).keys(), QStringList{u"keep.txt"_s});
}

TEST(FtpTransfer, RefusalsBeforeAnythingIsSent)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    CScriptedFtpServer server;
    server.On("TYPE I", "200 Switching to Binary mode.");
    server.On("EPSV", "500 Unknown command.");
    server.On("PASV", "227 Entering Passive Mode 127,0,0,1,4,1");
    server.On("PORT ", "500 Illegal PORT command.");
    WithClient(server, [&](CFtpClient& client) {
        // Missing local file or folder, a folder that takes no file (not even
        // root's): the message, then the system's reason.
        const QList<QPair<QString, QString>> local = {
            {dir.filePath(u"none"_s), dir.filePath(u"none: No such file or directory"_s)},
            {dir.path() + u"/no/such/dir/f"_s, dir.path() + u"/no/such/dir: No such file or directory"_s},
            {u"/sys/f"_s, u"/sys: Permission denied"_s}};
        for (const auto& [path, reason] : local) {
            EXPECT_FALSE(client.TransferFile(u"/x"_s, path, false, path != local.first().first));
            EXPECT_EQ(client.m_strReply, u"Unable to open file to local maschine\n"_s + reason);
        }

        // Neither mode opens a data connection: EPSV refused, a PASV reply
        // without parentheses, a refused PORT. Each mode is tried once (EPSV
        // only until refused) and RETR is never sent.
        EXPECT_FALSE(client.TransferFile(u"/x"_s, dir.filePath(u"a"_s), true, true));
        EXPECT_EQ(client.m_strReply, u"500 Illegal PORT command.\r\n"_s);
        EXPECT_FALSE(client.TransferFile(u"/x"_s, dir.filePath(u"a"_s), false, true));
        EXPECT_EQ(client.m_strReply, u"227 Entering Passive Mode 127,0,0,1,4,1\r\n"_s);
        EXPECT_EQ(services.m_progress.m_nShows, services.m_progress.m_nHides);
        EXPECT_TRUE(client.IsOpen());
    });
    EXPECT_EQ(Only(server.m_transcript, {""}), Split("TYPE I|EPSV|PASV|PORT|TYPE I|PORT|PASV"));
    EXPECT_TRUE(FilesBelow(dir.path(), true).isEmpty());
}

// Behind NAT or a firewall one mode cannot connect: the other is tried once
// and, when it works, later transfers start with it. Listings follow the
// passive setting too.
TEST(FtpTransfer, TheOtherModeIsTriedOnce)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    int closedPort = 0;
    ::close(ListenOn("127.0.0.1", closedPort)); // nobody listens there now
    CScriptedFtpServer server;
    server.On("TYPE I", "200 Switching to Binary mode.");
    server.On("PORT ", "200 PORT command successful.");
    server.On("EPSV", "502 EPSV not implemented.");
    server.On("PASV",
              "227 Entering Passive Mode (127,0,0,1," + std::to_string(closedPort / 256) + ","
                  + std::to_string(closedPort % 256) + ").");
    server.On("RETR ", SendFile("content"));
    server.On("CWD ", "250 Directory successfully changed.");
    server.On("LIST", SendFile("-rw-r--r--    1 0        0               7 Dec 06 21:16 a.txt\r\n"));
    WithClient(server, [&](CFtpClient& client) {
        client.m_nTimeoutMs = 2000;
        EXPECT_TRUE(client.TransferFile(u"/a.txt"_s, dir.filePath(u"1"_s), true, true))
            << qPrintable(client.m_strReply);
        EXPECT_TRUE(client.TransferFile(u"/a.txt"_s, dir.filePath(u"2"_s), true, true))
            << qPrintable(client.m_strReply);
        client.m_bPassive = true;
        EXPECT_TRUE(client.ReadRemoteFolder(u"Data"_s));
        EXPECT_EQ(client.m_aRemoteFiles, QStringList{u"a.txt"_s});
    });
    EXPECT_EQ(Only(server.m_transcript, {""}),
              Split("TYPE I|EPSV|PASV|PORT|RETR /a.txt|TYPE I|PORT|RETR /a.txt|CWD /Data/|TYPE I|PORT|LIST"));
    EXPECT_EQ(ReadFile(dir.filePath(u"2"_s)), QByteArray("content"));
}

// Servers and strangers that would have the client send a file elsewhere,
// take someone else's data for the file, or commit an empty or cut file on
// a reply that claims success. And a server that writes on an upload's data
// connection (as TLS 1.3 servers do with session tickets) while the client
// closes it: a close over unread bytes would reset the connection and wipe
// the upload before the server read it.
TEST(FtpTransfer, HostileDataConnections)
{
    struct CCase
    {
        const char* m_szWhat;
        std::function<void(CScriptedFtpServer&)> m_rules;
        bool m_bPassive;
        const char* m_szCommand; // "RETR /..." or "STOR /..."
        bool m_bResult;
        QByteArray m_local;             // the local file afterwards, and what an upload sent
        QString m_strReply = QString(); // the text left, when it matters
        const char* m_szFinish = "";    // an upload's RNFR, RNTO and DELE (verbs only)
    };
    const QByteArray old("older content");
    const QByteArray content = RandomBytes(100000, 5);
    const QByteArray big = RandomBytes(16 * 1024 * 1024, 6);
    const QByteArray upload = RandomBytes(2 * 1024 * 1024, 51);
    const auto ticket = [](CScriptedFtpServer& server) {
        server.On("STOR ", OverData([](CScriptedFtpServer& peer) {
                      peer.Pause(100); // the client has sent its bytes and closes
                      peer.SendData("ticket");
                      peer.Pause(100); // a reset, if any, arrives before anything is read
                      peer.m_uploads.push_back(peer.ReceiveData());
                  }));
    };
    // A third party waits on 127.0.0.2 at a port on which the server waits
    // on 127.0.0.1; the PASV reply names the third party.
    int foreignPort = 0;
    const int foreign = ListenOn("127.0.0.2", foreignPort);
    ASSERT_GE(foreign, 0);

    const std::vector<CCase> cases = {
        {"PASV names a third party",
         [&](CScriptedFtpServer& server) {
             server.On("PASV", [&](CScriptedFtpServer& peer, const std::string&) {
                 peer.Send(peer.Pasv("127,0,0,2", foreignPort));
             });
         },
         true, "STOR /up.txt", true, old, QString(), "RNFR RNTO"},
        // The upload stays whole under its temporary name.
        {"the server refuses the rename", [](CScriptedFtpServer& server) { server.On("RNTO ", "553 Not allowed."); },
         true, "STOR /up.txt", false, old,
         u"The upload is complete as /.up.txt.tessaro-part on the server, but it could not take the place of /up.txt: "
         u"553 Not allowed."_s,
         "RNFR RNTO"},
        {"a stranger reaches the active port first",
         [&](CScriptedFtpServer& server) {
             server.On("PORT ", [](CScriptedFtpServer& peer, const std::string&) {
                 peer.Send("200 PORT command successful.\r\n");
                 peer.StrangerConnects("stranger's data");
             });
             server.On("RETR ", SendFile(content.toStdString()));
         },
         false, "RETR /a.bin", true, content},
        {"an upload cut short, then success claimed",
         [](CScriptedFtpServer& server) {
             server.On("STOR ",
                       OverData([](CScriptedFtpServer& peer) { peer.m_uploads.push_back(peer.ReceiveSome(4096)); }));
         },
         true, "STOR /big.bin", false, big, u"The data connection broke off before the end of the transfer"_s, "DELE"},
        // Both modes close the data connection alike.
        {"bytes from the server on an upload", ticket, true, "STOR /up.bin", true, upload, QString(), "RNFR RNTO"},
    };
    for (const CCase& c : cases) {
        CFtpTestServices services;
        QTemporaryDir dir;
        const QString local = dir.filePath(u"local.bin"_s);
        ASSERT_TRUE(WriteFile(local, c.m_szCommand[0] == 'S' ? c.m_local : old));
        CScriptedFtpServer server;
        server.On("EPSV", "500 Unknown command.");
        server.On("NOOP", "200 NOOP ok");
        c.m_rules(server); // before the rules below, which it may override
        DataRules(server);
        server.On("STOR ", ReceiveFile());
        server.On("RNFR ", "350 Ready.");
        server.On("RNTO ", "250 Renamed.");
        server.On("DELE ", "250 Deleted.");
        WithClient(server, [&](CFtpClient& client) {
            client.m_nTimeoutMs = 2000;
            const bool download = c.m_szCommand[0] == 'R';
            EXPECT_EQ(client.TransferFile(QString::fromLatin1(c.m_szCommand + 5), local, c.m_bPassive, download),
                      c.m_bResult)
                << c.m_szWhat << ": " << qPrintable(client.m_strReply);
            if (!c.m_strReply.isEmpty()) {
                EXPECT_EQ(client.m_strReply, c.m_strReply) << c.m_szWhat;
            }
            EXPECT_TRUE(client.Command(u"NOOP"_s)) << c.m_szWhat; // still in step
        });
        EXPECT_EQ(ReadFile(local), c.m_local) << c.m_szWhat;
        if (c.m_szCommand[0] == 'S' && c.m_bResult) {
            EXPECT_TRUE(server.m_uploads == Lines{c.m_local.toStdString()}) << c.m_szWhat;
        }
        EXPECT_EQ(server.m_transcript.back(), "NOOP") << c.m_szWhat;
        const QString path = QString::fromLatin1(c.m_szCommand + 5);
        const std::string wire = c.m_szCommand[0] == 'R' ? c.m_szCommand : "STOR " + FtpPartPath(path).toStdString();
        const bool sent = std::count(server.m_transcript.begin(), server.m_transcript.end(), wire) > 0;
        EXPECT_EQ(sent, c.m_bResult || c.m_szCommand[0] == 'S') << c.m_szWhat;
        std::string finish;
        for (const std::string& line : Only(server.m_transcript, {"RNFR", "RNTO", "DELE"}))
            finish += (finish.empty() ? "" : " ") + line.substr(0, 4);
        EXPECT_EQ(finish, c.m_szFinish) << c.m_szWhat;
        EXPECT_EQ(services.m_progress.m_nShows, services.m_progress.m_nHides) << c.m_szWhat;
    }
    EXPECT_FALSE(HasPendingConnection(foreign)); // the third party was never contacted
    ::close(foreign);
}
