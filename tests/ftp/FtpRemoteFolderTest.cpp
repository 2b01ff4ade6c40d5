#include "FtpTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A pyftpdlib listing with the entries that the old column rule cut wrongly.
const char* const kListing =
    "drwxr-xr-x   2 root     root         4096 Dec 06 21:16   lead\r\n"
    "-rw-r--r--   1 root     root            6 Dec 06 21:15 a.txt\r\n"
    "lrwxrwxrwx   1 root     root            5 Dec 06 21:16 link to a -> a.txt\r\n"
    "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 sub dir\r\n"
    "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 ..\r\n"
    "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 back\\slash\r\n"
    "-rw-r--r--   1 root     root            0 Dec 06 21:16 ..\r\n";

void ListingRules(CScriptedFtpServer& server)
{
    server.On("TYPE I", "200 Switching to Binary mode.");
    server.On("PORT ", "200 PORT command successful.");
    server.On("CWD /missing", "550 Failed to change directory.");
    server.On("CWD ", "250 Directory successfully changed.");
    server.On("LIST", ScriptedFtp::SendFile(kListing));
}

} // namespace

TEST(FtpRemoteFolder, ListFolderPausesAndTranscript)
{
    CFtpTestServices services;
    CScriptedFtpServer server;
    ListingRules(server);
    server.Start();
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));
        QByteArray listing;
        EXPECT_EQ(client.ListFolder(listing), static_cast<qint64>(strlen(kListing)));
        EXPECT_EQ(listing, QByteArray(kListing));
        // The fixed pauses go through the clock service, so this test does not wait.
        EXPECT_EQ(services.m_clock.m_pauses, (QList<int>{100, 100, 100, 300, 100, 100}));
        client.CloseControlChannel();
    }
    server.Join();
    ASSERT_EQ(server.m_transcript.size(), 3u);
    EXPECT_EQ(server.m_transcript[0], "TYPE I");
    EXPECT_EQ(server.m_transcript[1].rfind("PORT 127,0,0,1,", 0), 0u);
    EXPECT_EQ(server.m_transcript[2], "LIST");
}

TEST(FtpRemoteFolder, ReadRemoteFolderSplitsFoldersAndFiles)
{
    CFtpTestServices services;
    CScriptedFtpServer server;
    ListingRules(server);
    server.Start();
    QStringList subfolders;
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));
        client.ReadRemoteFolder(QStringLiteral("a\\b"));
        EXPECT_EQ(client.m_aRemoteFolders, (QStringList{QStringLiteral("  lead"), QStringLiteral("sub dir"),
                                                        QStringLiteral("back\\slash")}));
        EXPECT_EQ(client.m_aRemoteFiles,
                  (QStringList{QStringLiteral("a.txt"), QStringLiteral("link to a"), QStringLiteral("..")}));
        EXPECT_TRUE(client.IsRemoteFolder(QStringLiteral("sub dir")));
        EXPECT_FALSE(client.IsRemoteFolder(QStringLiteral("Sub Dir")));
        EXPECT_TRUE(client.IsRemoteFile(QStringLiteral("a.txt")));
        EXPECT_FALSE(client.IsRemoteFile(QStringLiteral("sub dir")));

        // A folder that cannot be entered reads like an empty one.
        client.ReadRemoteFolder(QStringLiteral("missing"));
        EXPECT_TRUE(client.m_aRemoteFolders.isEmpty());
        EXPECT_TRUE(client.m_aRemoteFiles.isEmpty());

        client.ReadRemoteFolder(QString());
        client.ReadRemoteFolder(QStringLiteral("\\"));
        EXPECT_EQ(client.m_aRemoteFiles.size(), 3);

        // Subfolder paths are sent back later: unsafe names never become one.
        client.ListRemoteSubfolders(QStringLiteral("Data"), subfolders);
        EXPECT_EQ(client.m_aRemoteFiles.size(), 3);   // the client's arrays are left alone
        client.CloseControlChannel();
    }
    server.Join();
    EXPECT_EQ(subfolders, (QStringList{QStringLiteral("Data/  lead"), QStringLiteral("Data/sub dir")}));
    std::vector<std::string> cwds;
    for (const std::string& line : server.m_transcript) {
        if (line.rfind("CWD", 0) == 0)
            cwds.push_back(line);
    }
    EXPECT_EQ(cwds, (std::vector<std::string>{"CWD /a/b/", "CWD /missing/", "CWD /", "CWD /", "CWD /Data/"}));
    // Nothing but the CWD is sent for the folder that cannot be entered.
    const auto missing = std::find(server.m_transcript.begin(), server.m_transcript.end(), "CWD /missing/");
    ASSERT_NE(missing, server.m_transcript.end());
    EXPECT_EQ(*(missing + 1), "CWD /");
}

