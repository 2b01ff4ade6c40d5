// The client's TLS and feature handling against scripted peers: what goes on
// the wire before and after "AUTH TLS", and how FEAT picks the listing.
#include "FtpTestSupport.h"

#include "resources/StringTable.h"

#include <gtest/gtest.h>

// "Require TLS" never sends the user or the password unless the connection
// was encrypted first; "auto" goes on in plain FTP where the server has no
// TLS; bytes slipped in after "234" end the connection, and so does a peer
// that answers the handshake with text.
TEST(FtpTlsLogon, NoLogonWithoutTheEncryptionAskedFor)
{
    struct CCase
    {
        const char* m_szWhat;
        EFtpEncryption m_eEncryption;
        CScriptedFtpServer::Handler m_auth; // the server's answer to "AUTH TLS"
        bool m_bResult;
        int m_nReplyId;       // the text m_strReply starts with; 0: "230"
        int m_nOrReplyId = 0; // or this one, where timing decides
    };
    const char* const injected = "234 Proceed with negotiation.\r\n230 Login successful.\r\n";
    const CCase cases[] = {
        {"require, a 2xx that is not 234", FTP_TLS_REQUIRE, Reply("200 Whatever you say.\r\n"), false,
         IDS_FTP_TLS_NOT_OFFERED},
        {"auto, not offered", FTP_TLS_AUTO, Reply("500 AUTH not understood.\r\n"), true, 0},
        {"off", FTP_TLS_OFF, Reply("234 Never asked.\r\n"), true, 0},
        {"auto, a reply slipped in after 234", FTP_TLS_AUTO, Reply(injected), false, IDS_FTP_TLS_INJECTED},
        // Text slipped in before the handshake, or text that breaks it.
        {"auto, a peer that speaks no TLS", FTP_TLS_AUTO,
         [](CScriptedFtpServer& peer, const std::string&) {
             peer.Send("234 Proceed with negotiation.\r\n");
             peer.Pause(50);
             peer.Send("HTTP/1.0 400 Bad Request\r\n\r\n");
         },
         false, IDS_FTP_TLS_FAILED, IDS_FTP_TLS_INJECTED},
    };
    for (const CCase& c : cases) {
        CFtpTestServices services;
        CScriptedFtpServer server;
        server.On("AUTH", c.m_auth);
        LogonRules(server);
        server.Start();
        bool result = false;
        QString reply;
        {
            CFtpClient client;
            client.m_eEncryption = c.m_eEncryption;
            client.m_nTimeoutMs = 5000;
            result = LogOn(client, u"127.0.0.1"_s, server.Port());
            reply = client.m_strReply;
            EXPECT_EQ(client.IsOpen(), c.m_bResult) << c.m_szWhat;
            EXPECT_FALSE(client.IsEncrypted()) << c.m_szWhat;
        }
        server.Join();
        EXPECT_EQ(result, c.m_bResult) << c.m_szWhat;
        const auto text = [](int id) { return id ? LoadString(id).section(u'%', 0, 0) : u"230"_s; };
        EXPECT_TRUE(reply.startsWith(text(c.m_nReplyId)) || (c.m_nOrReplyId && reply.startsWith(text(c.m_nOrReplyId))))
            << c.m_szWhat << ": " << qPrintable(reply);
        const Lines& t = server.m_transcript;
        EXPECT_EQ(!Only(t, {"USER", "PASS"}).empty(), c.m_bResult) << c.m_szWhat;
        EXPECT_EQ(!t.empty() && t[0] == "AUTH TLS", c.m_eEncryption != FTP_TLS_OFF) << c.m_szWhat;
    }
}

