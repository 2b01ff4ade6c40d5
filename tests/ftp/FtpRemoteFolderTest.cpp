#include "FtpTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A pyftpdlib listing with the entries that the old column rule cut wrongly.
const char* const kListing = "drwxr-xr-x   2 root     root         4096 Dec 06 21:16   lead\r\n"
                             "-rw-r--r--   1 root     root            6 Dec 06 21:15 a.txt\r\n"
                             "lrwxrwxrwx   1 root     root            5 Dec 06 21:16 link to a -> a.txt\r\n"
                             "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 sub dir\r\n"
                             "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 ..\r\n"
                             "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 back\\slash\r\n"
                             "-rw-r--r--   1 root     root            0 Dec 06 21:16 ..\r\n";

} // namespace

TEST(FtpRemoteFolder, ListingsAndFolderReads)
{
    CFtpTestServices services;
    CScriptedFtpServer server;
    server.On("CWD /missing", "550 Failed to change directory.");
    server.On("CWD ", "250 Directory successfully changed.");
    DataRules(server);
    server.On("LIST", SendFile(kListing));
    QStringList subfolders;
    WithClient(server, [&](CFtpClient& client) {
        QByteArray listing;
        EXPECT_EQ(client.ListFolder(listing), static_cast<qint64>(strlen(kListing)));
        EXPECT_EQ(listing, QByteArray(kListing));
        // The fixed pauses go through the clock service, so this test does not wait.
        EXPECT_EQ(services.m_clock.m_pauses, (QList<int>{100, 100, 100, 300, 100, 100}));

        client.ReadRemoteFolder(u"a\\b"_s);
        EXPECT_EQ(client.m_aRemoteFolders, (QStringList{u"  lead"_s, u"sub dir"_s, u"back\\slash"_s}));
        EXPECT_EQ(client.m_aRemoteFiles, (QStringList{u"a.txt"_s, u"link to a"_s, u".."_s}));
        EXPECT_TRUE(client.IsRemoteFolder(u"sub dir"_s));
        EXPECT_FALSE(client.IsRemoteFolder(u"Sub Dir"_s));
        EXPECT_TRUE(client.IsRemoteFile(u"a.txt"_s));
        EXPECT_FALSE(client.IsRemoteFile(u"sub dir"_s));

        // A folder that cannot be entered reads like an empty one.
        client.ReadRemoteFolder(u"missing"_s);
        EXPECT_TRUE(client.m_aRemoteFolders.isEmpty());
        EXPECT_TRUE(client.m_aRemoteFiles.isEmpty());
        client.ReadRemoteFolder(QString());
        client.ReadRemoteFolder(u"\\"_s);
        EXPECT_EQ(client.m_aRemoteFiles.size(), 3);

        // Subfolder paths are sent back later: unsafe names never become one.
        client.ListRemoteSubfolders(u"Data"_s, subfolders);
        EXPECT_EQ(client.m_aRemoteFiles.size(), 3); // the client's arrays are left alone
    });
    EXPECT_EQ(subfolders, (QStringList{u"Data/  lead"_s, u"Data/sub dir"_s}));
    const auto& t = server.m_transcript;
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[0] + "|" + t[1].substr(0, 15) + "|" + t[2], "TYPE I|PORT 127,0,0,1,|LIST");
    EXPECT_EQ(Only(t, {"CWD"}), Split("CWD /a/b/|CWD /missing/|CWD /|CWD /|CWD /Data/"));
    // Nothing but the CWD is sent for the folder that cannot be entered.
    const auto missing = std::find(t.begin(), t.end(), "CWD /missing/");
    ASSERT_NE(missing, t.end());
    EXPECT_EQ(*(missing + 1), "CWD /");
}

TEST(FtpRemoteFolder, SimpleCommands)
{
    struct CCase
    {
        const char* m_szWhat;
        const char* m_szReplies;
        const char* m_szExpected;
        bool m_bResult;
    };
    const CCase cases[] = {
        {"delete", "250 Delete operation successful.", "DELE /Data/a b.txt", true},
        {"delete", "550 Delete operation failed.", "DELE /Data/a b.txt", false},
        {"rmdir", "250 Remove directory operation successful.", "RMD /Data/Old", true},
        {"rmdir", "257 Directory removed.", "RMD /Data/Old", true},
        {"rmdir", "550 Remove directory operation failed.", "RMD /Data/Old", false},
        {"mkdir", "250 Directory successfully changed.|257 \"/Data/Job1/Sub\" created", "CWD /Data/Job1|MKD Sub", true},
        {"mkdir", "250 Directory successfully changed.|550 Create directory operation failed.",
         "CWD /Data/Job1|MKD Sub", false},
        {"mkdir", "550 Failed to change directory.", "CWD /Data/Job1", false},
        {"rename", "350 Ready for RNTO.|250 Rename successful.", "RNFR /Data/old.txt|RNTO /Data/new.txt", true},
        {"rename", "350 Ready for RNTO.|550 Rename failed.", "RNFR /Data/old.txt|RNTO /Data/new.txt", false},
        {"rename", "550 RNFR command failed.", "RNFR /Data/old.txt", false},
        // Arguments with a line break, also one that characters above U+00FF
        // become on the wire, are refused before anything is sent.
        {"refused", "", "", false},
    };
    for (const CCase& c : cases) {
        CScriptedFtpServer server;
        server.Queue(Split(c.m_szReplies));
        bool result = false;
        WithClient(server, [&](CFtpClient& client) {
            const std::string what = c.m_szWhat;
            if (what == "delete")
                result = client.DeleteRemoteFile(u"Data/a b.txt"_s);
            else if (what == "rmdir")
                result = client.RemoveRemoteFolder(u"Data/Old"_s);
            else if (what == "mkdir")
                result = client.MakeRemoteFolder(u"Data\\Job1"_s, u"Sub"_s);
            else if (what == "rename")
                result = client.RenameRemote(u"Data/old.txt"_s, u"Data/new.txt"_s);
            else {
                result = client.DeleteRemoteFile(u"a\u010D\u010ADELE /victim"_s) || client.RemoveRemoteFolder(u"a\nb"_s)
                    || client.MakeRemoteFolder(u"Data"_s, u"s\u010ARMD /victim"_s)
                    || client.RenameRemote(u"ok"_s, u"bad\n"_s)
                    || client.TransferFile(u"/x\r\nDELE /y"_s, u"n"_s, false, true)
                    || client.TransferFile(u"/x\u010AQUIT"_s, u"n"_s, false, false);
                client.ReadRemoteFolder(u"a\nb"_s);
                EXPECT_TRUE(client.m_strReply.startsWith(u"Refused"_s));
            }
        });
        EXPECT_EQ(result, c.m_bResult) << c.m_szWhat << ": " << c.m_szReplies;
        EXPECT_EQ(server.m_transcript, Split(c.m_szExpected)) << c.m_szWhat << ": " << c.m_szReplies;
    }
}
