#include "FtpTestSupport.h"
#include "support/RecordingTrace.h"

#include "ftp/FtpSession.h"

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QThread>

// Every logon sequence against a scripted server: the exact commands sent and
// how the replies end the logon. A logon that succeeds asks for the server's
// features and system (here answered "502"); the logon's reply stays the result.
TEST(FtpLogon, SequencesSendTheExactCommands)
{
    struct CCase
    {
        int m_nType;
        int m_nPort; // server port argument
        const char* m_szReplies;
        const char* m_szExpected;
        const char* m_szReply; // m_strReply afterwards, without its line end
    };
    const CCase cases[] = {
        {0, 21, "331 Password|332 Account|230 Ok", "USER u|PASS p|ACCT a|FEAT|SYST", "230 Ok"},
        {0, 21, "230 Ok", "USER u|FEAT|SYST", "230 Ok"},
        {0, 21, "331 Password|332 Account|332 Again", "USER u|PASS p|ACCT a", "Logon failed"},
        {0, 21, "331 Password|530 Login incorrect.", "USER u|PASS p", "530 Login incorrect."},
        {1, 21, "331 fw pass|230 fw ok|331 site ok|331 Password|332 Account|230 Ok",
         "USER fu|PASS fp|SITE ftp.example.com|USER u|PASS p|ACCT a|FEAT|SYST", "230 Ok"},
        {1, 21, "230 fw ok|200 site done", "USER fu|SITE ftp.example.com", "Logon failed"},
        {1, 21, "331 fw pass|331 fw again", "USER fu|PASS fp", "Logon failed"},
        {2, 21, "331 fw pass|230 fw ok|331 Password|230 Ok", "USER fu|PASS fp|USER u@ftp.example.com|PASS p|FEAT|SYST",
         "230 Ok"},
        {3, 21, "220 open|331 Password|230 Ok", "OPEN ftp.example.com|USER u|PASS p|FEAT|SYST", "230 Ok"},
        {4, 21, "230 fw ok|331 Password|332 Account|230 Ok", "USER fu|USER u|PASS p|ACCT a|FEAT|SYST", "230 Ok"},
        {5, 2121, "331 Password|230 Ok", "USER u@ftp.example.com:2121|PASS p|FEAT|SYST", "230 Ok"},
        {6, 21, "331 fw pass|230 fw ok|230 Ok", "USER fu@ftp.example.com|PASS fp|USER u|FEAT|SYST", "230 Ok"},
        {7, 21, "331 Password|230 Ok", "USER u@ftp.example.com fu|PASS p|FEAT|SYST", "230 Ok"},
        {7, 21, "230 Ok", "USER u@ftp.example.com fu", "Logon failed"},
        {8, 21, "331 Password|332 Account|230 Ok", "USER u@fu@ftp.example.com|PASS p@fp|ACCT a|FEAT|SYST", "230 Ok"},
    };
    for (const CCase& c : cases) {
        CScriptedFtpServer server;
        server.Queue(Split(c.m_szReplies));
        server.Start();
        bool result = false;
        QString reply;
        CRecordingTrace trace;
        {
            CFtpClient client;
            // Type 0 connects to the server itself, every other type to the firewall.
            const bool direct = c.m_nType == 0;
            result = client.LogOn(direct ? u"127.0.0.1"_s : u"ftp.example.com"_s, direct ? server.Port() : c.m_nPort,
                                  u"u"_s, u"p"_s, u"a"_s, u"127.0.0.1"_s, u"fu"_s, u"fp"_s, server.Port(), c.m_nType);
            reply = client.m_strReply;
        }
        server.Join();
        EXPECT_EQ(result, reply == u"230 Ok\r\n"_s) << "logon type " << c.m_nType;
        EXPECT_EQ(reply.trimmed(), QString::fromLatin1(c.m_szReply)) << "logon type " << c.m_nType;
        EXPECT_EQ(server.m_transcript, Split(c.m_szExpected)) << "logon type " << c.m_nType;
        // The trace holds every command sent, but no password or account,
        // and every reply from the greeting on.
        QStringList sent;
        for (const std::string& line : Split(c.m_szExpected)) {
            const bool secret = line.starts_with("PASS ") || line.starts_with("ACCT ");
            sent.append(u"FTP > "_s + QString::fromStdString(secret ? line.substr(0, 5) + "****" : line)
                        + u"\\x0D\\x0A"_s);
        }
        EXPECT_EQ(trace.m_records.filter(u"FTP > "_s), sent) << "logon type " << c.m_nType;
        EXPECT_EQ(trace.m_records.value(0), u"FTP < 220 Scripted server ready\\x0D\\x0A"_s);
    }
}

