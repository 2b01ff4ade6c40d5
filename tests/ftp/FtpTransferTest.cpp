#include "FtpTestSupport.h"

#include "ftp/FtpProtocol.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QElapsedTimer>

#include <algorithm>
#include <csignal>
#include <functional>
#include <numeric>
#include <optional>

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
    server.On("RETR /data/empty", SendFile(std::string()));
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

        // A zero-length download makes an empty file and succeeds.
        EXPECT_TRUE(client.TransferFile(u"/data/empty"_s, dir.filePath(u"empty.bin"_s), false, true));
        EXPECT_EQ(ReadFile(dir.filePath(u"empty.bin"_s)), QByteArray());

        EXPECT_TRUE(client.TransferFile(u"/data/up load.bin"_s, uploadPath, true, false));
        EXPECT_EQ(services.m_progress.m_nBytes, upload.size());
        EXPECT_GE(services.m_progress.m_nSteps, 8);
        EXPECT_TRUE(client.TransferFile(u"/data/empty"_s, dir.filePath(u"empty"_s), false, false));
        EXPECT_FALSE(client.m_bCancelled);
    });
    // The PORT argument is the control connection's own address and the
    // listening port, which the server reached.
    EXPECT_EQ(Only(server.m_transcript, {"PORT 127,0,0,1,"}).size(), 3u);
    EXPECT_EQ(Only(server.m_transcript, {""}),
              Split("TYPE I|PORT|RETR /data/file.bin|TYPE I|PORT|RETR /data/empty|TYPE I|EPSV|"
                    "STOR /data/.up load.bin.tessaro-part|RNFR /data/.up load.bin.tessaro-part|RNTO /data/up load.bin|"
                    "TYPE I|PORT|STOR /data/.empty.tessaro-part|RNFR /data/.empty.tessaro-part|RNTO /data/empty"));
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
    ASSERT_TRUE(WriteFile(target, old));

    CScriptedFtpServer server;
    DataRules(server);
    server.On("RETR /missing", "550 Failed to open file.");
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
        EXPECT_FALSE(client.TransferFile(u"/missing"_s, target, false, true));
        EXPECT_EQ(client.m_strReply, u"550 Failed to open file.\r\n"_s);
        EXPECT_FALSE(client.TransferFile(u"/missing"_s, dir.filePath(u"new.txt"_s), false, true));
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
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{u"keep.txt"_s});
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
    EXPECT_TRUE(FolderEntries(dir.path()).isEmpty());
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
        DataRules(server);
        server.On("STOR ", [](CScriptedFtpServer& peer, const std::string&) {
            peer.Send("150 Ok to send data.\r\n");
            peer.OpenData();
            peer.Pause(100); // the client has sent its bytes and closes
            peer.SendData("ticket");
            peer.Pause(100); // a reset, if any, arrives before anything is read
            peer.m_uploads.push_back(peer.ReceiveData());
            peer.CloseData();
            peer.Send("226 Transfer complete.\r\n");
        });
    };
    // A third party waits on 127.0.0.2 at a port on which the server waits
    // on 127.0.0.1; the PASV reply names the third party.
    int foreignPort = 0;
    const int foreign = ListenOn("127.0.0.2", foreignPort);
    ASSERT_GE(foreign, 0);
    const std::string foreignPasv = "," + std::to_string(foreignPort / 256) + "," + std::to_string(foreignPort % 256);

    const std::vector<CCase> cases = {
        {"PASV names a third party",
         [&](CScriptedFtpServer& server) {
             server.On("PASV", [&](CScriptedFtpServer& peer, const std::string&) {
                 peer.Send(peer.Pasv("127,0,0,2", foreignPort));
             });
             server.On("STOR ", ReceiveFile());
         },
         true, "STOR /up.txt", true, old, QString(), "RNFR RNTO"},
        // The upload stays whole under its temporary name.
        {"the server refuses the rename",
         [](CScriptedFtpServer& server) {
             DataRules(server);
             server.On("STOR ", ReceiveFile());
             server.On("RNTO ", "553 Not allowed.");
         },
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
        {"success claimed for a data connection that never opened",
         [&](CScriptedFtpServer& server) {
             // Nobody serves the data port; active mode is refused.
             server.On("PASV", "227 Entering Passive Mode (127,0,0,1" + foreignPasv + ").");
             server.On("PORT ", "500 Illegal PORT command.");
             server.On("RETR ", "150 Opening BINARY mode data connection.\r\n226 Transfer complete.");
         },
         true, "RETR /a.bin", false, old, u"500 Illegal PORT command.\r\n"_s},
        {"an upload cut short, then success claimed",
         [](CScriptedFtpServer& server) {
             DataRules(server);
             server.On("STOR ", [](CScriptedFtpServer& peer, const std::string&) {
                 peer.Send("150 Ok to send data.\r\n");
                 peer.OpenData();
                 peer.m_uploads.push_back(peer.ReceiveSome(4096));
                 peer.CloseData();
                 peer.Send("226 Transfer complete.\r\n");
             });
         },
         true, "STOR /big.bin", false, big, u"The data connection broke off before the end of the transfer"_s, "DELE"},
        {"bytes from the server on an active upload", ticket, false, "STOR /up.bin", true, upload, QString(),
         "RNFR RNTO"},
        {"bytes from the server on a passive upload", ticket, true, "STOR /up.bin", true, upload, QString(),
         "RNFR RNTO"},
    };
    for (const CCase& c : cases) {
        CFtpTestServices services;
        QTemporaryDir dir;
        const QString local = dir.filePath(u"local.bin"_s);
        ASSERT_TRUE(WriteFile(local, c.m_szCommand[0] == 'S' ? c.m_local : old));
        CScriptedFtpServer server;
        server.On("TYPE I", "200 Switching to Binary mode.");
        server.On("EPSV", "500 Unknown command.");
        server.On("NOOP", "200 NOOP ok");
        c.m_rules(server);
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

namespace {

// One RETR of a scripted download: how many bytes from the REST offset it
// sends, and its closing reply.
struct CRetrAttempt
{
    size_t m_nBytes;
    const char* m_szClosing;
};

// A logon whose FEAT names the features, SIZE and the checksum from rules,
// RETR sending what the attempts say from the last REST offset.
void ResumableServer(CScriptedFtpServer& server, std::string feat, std::string content,
                     std::vector<CRetrAttempt> attempts)
{
    LogonRules(server);
    DataRules(server);
    server.On("FEAT", Reply("211-Features:\r\n" + feat + "211 End\r\n"));
    server.On("SYST", "215 UNIX Type: L8");
    server.On("REST ", [](CScriptedFtpServer& peer, const std::string&) { peer.Send("350 Restarting.\r\n"); });
    server.On("RETR", [content, attempts, next = size_t(0)](CScriptedFtpServer& peer, const std::string&) mutable {
        const std::string rest = peer.m_transcript.size() > 1 ? peer.m_transcript[peer.m_transcript.size() - 2] : "";
        const size_t offset = rest.rfind("REST ", 0) == 0 ? std::stoul(rest.substr(5)) : 0;
        const CRetrAttempt attempt = attempts.at(std::min(next++, attempts.size() - 1));
        if (attempt.m_szClosing[0] == '5')
            return void(peer.Send(std::string(attempt.m_szClosing) + "\r\n"));
        peer.Send("150 Opening BINARY mode data connection.\r\n");
        peer.OpenData();
        peer.SendData(content.substr(offset, attempt.m_nBytes));
        peer.CloseData();
        peer.Send(std::string(attempt.m_szClosing) + "\r\n");
    });
}

// Sets the cancel at the poll after the first pause.
class CCancellingClock : public CVirtualClock
{
public:
    explicit CCancellingClock(CRecordingProgress& progress) : m_progress(progress) {}
    void Sleep(int ms) override
    {
        CVirtualClock::Sleep(ms);
        m_progress.m_nCancelAtPoll = m_progress.m_nPolls + 1;
    }
    CRecordingProgress& m_progress;
};

} // namespace

// A download whose data connection breaks (426) goes on from the bytes that
// arrived, paced by the policy; a refusal, a size or checksum that differs,
// and a cancel in a pause fail and keep the older file.
TEST(FtpTransfer, BrokenDownloadsResume)
{
    const std::string content = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    const std::string sha256 =
        QCryptographicHash::hash(QByteArray::fromStdString(content), QCryptographicHash::Sha256).toHex().toStdString();
    const std::string rest = " REST STREAM\r\n SIZE\r\n";
    struct CCase
    {
        const char* m_szWhat;
        std::string m_strFeat;
        std::vector<CRetrAttempt> m_attempts;
        std::string m_strSize, m_strHash; // replies; "" for none
        bool m_bCancelInPause;
        bool m_bDone;
        int m_nPausedMs;       // the pauses' sum (the policy's table shows them one by one)
        const char* m_szRests; // the REST lines, "|" between
        const char* m_szReply; // the start of the text left
    };
    const CCase cases[] = {
        {"progress starts the count again",
         rest,
         {{10, "426 Aborted."}, {10, "426 Aborted."}, {0, "426 Aborted."}, {40, "226 Done."}},
         "213 40",
         "",
         false,
         true,
         6000,
         "REST 10|REST 20|REST 20",
         "226"},
        {"three attempts in a row bring nothing",
         rest,
         {{10, "426 Aborted."}, {0, "426 Aborted."}},
         "213 40",
         "",
         false,
         false,
         20000,
         "REST 10|REST 10|REST 10",
         "426"},
        {"a 226 for less than the server holds",
         rest,
         {{30, "226 Done."}, {40, "226 Done."}},
         "213 40",
         "",
         false,
         true,
         {1000},
         "REST 30",
         "226"},
        {"no REST STREAM: one new start",
         " SIZE\r\n",
         {{10, "426 Aborted."}, {40, "226 Done."}},
         "213 40",
         "",
         false,
         true,
         {1000},
         "",
         "226"},
        {"no REST STREAM: a second break fails", "", {{10, "426 Aborted."}}, "", "", false, false, 1000, "", "426"},
        {"a refusal is not a break", rest, {{0, "550 No such file."}}, "213 40", "", false, false, 0, "", "550"},
        {"more than the server holds",
         rest,
         {{40, "226 Done."}},
         "213 39",
         "",
         false,
         false,
         0,
         "",
         "The server holds 39 bytes, but 40 arrived"},
        {"a checksum that differs",
         rest + " XSHA256\r\n",
         {{40, "226 Done."}},
         "213 40",
         "250 " + std::string(64, 'e'),
         false,
         false,
         0,
         "",
         "The XSHA256 checksum"},
        {"the same checksum",
         rest + " HASH SHA-256*\r\n",
         {{40, "226 Done."}},
         "213 40",
         "213 SHA-256 0-39 " + sha256 + " a.bin",
         false,
         true,
         0,
         "",
         "226"},
        {"cancelled in a pause", rest, {{10, "426 Aborted."}}, "213 40", "", true, false, 100, "", "Cancelled"},
    };
    for (const CCase& c : cases) {
        CFtpTestServices services;
        CCancellingClock cancelling(services.m_progress);
        std::optional<CScopedServices> cancelScope;
        if (c.m_bCancelInPause)
            cancelScope.emplace(&cancelling, &services.m_prompt, &services.m_progress);
        QTemporaryDir dir;
        const QString target = dir.filePath(u"a.bin"_s);
        ASSERT_TRUE(WriteFile(target, "older"));
        CScriptedFtpServer server;
        ResumableServer(server, c.m_strFeat, content, c.m_attempts);
        server.On("SIZE", Reply(c.m_strSize + "\r\n"));
        server.On("XSHA256", Reply(c.m_strHash + "\r\n"));
        server.On("HASH", Reply(c.m_strHash + "\r\n"));
        server.Start();
        bool done = false;
        QString reply;
        {
            CFtpClient client;
            ASSERT_TRUE(LogOn(client, u"127.0.0.1"_s, server.Port())) << c.m_szWhat;
            done = client.TransferFile(u"/a.bin"_s, target, true, true);
            reply = client.m_strReply;
            client.LogOff();
        }
        server.Join();
        EXPECT_EQ(done, c.m_bDone) << c.m_szWhat;
        EXPECT_TRUE(reply.startsWith(QLatin1String(c.m_szReply))) << c.m_szWhat << ": " << qPrintable(reply);
        EXPECT_EQ(ReadFile(target), c.m_bDone ? QByteArray::fromStdString(content) : QByteArray("older")) << c.m_szWhat;
        EXPECT_EQ(FolderEntries(dir.path()), QStringList{u"a.bin"_s}) << c.m_szWhat;
        const QList<int>& slices = (c.m_bCancelInPause ? cancelling : services.m_clock).m_pauses;
        EXPECT_EQ(std::accumulate(slices.begin(), slices.end(), 0), c.m_nPausedMs) << c.m_szWhat;
        EXPECT_EQ(Only(server.m_transcript, {"REST"}), Split(c.m_szRests)) << c.m_szWhat;
        if (c.m_bDone) {
            EXPECT_EQ(services.m_progress.m_nBytes, qint64(content.size())) << c.m_szWhat;
        }
    }
}

// An upload cut off (426) goes on with REST from what the server holds of the
// hidden name, or with APPE where the server refuses REST before STOR; one
// whose checksum differs is removed and replaces nothing.
TEST(FtpTransfer, BrokenUploadsResume)
{
    const std::string content = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    const std::string part = "/.a.bin.tessaro-part";
    const std::tuple<bool, bool, std::string> cases[] = {
        {true, false, "STOR " + part + "|REST 12|STOR " + part + "|RNFR " + part},
        {true, true, "STOR " + part + "|REST 12|APPE " + part + "|RNFR " + part},
        {false, false, "STOR " + part + "|REST 12|STOR " + part + "|DELE " + part},
    };
    for (const auto& [sameHash, refuseRest, expected] : cases) {
        CFtpTestServices services;
        QTemporaryDir dir;
        const QString source = dir.filePath(u"a.bin"_s);
        ASSERT_TRUE(WriteFile(source, QByteArray::fromStdString(content)));
        CScriptedFtpServer server;
        if (refuseRest)
            server.On("REST", "502 REST is for RETR only.");
        ResumableServer(server, " REST STREAM\r\n SIZE\r\n XCRC\r\n", content, {});
        std::string held;
        bool cut = true; // the first STOR is cut off
        const auto receive = [&held, &cut](CScriptedFtpServer& peer, const std::string&) {
            peer.Send("150 Ok to send data.\r\n");
            peer.OpenData();
            held += cut ? peer.ReceiveSome(12).substr(0, 12) : peer.ReceiveData();
            peer.CloseData();
            peer.Send(cut ? "426 Aborted.\r\n" : "226 Done.\r\n");
            cut = false;
        };
        server.On("STOR", receive);
        server.On("APPE", receive);
        server.On("SIZE", [&held](CScriptedFtpServer& peer, const std::string&) {
            peer.Send("213 " + std::to_string(held.size()) + "\r\n");
        });
        server.On("XCRC", Reply(sameHash ? "250 76061C51\r\n" : "250 00000000\r\n"));
        server.On("DELE", "250 Deleted.");
        server.On("RNFR", "350 Ready.");
        server.On("RNTO", "250 Renamed.");
        server.Start();
        {
            CFtpClient client;
            ASSERT_TRUE(LogOn(client, u"127.0.0.1"_s, server.Port()));
            EXPECT_EQ(client.TransferFile(u"/a.bin"_s, source, true, false), sameHash) << qPrintable(client.m_strReply);
            client.LogOff();
        }
        server.Join();
        EXPECT_EQ(held, content);
        EXPECT_EQ(Only(server.m_transcript, {"REST", "STOR", "APPE", "DELE", "RNFR"}), Split(expected));
        EXPECT_EQ(services.m_clock.m_pauses.size(), 10); // one pause of 1 s
    }
}
