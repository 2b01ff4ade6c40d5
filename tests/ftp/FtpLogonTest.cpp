#include "ScriptedFtpServer.h"

#include "ftp/FtpClient.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTcpServer>

namespace {

std::vector<std::string> Lines(std::initializer_list<const char*> lines)
{
    return std::vector<std::string>(lines.begin(), lines.end());
}

struct CLogonCase
{
    int m_nType;
    int m_nPort;                       // server port argument
    std::vector<std::string> m_replies;
    std::vector<std::string> m_expected;
    bool m_bResult;
    const char* m_szReply;             // m_strReply afterwards
};

} // namespace

// Every logon sequence against a scripted server: the exact commands sent and
// how the replies end the logon.
TEST(FtpLogon, SequencesSendTheExactCommands)
{
    const std::vector<CLogonCase> cases = {
        {0, 21, Lines({"331 Password", "332 Account", "230 Ok"}), Lines({"USER u", "PASS p", "ACCT a"}), true, "230 Ok\r\n"},
        {0, 21, Lines({"230 Ok"}), Lines({"USER u"}), true, "230 Ok\r\n"},
        {0, 21, Lines({"331 Password", "332 Account", "332 Again"}), Lines({"USER u", "PASS p", "ACCT a"}), false, "Logon failed"},
        {0, 21, Lines({"331 Password", "530 Login incorrect."}), Lines({"USER u", "PASS p"}), false, "530 Login incorrect.\r\n"},
        {1, 21, Lines({"331 fw pass", "230 fw ok", "331 site ok", "331 Password", "332 Account", "230 Ok"}),
         Lines({"USER fu", "PASS fp", "SITE ftp.example.com", "USER u", "PASS p", "ACCT a"}), true, "230 Ok\r\n"},
        {1, 21, Lines({"230 fw ok", "200 site done"}), Lines({"USER fu", "SITE ftp.example.com"}), false, "Logon failed"},
        {1, 21, Lines({"331 fw pass", "331 fw again"}), Lines({"USER fu", "PASS fp"}), false, "Logon failed"},
        {2, 21, Lines({"331 fw pass", "230 fw ok", "331 Password", "230 Ok"}),
         Lines({"USER fu", "PASS fp", "USER u@ftp.example.com", "PASS p"}), true, "230 Ok\r\n"},
        {3, 21, Lines({"220 open", "331 Password", "230 Ok"}), Lines({"OPEN ftp.example.com", "USER u", "PASS p"}), true, "230 Ok\r\n"},
        {4, 21, Lines({"230 fw ok", "331 Password", "332 Account", "230 Ok"}),
         Lines({"USER fu", "USER u", "PASS p", "ACCT a"}), true, "230 Ok\r\n"},
        {5, 2121, Lines({"331 Password", "230 Ok"}), Lines({"USER u@ftp.example.com:2121", "PASS p"}), true, "230 Ok\r\n"},
        {6, 21, Lines({"331 fw pass", "230 fw ok", "230 Ok"}), Lines({"USER fu@ftp.example.com", "PASS fp", "USER u"}), true, "230 Ok\r\n"},
        {7, 21, Lines({"331 Password", "230 Ok"}), Lines({"USER u@ftp.example.com fu", "PASS p"}), true, "230 Ok\r\n"},
        {7, 21, Lines({"230 Ok"}), Lines({"USER u@ftp.example.com fu"}), false, "Logon failed"},
        {8, 21, Lines({"331 Password", "332 Account", "230 Ok"}),
         Lines({"USER u@fu@ftp.example.com", "PASS p@fp", "ACCT a"}), true, "230 Ok\r\n"},
    };
    for (const CLogonCase& c : cases) {
        CScriptedFtpServer server;
        server.Queue(c.m_replies);
        server.Start();
        bool result = false;
        QString reply;
        {
            CFtpClient client;
            // Type 0 connects to the server itself, every other type to the firewall.
            const bool direct = c.m_nType == 0;
            result = client.LogOn(direct ? QStringLiteral("127.0.0.1") : QStringLiteral("ftp.example.com"),
                                  direct ? server.Port() : c.m_nPort, QStringLiteral("u"), QStringLiteral("p"),
                                  QStringLiteral("a"), QStringLiteral("127.0.0.1"), QStringLiteral("fu"),
                                  QStringLiteral("fp"), server.Port(), c.m_nType);
            reply = client.m_strReply;
        }
        server.Join();
        EXPECT_EQ(result, c.m_bResult) << "logon type " << c.m_nType;
        EXPECT_EQ(reply, QString::fromLatin1(c.m_szReply)) << "logon type " << c.m_nType;
        EXPECT_EQ(server.m_transcript, c.m_expected) << "logon type " << c.m_nType;
    }
}

