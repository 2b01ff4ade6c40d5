#include "ftp/FtpProtocol.h"
#include "ftp/NetworkPresence.h"

#include <QHostAddress>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(FtpProtocol, ReplyClass)
{
    struct CCase
    {
        const char* m_szLine;
        int m_nClass;
    };
    const CCase cases[] = {
        {"220 (vsFTPd 3.0.3)\r\n", 2},
        {"220-pyftpdlib 1.5.7 ready.\r\n", 2},
        {"331 Please specify the password.\r\n", 3},
        {"150 Here comes the directory listing.\r\n", 1},
        {"530 Login incorrect.\r\n", 5},
        {"2\r\n", 2},
        {" EPRT\r\n", -16},
        {"", 0},
    };
    for (const CCase& c : cases)
        EXPECT_EQ(FtpReplyClass(QString::fromLatin1(c.m_szLine)), c.m_nClass) << c.m_szLine;
}

TEST(FtpProtocol, PasvRepliesAndPortArguments)
{
    struct CCase
    {
        const char* m_szText; // PASV reply, or server name for SplitFtpServerName
        bool m_bOk;
        const char* m_szHost;
        int m_nPort;
    };
    const CCase pasv[] = {
        {"227 Entering Passive Mode (192,168,0,5,4,1).\r\n", true, "192.168.0.5", 1025},
        {"227 Entering Passive Mode (127,0,0,1,156,64).\r\n", true, "127.0.0.1", 40000},  // vsftpd
        {"227 Entering passive mode (127,0,0,1,172,135).\r\n", true, "127.0.0.1", 44167}, // pyftpdlib
        {"227 =( 10, 0, 0, 7, 0, 21)\r\n", true, "10.0.0.7", 21},
        {"227 Entering Passive Mode 127,0,0,1,4,1\r\n", false, "", 0},
        {"227 Entering Passive Mode (127,0,0,1,4,1\r\n", false, "", 0},
        {"227 (1,2)\r\n", false, "", 0},
        {"227 (127,0,0,1,0,0)\r\n", false, "", 0},
        // Over-long and out-of-range fields: high * 256 + low must not
        // overflow into an accepted port, nor a bent host go to name look-up.
        {"227 (1,2,3,4,99999999,1)\r\n", false, "", 0},
        {"227 (1,2,3,4,16777216,1)\r\n", false, "", 0},
        {"227 (1,2,3,4,256,1)\r\n", false, "", 0},
        {"227 (1,2,3,4,1,256)\r\n", false, "", 0},
        {"227 (999,0,0,1,4,1)\r\n", false, "", 0},
        {"227 (1,2,3,4,0004,1)\r\n", false, "", 0},
        {"227 (1,2,3,4,-1,1)\r\n", false, "", 0},
        {"227 (1,2,3,4,4a,1)\r\n", false, "", 0},
        {"227 (1,2,3,4,5)\r\n", false, "", 0},
        {"227 (1,2,3,4,5,6,7)\r\n", false, "", 0},
        {"227 (1,2,3,,4,1)\r\n", false, "", 0},
        {"227 (1,2,3,4,4,1)(\r\n", true, "1.2.3.4", 1025},
        {"227 )(1,2,3,4,4,1)\r\n", true, "1.2.3.4", 1025},
    };
    for (const CCase& c : pasv) {
        QString host = u"unchanged"_s;
        int port = -1;
        EXPECT_EQ(ParseFtpPasvReply(QString::fromLatin1(c.m_szText), host, port), c.m_bOk) << c.m_szText;
        if (c.m_bOk) {
            EXPECT_EQ(QStringLiteral("%1:%2").arg(host).arg(port),
                      QStringLiteral("%1:%2").arg(c.m_szHost).arg(c.m_nPort));
        }
    }
    const std::pair<const char*, int> epsv[] = {
        {"229 Entering Extended Passive Mode (|||6446|)\r\n", 6446},
        {"229 Extended Passive (!!!65535!)\r\n", 65535},
        {"229 (|||1|)\r\n", 1},
        {"229 (|||0|)\r\n", 0},
        {"229 (|||65536|)\r\n", 0},
        {"229 (|||99999999999|)\r\n", 0},
        {"229 (|||6446)\r\n", 0},
        {"229 (||6446|)\r\n", 0},
        {"229 (|1|::1|6446|)\r\n", 0},
        {"229 (   6446 )\r\n", 0},
        {"229 (|||64a6|)\r\n", 0},
        {"229 |||6446|\r\n", 0},
    };
    for (const auto& [text, expected] : epsv) {
        int port = -1;
        EXPECT_EQ(ParseFtpEpsvReply(QString::fromLatin1(text), port), expected != 0) << text;
        EXPECT_EQ(port, expected != 0 ? expected : -1) << text;
    }
    EXPECT_EQ(MakeFtpEprtArgument(u"10.0.0.7"_s, false, 1025), u"|1|10.0.0.7|1025|"_s);
    EXPECT_EQ(MakeFtpEprtArgument(u"::1"_s, true, 65535), u"|2|::1|65535|"_s);
    EXPECT_EQ(MakeFtpPortArgument(u"10.0.0.7"_s, 1025), u"10,0,0,7,4,1"_s);
    EXPECT_EQ(MakeFtpPortArgument(u"127.0.0.1"_s, 65535), u"127,0,0,1,255,255"_s);
    EXPECT_EQ(MakeFtpPortArgument(u"192.168.1.20"_s, 255), u"192,168,1,20,0,255"_s);

    const CCase names[] = {
        {"ftp.example.com", true, "ftp.example.com", 21},
        {" ftp.example.com:2121 ", true, "ftp.example.com", 2121},
        {"::1", true, "::1", 21},
        {"[::1]:2121", true, "::1", 2121},
        {"[fe80::1]", true, "fe80::1", 21},
        {"host:0", false, "", 0},
        {"host:70000", false, "", 0},
        {"host:ftp", false, "", 0},
        {"host:", false, "", 0},
    };
    for (const CCase& c : names) {
        QString host;
        int port = 0;
        EXPECT_EQ(SplitFtpServerName(QString::fromLatin1(c.m_szText), host, port), c.m_bOk) << c.m_szText;
        if (c.m_bOk) {
            EXPECT_EQ(QStringLiteral("%1:%2").arg(host).arg(port),
                      QStringLiteral("%1:%2").arg(c.m_szHost).arg(c.m_nPort));
        }
    }
}