TEST(FtpLogon, GreetingsTypesAndConnectFailures)
{
    // A preliminary greeting is not a greeting: nothing is sent.
    {
        CScriptedFtpServer server("120 Service ready in 5 minutes\r\n");
        server.Start();
        CFtpClient client;
        EXPECT_FALSE(LogOn(client, u"127.0.0.1"_s, server.Port()));
        EXPECT_EQ(client.m_strReply, u"120 Service ready in 5 minutes\r\n"_s);
        client.CloseControlChannel();
        server.Join();
        EXPECT_TRUE(server.m_transcript.empty());
    }
    // Types outside 0..8 connect nowhere and leave the reply alone.
    for (int type : {-1, 9}) {
        QTcpServer firewall;
        ASSERT_TRUE(firewall.listen(QHostAddress::LocalHost, 0));
        const int port = firewall.serverPort();
        CFtpClient client;
        client.m_strReply = u"before"_s;
        EXPECT_FALSE(client.LogOn(u"127.0.0.1"_s, port, u"u"_s, u"p"_s, QString(), u"127.0.0.1"_s, QString(), QString(),
                                  port, type));
        EXPECT_EQ(client.m_strReply, u"before"_s);
        EXPECT_FALSE(client.IsOpen());
        EXPECT_FALSE(firewall.waitForNewConnection(100));
    }

    // A closed port (a name that does not resolve ends the same way).
    CFtpClient client;
    client.m_nTimeoutMs = 2000;
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const int deadPort = probe.serverPort();
    probe.close();
    EXPECT_FALSE(LogOn(client, u"127.0.0.1"_s, deadPort));
    EXPECT_EQ(client.m_strReply, u"Unable to connect to the server"_s);

    // The same client logs on later without being closed first; a multi-line
    // greeting is read to its end.
    CScriptedFtpServer server("220-Welcome\r\n220-to the\r\n220 server\r\n");
    server.Queue({"230 Ok"});
    server.Start();
    EXPECT_TRUE(LogOn(client, u" 127.0.0.1 "_s, server.Port()));
    client.LogOff();
    EXPECT_FALSE(client.IsOpen());
    server.Join();
    EXPECT_EQ(server.m_transcript, (Lines{"USER u", "FEAT", "SYST", "QUIT"}));
}

// A session whose control connection the server or the network ended logs on
// again at the next use and runs the interrupted step once more; a refusal
// is not repeated, nor a step the repeat finds already done by the server.
TEST(FtpSession, LogsOnAgainAfterTheConnectionWasLost)
{
    // Answers the first line with text and closes the connection (or not);
    // later lines with again ("" for the next rule).
    const auto onceThenClose = [](std::string text, std::string again, bool close) {
        return [text, again, close, done = false](CScriptedFtpServer& peer, const std::string&) mutable {
            if (done)
                return void(peer.Send(again + "\r\n"));
            done = true;
            peer.Send(text);
            if (close)
                peer.CloseControl();
        };
    };
    struct CCase
    {
        const char* m_szWhat;
        const char* m_szPrefix; // of the line answered by onceThenClose
        std::string m_strFirst, m_strAgain;
        int m_nConnections;
        std::function<bool(CFtpClient&)> m_operation;
        Lines m_expected; // "--", MKD, RNFR and RNTO lines
        const char* m_szReply;
        bool m_bClose = true;
    };
    const auto mkd = [](CFtpClient& client) { return client.MakeRemoteFolder(u"/"_s, u"new"_s); };
    const auto rename = [](CFtpClient& client) { return client.RenameRemote(u"a"_s, u"b"_s); };
    const CCase cases[] = {
        // The server ended the idle session: noticed before anything is sent.
        {"421 while idle", "SYST", "215 UNIX\r\n421 Timeout.\r\n", "215 UNIX", 2, mkd, Lines{"--", "--", "MKD new"},
         "257"},
        // A reply nobody asked for would answer the next command.
        {"a stray reply while idle", "SYST", "215 UNIX\r\n226 Late.\r\n", "215 UNIX", 2, mkd,
         Lines{"--", "--", "MKD new"}, "257", false},
        {"421 to a command", "MKD", "421 Timeout.\r\n", "257 made", 2, mkd, Lines{"--", "MKD new", "--", "MKD new"},
         "257"},
        {"closed before RNTO", "RNFR", "", "350 go on", 2, rename, Lines{"--", "RNFR /a", "--", "RNFR /a", "RNTO /b"},
         "250"},
        // The rename may have been done: the repeat's RNFR finds no "a" and
        // stops there, before an RNTO could act on anything else.
        {"closed after RNTO", "RNTO", "", "550 No such file.", 2, rename,
         Lines{"--", "RNFR /a", "RNTO /b", "--", "RNFR /a"}, "550"},
        {"refused", "MKD", "550 Exists.\r\n", "", 1, mkd, Lines{"MKD new"}, "550"},
    };
    for (const CCase& c : cases) {
        CScriptedFtpServer server;
        server.m_nConnections = c.m_nConnections;
        LogonRules(server);
        server.On(c.m_szPrefix, onceThenClose(c.m_strFirst, c.m_strAgain, c.m_bClose));
        server.On("MKD", "257 made");
        // After a rename that got through, "a" is gone.
        const bool renamed = c.m_szPrefix == std::string("RNTO");
        server.On("RNFR", [renamed, asked = false](CScriptedFtpServer& peer, const std::string&) mutable {
            peer.Send(renamed && asked ? "550 No such file.\r\n" : "350 go on\r\n");
            asked = true;
        });
        server.On("RNTO", "250 renamed");
        server.On("CWD", "250 ok");
        server.Start();
        bool done = false;
        QString reply;
        {
            CFtpSession session;
            CFtpSession::CLogon logon;
            logon.m_strHost = u"127.0.0.1"_s;
            logon.m_nPort = server.Port();
            logon.m_eEncryption = FTP_TLS_OFF;
            session.SetLogon(logon);
            ASSERT_TRUE(session.EnsureLoggedOn()) << c.m_szWhat;
            QThread::msleep(100); // the idle 421 arrives
            done = session.Run(c.m_operation);
            reply = session.Client().m_strReply;
        }
        server.Join();
        EXPECT_EQ(done, c.m_szReply[0] == '2') << c.m_szWhat;
        EXPECT_TRUE(reply.startsWith(QLatin1String(c.m_szReply))) << c.m_szWhat << " " << qPrintable(reply);
        EXPECT_EQ(Only(server.m_transcript, {"--", "MKD", "RNFR", "RNTO"}), c.m_expected) << c.m_szWhat;
    }
}