TEST(FtpRemoteFolder, SimpleCommands)
{
    struct CCase
    {
        const char* m_szWhat;
        std::vector<std::string> m_replies;
        std::vector<std::string> m_expected;
        bool m_bResult;
    };
    const std::vector<CCase> cases = {
        {"delete", {"250 Delete operation successful."}, {"DELE /Data/a b.txt"}, true},
        {"delete", {"550 Delete operation failed."}, {"DELE /Data/a b.txt"}, false},
        {"rmdir", {"250 Remove directory operation successful."}, {"RMD /Data/Old"}, true},
        {"rmdir", {"257 Directory removed."}, {"RMD /Data/Old"}, true},
        {"rmdir", {"550 Remove directory operation failed."}, {"RMD /Data/Old"}, false},
        {"mkdir", {"250 Directory successfully changed.", "257 \"/Data/Job1/Sub\" created"}, {"CWD /Data/Job1", "MKD Sub"}, true},
        {"mkdir", {"250 Directory successfully changed.", "550 Create directory operation failed."}, {"CWD /Data/Job1", "MKD Sub"}, false},
        {"mkdir", {"550 Failed to change directory."}, {"CWD /Data/Job1"}, false},
        {"rename", {"350 Ready for RNTO.", "250 Rename successful."}, {"RNFR /Data/old.txt", "RNTO /Data/new.txt"}, true},
        {"rename", {"350 Ready for RNTO.", "550 Rename failed."}, {"RNFR /Data/old.txt", "RNTO /Data/new.txt"}, false},
        {"rename", {"550 RNFR command failed."}, {"RNFR /Data/old.txt"}, false},
    };
    for (const CCase& c : cases) {
        CScriptedFtpServer server;
        server.Queue(c.m_replies);
        server.Start();
        bool result = false;
        {
            CFtpClient client;
            ASSERT_TRUE(ConnectTo(client, server));
            const std::string what = c.m_szWhat;
            if (what == "delete")
                result = client.DeleteRemoteFile(QStringLiteral("Data/a b.txt"));
            else if (what == "rmdir")
                result = client.RemoveRemoteFolder(QStringLiteral("Data/Old"));
            else if (what == "mkdir")
                result = client.MakeRemoteFolder(QStringLiteral("Data\\Job1"), QStringLiteral("Sub"));
            else
                result = client.RenameRemote(QStringLiteral("Data/old.txt"), QStringLiteral("Data/new.txt"));
            client.CloseControlChannel();
        }
        server.Join();
        EXPECT_EQ(result, c.m_bResult) << c.m_szWhat << " " << c.m_replies.back();
        EXPECT_EQ(server.m_transcript, c.m_expected) << c.m_szWhat << " " << c.m_replies.back();
    }

    // Arguments with a line break are refused before anything is sent.
    CScriptedFtpServer server;
    server.Start();
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));
        EXPECT_FALSE(client.DeleteRemoteFile(QStringLiteral("a\r\nRMD /b")));
        EXPECT_FALSE(client.RemoveRemoteFolder(QStringLiteral("a\nb")));
        EXPECT_FALSE(client.MakeRemoteFolder(QStringLiteral("Data"), QStringLiteral("x\r\nDELE /y")));
        EXPECT_FALSE(client.RenameRemote(QStringLiteral("ok"), QStringLiteral("bad\n")));
        client.ReadRemoteFolder(QStringLiteral("a\nb"));
        EXPECT_TRUE(client.m_strReply.startsWith(QStringLiteral("Refused")));
        client.CloseControlChannel();
    }
    server.Join();
    EXPECT_TRUE(server.m_transcript.empty());
}
