#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

TEST(FtpControl, RepliesAreReadWholeAndInStep)
{
    CScriptedFtpServer server;
    server.On("MULTI", "230-Welcome\r\n231 not the end\r\n230-still inside\r\n230 done");
    server.On("SHORT", "2");
    // One reply line that arrives in two pieces, with a pause between them.
    server.On("SPLIT", [](CScriptedFtpServer& peer, const std::string&) {
        peer.Send("25");
        peer.Pause(150);
        peer.Send("0 split ok\r\n");
    });
    server.On("FAIL", "550 No such file.");
    server.On("SLOW", [](CScriptedFtpServer& peer, const std::string&) { peer.Pause(600); });
    server.On("BYE", [](CScriptedFtpServer& peer, const std::string&) { peer.CloseControl(); });
    server.Start();

    CFtpClient client;
    ASSERT_TRUE(client.OpenControlChannel(u"127.0.0.1"_s, server.Port()));
    EXPECT_EQ(client.m_strReply, u"Unable to create socket 2"_s);
    ASSERT_TRUE(client.Command(QString()));
    EXPECT_EQ(client.m_strReply, u"220 Scripted server ready\r\n"_s);

    EXPECT_TRUE(client.Command(u"MULTI"_s));
    EXPECT_EQ(client.m_strReply, u"230 done\r\n"_s);
    EXPECT_TRUE(client.Command(u"SHORT"_s));
    EXPECT_EQ(client.m_strReply, u"2\r\n"_s);
    EXPECT_EQ(client.m_nReplyClass, 2);
    EXPECT_TRUE(client.Command(u"SPLIT"_s));
    EXPECT_EQ(client.m_strReply, u"250 split ok\r\n"_s);
    EXPECT_FALSE(client.Command(u"FAIL"_s));
    EXPECT_EQ(client.m_strReply, u"550 No such file.\r\n"_s);
    EXPECT_EQ(client.m_nReplyClass, 5);

    // A reply that does not come within the time-out is a network error.
    client.m_nTimeoutMs = 200;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client.Command(u"SLOW"_s));
    EXPECT_EQ(client.m_strReply, u"Network error"_s);
    EXPECT_LT(timer.elapsed(), 2000);
    client.m_nTimeoutMs = 5000;

    // A closed connection reads as nothing at all.
    EXPECT_FALSE(client.Command(u"BYE"_s));
    EXPECT_EQ(client.m_strReply, u"can not execute Read from archive"_s);
    client.CloseControlChannel();
    client.CloseControlChannel(); // safe when already closed
    server.Join();
    EXPECT_EQ(server.m_transcript, (std::vector<std::string>{"MULTI", "SHORT", "SPLIT", "FAIL", "SLOW", "BYE"}));
}

TEST(FtpControl, SendLineBytesAndRefusals)
{
    CScriptedFtpServer server;
    server.Start();
    CFtpClient client;
    ASSERT_TRUE(ConnectTo(client, server));

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
    // A line that would not fit the command buffer is refused, not cut.
    EXPECT_FALSE(client.SendLine(QString(CFtpClient::kMaxLineLength + 1, u'a')));
    EXPECT_TRUE(client.SendLine(u"NOOP "_s + QString(CFtpClient::kMaxLineLength - 5, u'b')));
    EXPECT_TRUE(client.ReadReply());

    client.CloseControlChannel();
    EXPECT_FALSE(client.SendLine(u"NOOP"_s));
    EXPECT_EQ(client.m_strReply, u"Network error"_s);
    server.Join();
    ASSERT_EQ(server.m_transcript.size(), 2u);
    EXPECT_EQ(server.m_transcript[0], std::string("SITE XA\xE9"));
    EXPECT_EQ(server.m_transcript[1].size(), static_cast<size_t>(CFtpClient::kMaxLineLength));
}
