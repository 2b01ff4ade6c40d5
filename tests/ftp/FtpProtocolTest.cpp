#include "ftp/FtpProtocol.h"
#include "ftp/NetworkPresence.h"

#include <QHostAddress>

#include <gtest/gtest.h>

TEST(FtpProtocol, ReplyClassAndMultiLineMarkers)
{
    struct CCase
    {
        const char* m_szLine;
        int m_nClass;
        const char* m_szOpensCode;   // "" when the line opens no multi-line reply
    };
    const CCase cases[] = {
        {"220 (vsFTPd 3.0.3)\r\n", 2, ""},
        {"220-pyftpdlib 1.5.7 ready.\r\n", 2, "220"},
        {"230-Welcome\r\n", 2, "230"},
        {"331 Please specify the password.\r\n", 3, ""},
        {"150 Here comes the directory listing.\r\n", 1, ""},
        {"530 Login incorrect.\r\n", 5, ""},
        {"2\r\n", 2, ""},
        {"211-Features:\r\n", 2, "211"},
        {" EPRT\r\n", -16, ""},
    };
    for (const CCase& c : cases) {
        const QString line = QString::fromLatin1(c.m_szLine);
        EXPECT_EQ(FtpReplyClass(line), c.m_nClass) << c.m_szLine;
        EXPECT_EQ(FtpMultiLineCode(line), QString::fromLatin1(c.m_szOpensCode)) << c.m_szLine;
    }
    EXPECT_EQ(FtpReplyClass(QString()), 0);

    EXPECT_TRUE(IsFtpMultiLineEnd(QStringLiteral("230 Login successful.\r\n"), QStringLiteral("230")));
    EXPECT_TRUE(IsFtpMultiLineEnd(QStringLiteral("211 End\r\n"), QStringLiteral("211")));
    EXPECT_FALSE(IsFtpMultiLineEnd(QStringLiteral("231 not the end\r\n"), QStringLiteral("230")));
    EXPECT_FALSE(IsFtpMultiLineEnd(QStringLiteral("230-still going\r\n"), QStringLiteral("230")));
    EXPECT_FALSE(IsFtpMultiLineEnd(QStringLiteral(" 230 indented\r\n"), QStringLiteral("230")));
    EXPECT_FALSE(IsFtpMultiLineEnd(QStringLiteral("230"), QStringLiteral("230")));
}

TEST(FtpProtocol, PasvReplies)
{
    struct CCase
    {
        const char* m_szReply;
        bool m_bOk;
        const char* m_szHost;
        int m_nPort;
    };
    const CCase cases[] = {
        {"227 Entering Passive Mode (192,168,0,5,4,1).\r\n", true, "192.168.0.5", 1025},
        {"227 Entering Passive Mode (127,0,0,1,156,64).\r\n", true, "127.0.0.1", 40000},   // vsftpd
        {"227 Entering passive mode (127,0,0,1,172,135).\r\n", true, "127.0.0.1", 44167},  // pyftpdlib
        {"227 =( 10, 0, 0, 7, 0, 21)\r\n", true, "10.0.0.7", 21},
        {"227 Entering Passive Mode 127,0,0,1,4,1\r\n", false, "", 0},
        {"227 Entering Passive Mode (127,0,0,1,4,1\r\n", false, "", 0},
        {"227 (1,2)\r\n", false, "", 0},
        {"227 (127,0,0,1,0,0)\r\n", false, "", 0},
    };
    for (const CCase& c : cases) {
        QString host = QStringLiteral("unchanged");
        int port = -1;
        EXPECT_EQ(ParseFtpPasvReply(QString::fromLatin1(c.m_szReply), host, port), c.m_bOk) << c.m_szReply;
        if (c.m_bOk) {
            EXPECT_EQ(host, QString::fromLatin1(c.m_szHost)) << c.m_szReply;
            EXPECT_EQ(port, c.m_nPort) << c.m_szReply;
        }
    }
}