TEST(FtpProtocol, UnsafeNamesAndLineBreaks)
{
    for (const char* name : {"a.txt", "sub dir", "  lead", "...", "a..b", ".hidden"})
        EXPECT_TRUE(IsSafeFtpName(QString::fromLatin1(name))) << name;
    for (const char* name : {"", ".", "..", "a/b", "..\\x", "/etc", "a\rb", "a\nb"})
        EXPECT_FALSE(IsSafeFtpName(QString::fromLatin1(name))) << name;
    // Characters above U+00FF are judged by the byte that is sent.
    for (const QString& name : {u"a\u010D\u010ADELE x"_s, u"\u012F"_s, u"\u012E\u012E"_s, u"x\u015Cy"_s})
        EXPECT_FALSE(IsSafeFtpName(name)) << qPrintable(name);
    EXPECT_TRUE(IsSafeFtpName(u"Mu\u0308ller \u010Ceske\u0301"_s)); // bytes 0x08, 0x0C, 0x01: no separator

    EXPECT_TRUE(HasFtpLineBreak(u"a\r\nDELE x"_s));
    EXPECT_TRUE(HasFtpLineBreak(u"a\nb"_s));
    EXPECT_TRUE(HasFtpLineBreak(u"a\u010D\u010ADELE x"_s));
    EXPECT_TRUE(HasFtpLineBreak(u"\u040A"_s));
    EXPECT_FALSE(HasFtpLineBreak(u"plain name \u0141\u00E9"_s));
}

TEST(NetworkPresence, RoutableAddresses)
{
    const auto ip = [](const char* text) { return QHostAddress(QString::fromLatin1(text)).toIPv4Address(); };
    for (const char* address : {"172.32.0.1", "172.15.255.1", "193.5.20.1", "11.0.0.1"})
        EXPECT_TRUE(IsRoutableIPv4(ip(address))) << address;
    for (const char* address :
         {"192.168.55.101", "169.254.1.1", "172.16.0.1", "172.31.9.9", "10.1.2.3", "127.0.0.1", "127.0.1.1", "0.0.0.0"})
        EXPECT_FALSE(IsRoutableIPv4(ip(address))) << address;
    EXPECT_FALSE(AnyRoutableIPv4({ip("192.168.55.101"), ip("169.254.1.1")}));
    EXPECT_TRUE(AnyRoutableIPv4({ip("127.0.0.1"), ip("172.32.0.1")}));
    EXPECT_FALSE(AnyRoutableIPv4({}));
}
