#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

TEST(FtpControl, RepliesAreReadWholeAndInStep)
{
    CScriptedFtpServer server;
    server.On("MULTI", "230-Welcome\r\n231 not the end\r\n230-still inside\r\n230 done");
    server.On("SHORT", "2");
    // One reply line that arrives in two pieces, with a pause between them.
    server.On("SPLIT", [](CScriptedFtpServer::CSession& session, const std::string&) {
        session.Send("25");
        session.Pause(150);
        session.Send("0 split ok\r\n");
    });
    server.On("NOOP", "200 NOOP ok");
    server.On("FAIL", "550 No such file.");
    server.On("SLOW", [](CScriptedFtpServer::CSession& session, const std::string&) { session.Pause(600); });
    server.On("BYE", [](CScriptedFtpServer::CSession& session, const std::string&) { session.CloseControl(); });
    server.Start();

    CFtpClient client;
    ASSERT_TRUE(client.OpenControlChannel(QStringLiteral("127.0.0.1"), server.Port()));
    EXPECT_EQ(client.m_strReply, QStringLiteral("Unable to create socket 2"));
    ASSERT_TRUE(client.Command(QString()));
    EXPECT_EQ(client.m_strReply, QStringLiteral("220 Scripted server ready\r\n"));

    EXPECT_TRUE(client.Command(QStringLiteral("MULTI")));
    EXPECT_EQ(client.m_strReply, QStringLiteral("230 done\r\n"));
    EXPECT_TRUE(client.Command(QStringLiteral("SHORT")));
    EXPECT_EQ(client.m_strReply, QStringLiteral("2\r\n"));
    EXPECT_EQ(client.m_nReplyClass, 2);
    EXPECT_TRUE(client.Command(QStringLiteral("SPLIT")));
    EXPECT_EQ(client.m_strReply, QStringLiteral("250 split ok\r\n"));
    EXPECT_TRUE(client.Command(QStringLiteral("NOOP")));
    EXPECT_EQ(client.m_strReply, QStringLiteral("200 NOOP ok\r\n"));
    EXPECT_FALSE(client.Command(QStringLiteral("FAIL")));
    EXPECT_EQ(client.m_strReply, QStringLiteral("550 No such file.\r\n"));
    EXPECT_EQ(client.m_nReplyClass, 5);

    // A reply that does not come within the time-out is a network error.
    client.m_nTimeoutMs = 200;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client.Command(QStringLiteral("SLOW")));
    EXPECT_EQ(client.m_strReply, QStringLiteral("Network error"));
    EXPECT_LT(timer.elapsed(), 2000);
    client.m_nTimeoutMs = 5000;

    // A closed connection reads as nothing at all.
    EXPECT_FALSE(client.Command(QStringLiteral("BYE")));
    EXPECT_EQ(client.m_strReply, QStringLiteral("can not execute Read from archive"));
    client.CloseControlChannel();
    client.CloseControlChannel();   // safe when already closed
    server.Join();
    EXPECT_EQ(server.m_transcript,
              (std::vector<std::string>{"MULTI", "SHORT", "SPLIT", "NOOP", "FAIL", "SLOW", "BYE"}));
}

TEST(FtpControl, SendLineBytesAndRefusals)
{
    CScriptedFtpServer server;
    server.Start();
    CFtpClient client;
    ASSERT_TRUE(ConnectTo(client, server));

    // Characters above 255 go out as their low byte; the reply text then
    // says "Network error" until a reply is read.
    EXPECT_TRUE(client.SendLine(QStringLiteral("SITE X") + QChar(0x141) + QChar(0xE9)));
    EXPECT_EQ(client.m_strReply, QStringLiteral("Network error"));
    EXPECT_TRUE(client.ReadReply());
    EXPECT_EQ(client.m_strReply, QStringLiteral("502 Not scripted\r\n"));

    // A line break would smuggle in a second command: nothing is sent.
    EXPECT_FALSE(client.SendLine(QStringLiteral("DELE a\r\nDELE b")));
    EXPECT_TRUE(client.m_strReply.startsWith(QStringLiteral("Refused")));
    EXPECT_FALSE(client.Command(QStringLiteral("RETR x\nQUIT")));
    // A line that would not fit the command buffer is refused, not cut.
    EXPECT_FALSE(client.SendLine(QString(CFtpClient::kMaxLineLength + 1, QLatin1Char('a'))));
    EXPECT_TRUE(client.SendLine(QStringLiteral("NOOP ") + QString(CFtpClient::kMaxLineLength - 5, QLatin1Char('b'))));
    EXPECT_TRUE(client.ReadReply());

    client.CloseControlChannel();
    EXPECT_FALSE(client.SendLine(QStringLiteral("NOOP")));
    EXPECT_EQ(client.m_strReply, QStringLiteral("Network error"));
    server.Join();
    ASSERT_EQ(server.m_transcript.size(), 2u);
    EXPECT_EQ(server.m_transcript[0], std::string("SITE XA\xE9"));
    EXPECT_EQ(server.m_transcript[1].size(), static_cast<size_t>(CFtpClient::kMaxLineLength));
}