TEST(FtpProtocol, PortArgument)
{
    EXPECT_EQ(MakeFtpPortArgument(QStringLiteral("10.0.0.7"), 1025), QStringLiteral("10,0,0,7,4,1"));
    EXPECT_EQ(MakeFtpPortArgument(QStringLiteral("127.0.0.1"), 65535), QStringLiteral("127,0,0,1,255,255"));
    EXPECT_EQ(MakeFtpPortArgument(QStringLiteral("192.168.1.20"), 255), QStringLiteral("192,168,1,20,0,255"));
}

TEST(FtpProtocol, ServerNames)
{
    struct CCase
    {
        const char* m_szName;
        bool m_bOk;
        const char* m_szHost;
        int m_nPort;
    };
    const CCase cases[] = {
        {"ftp.example.com", true, "ftp.example.com", 21},
        {" ftp.example.com:2121 ", true, "ftp.example.com", 2121},
        {"127.0.0.1:40021", true, "127.0.0.1", 40021},
        {"::1", true, "::1", 21},
        {"[::1]:2121", true, "::1", 2121},
        {"[fe80::1]", true, "fe80::1", 21},
        {"host:0", false, "", 0},
        {"host:70000", false, "", 0},
        {"host:ftp", false, "", 0},
        {"host:", false, "", 0},
    };
    for (const CCase& c : cases) {
        QString host;
        int port = 0;
        EXPECT_EQ(SplitFtpServerName(QString::fromLatin1(c.m_szName), host, port), c.m_bOk) << c.m_szName;
        if (c.m_bOk) {
            EXPECT_EQ(host, QString::fromLatin1(c.m_szHost)) << c.m_szName;
            EXPECT_EQ(port, c.m_nPort) << c.m_szName;
        }
    }
}

TEST(FtpProtocol, UnsafeNamesAndLineBreaks)
{
    for (const char* name : {"a.txt", "sub dir", "  lead", "...", "a..b", ".hidden"})
        EXPECT_TRUE(IsSafeFtpName(QString::fromLatin1(name))) << name;
    for (const char* name : {"", ".", "..", "a/b", "..\\x", "/etc", "a\rb", "a\nb"})
        EXPECT_FALSE(IsSafeFtpName(QString::fromLatin1(name))) << name;
    EXPECT_TRUE(HasFtpLineBreak(QStringLiteral("a\r\nDELE x")));
    EXPECT_TRUE(HasFtpLineBreak(QStringLiteral("a\nb")));
    EXPECT_FALSE(HasFtpLineBreak(QStringLiteral("plain name")));
}

TEST(NetworkPresence, RoutableAddresses)
{
    struct CCase
    {
        const char* m_szAddress;
        bool m_bRoutable;
    };
    const CCase cases[] = {
        {"192.168.55.101", false}, {"169.254.1.1", false}, {"172.32.0.1", true},  {"172.15.255.1", true},
        {"172.16.0.1", false},     {"172.31.9.9", false},  {"10.1.2.3", false},   {"127.0.0.1", false},
        {"127.0.1.1", false},      {"0.0.0.0", false},     {"193.5.20.1", true},  {"11.0.0.1", true},
    };
    for (const CCase& c : cases) {
        const quint32 address = QHostAddress(QString::fromLatin1(c.m_szAddress)).toIPv4Address();
        EXPECT_EQ(IsRoutableIPv4(address), c.m_bRoutable) << c.m_szAddress;
    }
    const auto ip = [](const char* text) { return QHostAddress(QString::fromLatin1(text)).toIPv4Address(); };
    EXPECT_FALSE(AnyRoutableIPv4({ip("192.168.55.101"), ip("169.254.1.1")}));
    EXPECT_TRUE(AnyRoutableIPv4({ip("127.0.0.1"), ip("172.32.0.1")}));
    EXPECT_FALSE(AnyRoutableIPv4({}));
}