TEST(FtpLogon, GreetingAndTypeChecks)
{
    // A preliminary greeting is not a greeting: nothing is sent.
    {
        CScriptedFtpServer server("120 Service ready in 5 minutes\r\n");
        server.Start();
        CFtpClient client;
        EXPECT_FALSE(client.LogOn(QStringLiteral("127.0.0.1"), server.Port(), QStringLiteral("u"), QStringLiteral("p"),
                                  QString(), QString(), QString(), QString(), 0, 0));
        EXPECT_EQ(client.m_strReply, QStringLiteral("120 Service ready in 5 minutes\r\n"));
        client.CloseControlChannel();
        server.Join();
        EXPECT_TRUE(server.m_transcript.empty());
    }
    // A multi-line greeting is read to its end.
    {
        CScriptedFtpServer server("220-Welcome\r\n220-to the\r\n220 server\r\n");
        server.Queue({"230 Ok"});
        server.Start();
        CFtpClient client;
        EXPECT_TRUE(client.LogOn(QStringLiteral("127.0.0.1"), server.Port(), QStringLiteral("u"), QStringLiteral("p"),
                                 QString(), QString(), QString(), QString(), 0, 0));
        client.LogOff();
        server.Join();
        EXPECT_EQ(server.m_transcript, Lines({"USER u", "QUIT"}));
    }
    // Types outside 0..8 connect nowhere and leave the reply alone.
    for (int type : {-1, 9}) {
        CScriptedFtpServer server;
        server.Start();
        CFtpClient client;
        client.m_strReply = QStringLiteral("before");
        EXPECT_FALSE(client.LogOn(QStringLiteral("127.0.0.1"), server.Port(), QStringLiteral("u"), QStringLiteral("p"),
                                  QString(), QStringLiteral("127.0.0.1"), QString(), QString(), server.Port(), type));
        EXPECT_EQ(client.m_strReply, QStringLiteral("before"));
        EXPECT_FALSE(client.IsOpen());
        // Let the server give up: connect once and leave at once.
        CFtpClient poke;
        poke.OpenControlChannel(QStringLiteral("127.0.0.1"), server.Port());
        poke.CloseControlChannel();
        server.Join();
        EXPECT_TRUE(server.m_transcript.empty());
    }
}

TEST(FtpLogon, ConnectFailuresAndRetry)
{
    CFtpClient client;
    client.m_nTimeoutMs = 2000;
    // A closed port and a name that does not resolve.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const int deadPort = probe.serverPort();
    probe.close();
    EXPECT_FALSE(client.LogOn(QStringLiteral("127.0.0.1"), deadPort, QStringLiteral("u"), QStringLiteral("p"), QString(),
                              QString(), QString(), QString(), 0, 0));
    EXPECT_EQ(client.m_strReply, QStringLiteral("Unable to connect to the server"));
    EXPECT_FALSE(client.LogOn(QStringLiteral("no-such-host.invalid"), 21, QStringLiteral("u"), QStringLiteral("p"),
                              QString(), QString(), QString(), QString(), 0, 0));
    EXPECT_EQ(client.m_strReply, QStringLiteral("Unable to connect to the server"));

    // The same client logs on later without being closed first.
    CScriptedFtpServer server;
    server.Queue({"230 Ok"});
    server.Start();
    EXPECT_TRUE(client.LogOn(QStringLiteral(" 127.0.0.1 "), server.Port(), QStringLiteral("u"), QStringLiteral("p"),
                             QString(), QString(), QString(), QString(), 0, 0));
    client.LogOff();
    EXPECT_FALSE(client.IsOpen());
    server.Join();
    EXPECT_EQ(server.m_transcript, Lines({"USER u", "QUIT"}));
}