// FEAT after the logon decides between MLSD and LIST for the whole session;
// "OPTS UTF8 ON" follows where UTF8 is offered, then SYST, whose answer
// tells how to read lines that could be anything (z/OS members).
TEST(FtpTlsLogon, FeaturesPickTheListing)
{
    const char* const mlsd = "type=cdir; /\r\n"
                             "type=file;size=6; b.txt\r\n"
                             "type=dir; sub dir\r\n"
                             "type=file;size=1; a;b=c.txt\r\n"
                             "type=dir; ..\r\n"
                             "type=file; ..\\evil\r\n";
    const char* const list = "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 listed dir\r\n"
                             "-rw-r--r--   1 root     root            6 Dec 06 21:15 listed.txt\r\n";
    const char* const members = " Name     VV.MM   Created       Changed      Size  Init   Mod   Id\r\n"
                                "JOB1      01.03 2024/06/01 2024/06/07 21:22    10    10     0 SURVEYR\r\n"
                                "JOB2\r\n";
    struct CCase
    {
        const char* m_szWhat;
        const char* m_szFeat;
        const char* m_szMlsd;  // the reply to MLSD; nullptr: the listing
        const char* m_szSyst;  // the reply to SYST; nullptr: 502
        const char* m_szNames; // folders " / " files
        const char* m_szCommands;
    };
    const char* const listed = "listed dir / listed.txt";
    const CCase cases[] = {
        {"MLST and UTF8",
         "211-Features supported:\r\n EPRT\r\n MLST type*;size*;modify*;\r\n UTF8\r\n211 End FEAT.\r\n", nullptr,
         "215 UNIX Type: L8\r\n", "sub dir / ..\\evil|a;b=c.txt|b.txt",
         "FEAT|OPTS UTF8 ON|SYST|CWD /|MLSD|CWD /sub/|MLSD"},
        {"MLST named, MLSD unknown", "211-Features:\r\n MLST type*;\r\n211 End\r\n", "500 Unknown command.\r\n",
         nullptr, listed, "FEAT|SYST|CWD /|MLSD|CWD /|LIST|CWD /sub/|LIST"},
        {"no MLST", "211-Features:\r\n EPSV\r\n211 End\r\n", nullptr, nullptr, listed,
         "FEAT|SYST|CWD /|LIST|CWD /sub/|LIST"},
        {"z/OS", "500 Unknown command.\r\n", nullptr,
         "215 MVS is the operating system of this server. FTP Server is running on z/OS.\r\n", " / JOB1|JOB2",
         "FEAT|SYST|CWD /|LIST|CWD /sub/|LIST"},
    };
    for (const CCase& c : cases) {
        CFtpTestServices services;
        CScriptedFtpServer server;
        LogonRules(server);
        DataRules(server);
        server.On("FEAT", Reply(c.m_szFeat));
        server.On("OPTS UTF8 ON", "200 Always in UTF8 mode.");
        if (c.m_szSyst)
            server.On("SYST", Reply(c.m_szSyst));
        server.On("CWD ", "250 Directory successfully changed.");
        server.On("MLSD", c.m_szMlsd ? Reply(c.m_szMlsd) : SendFile(mlsd));
        server.On("LIST", SendFile(c.m_szSyst && strstr(c.m_szSyst, "MVS") ? members : list));
        WithLoggedOnClient(server, [&](CFtpClient& client) {
            EXPECT_EQ(client.m_strReply, u"230 Login successful.\r\n"_s) << c.m_szWhat;
            // Names in name order whatever order MLSD gave; "." and ".."
            // folders dropped, a hostile name kept for the callers to refuse.
            EXPECT_TRUE(client.ReadRemoteFolder(QString())) << c.m_szWhat;
            EXPECT_EQ(client.m_aRemoteFolders.join(u'|') + u" / "_s + client.m_aRemoteFiles.join(u'|'),
                      QString::fromLatin1(c.m_szNames));
            QStringList subfolders;
            EXPECT_TRUE(client.ListRemoteSubfolders(u"sub"_s, subfolders)) << c.m_szWhat;
        });
        EXPECT_EQ(Only(server.m_transcript, {"FEAT", "OPTS", "SYST", "CWD", "MLSD", "LIST"}), Split(c.m_szCommands))
            << c.m_szWhat;
    }
}
