#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

// Replies read whole, also when they arrive in pieces (multi-line ones: the
// logon's greeting); what SendLine puts on
// the wire: each character's low byte, nothing with a line break in it,
// nothing longer than the command buffer.
TEST(FtpControl, RepliesAndSentLines)
{
    CScriptedFtpServer server;
    // One reply line that arrives in two pieces, with a pause between them.
    server.On("SPLIT", [](CScriptedFtpServer& peer, const std::string&) {
        peer.Send("25");
        peer.Pause(150);
        peer.Send("0 split ok\r\n");
    });
    server.On("FAIL", "550 No such file.");
    server.Start();

    CFtpClient client;
    ASSERT_TRUE(client.OpenControlChannel(u"127.0.0.1"_s, server.Port()));
    EXPECT_EQ(client.m_strReply, u"Unable to create socket 2"_s);
    ASSERT_TRUE(client.Command(QString()));
    EXPECT_EQ(client.m_strReply, u"220 Scripted server ready\r\n"_s);
    EXPECT_TRUE(client.Command(u"SPLIT"_s));
    EXPECT_EQ(client.m_strReply, u"250 split ok\r\n"_s);
    EXPECT_FALSE(client.Command(u"FAIL"_s));
    EXPECT_EQ(client.m_strReply, u"550 No such file.\r\n"_s);
    EXPECT_EQ(client.m_nReplyClass, 5);

    // Characters above 255 go out as their low byte; the reply text then
    // says "Network error" until a reply is read.
    EXPECT_TRUE(client.SendLine(u"SITE X"_s + QChar(0x141) + QChar(0xE9)));
    EXPECT_EQ(client.m_strReply, u"Network error"_s);
    EXPECT_TRUE(client.ReadReply());
    EXPECT_EQ(client.m_strReply, u"502 Not scripted\r\n"_s);
    // A line break would smuggle in a second command: nothing is sent.
    EXPECT_FALSE(client.SendLine(u"DELE a\r\nDELE b"_s));
    EXPECT_TRUE(client.m_strReply.startsWith(u"Refused"_s));
    EXPECT_FALSE(client.Command(u"RETR x\nQUIT"_s));
    EXPECT_FALSE(client.SendLine(u"RETR x\u010D\u010AQUIT"_s)); // U+010D U+010A go out as CR LF
    // A line that would not fit the command buffer is refused, not cut.
    EXPECT_FALSE(client.SendLine(QString(CFtpClient::kMaxLineLength + 1, u'a')));
    EXPECT_TRUE(client.SendLine(u"NOOP "_s + QString(CFtpClient::kMaxLineLength - 5, u'b')));
    EXPECT_TRUE(client.ReadReply());

    EXPECT_TRUE(client.IsOpen());
    client.CloseControlChannel();
    client.CloseControlChannel(); // safe when already closed
    EXPECT_FALSE(client.IsOpen());
    EXPECT_FALSE(client.SendLine(u"NOOP"_s));
    EXPECT_EQ(client.m_strReply, u"Network error"_s);
    server.Join();
    ASSERT_EQ(server.m_transcript.size(), 4u);
    EXPECT_EQ(Lines(server.m_transcript.begin(), server.m_transcript.begin() + 3),
              (Lines{"SPLIT", "FAIL", "SITE XA\xE9"}));
    EXPECT_EQ(server.m_transcript[3].size(), static_cast<size_t>(CFtpClient::kMaxLineLength));
}

// Servers that answer late, never stop answering, answer too much or go away.
// Each ends within the client's time-out with a clear text and a closed
// connection, so that a late reply can never pass for the answer to the next
// command.
TEST(FtpControl, HostileRepliesCloseTheConnection)
{
    struct CCase
    {
        const char* m_szWhat;
        CScriptedFtpServer::Handler m_answer;
        const char16_t* m_szReply; // start of the text left in m_strReply
    };
    const std::vector<CCase> cases = {
        {"late reply",
         [](CScriptedFtpServer& peer, const std::string&) {
             peer.Pause(500);
             peer.Send("200 late\r\n");
         },
         u"No complete reply from the server within 0.3 s"},
        {"too many lines",
         [](CScriptedFtpServer& peer, const std::string&) {
             std::string lines;
             for (int i = 0; i < 2000; ++i)
                 lines += "230-line " + std::to_string(i) + "\r\n";
             peer.Send(lines + "230 end\r\n");
         },
         u"The server's reply is too long"},
        {"endless line",
         [](CScriptedFtpServer& peer, const std::string&) { peer.Send("200 " + std::string(20000, 'a')); },
         u"The server's reply is too long"},
        {"connection closed", [](CScriptedFtpServer& peer, const std::string&) { peer.CloseControl(); },
         u"can not execute Read from archive\nThe remote host closed the connection"},
    };
    for (const CCase& c : cases) {
        CScriptedFtpServer server;
        server.On("HELLO", c.m_answer);
        server.On("NOOP", "200 NOOP ok");
        server.Start();
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));
        client.m_nTimeoutMs = 300;
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(client.Command(u"HELLO"_s)) << c.m_szWhat;
        EXPECT_LT(timer.elapsed(), 15000) << c.m_szWhat; // far below the default 30 s time-out
        EXPECT_TRUE(client.m_strReply.startsWith(QString::fromUtf16(c.m_szReply))) << qPrintable(client.m_strReply);
        EXPECT_FALSE(client.IsOpen()) << c.m_szWhat;
        // The next command fails cleanly instead of reading a stale reply.
        EXPECT_FALSE(client.Command(u"NOOP"_s)) << c.m_szWhat;
        EXPECT_EQ(client.m_strReply, u"Network error"_s) << c.m_szWhat;
        server.Join();
        EXPECT_EQ(server.m_transcript, Lines{"HELLO"}) << c.m_szWhat;
    }
}
