#include "ftp/FtpProtocol.h"
#include "ftp/FtpFeatures.h"
#include "ftp/FtpResume.h"
#include "ftp/RemotePath.h"
#include "ftp/SftpProtocol.h"

#include <QHostAddress>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;

TEST(FtpProtocol, ReplyClass)
{
    const std::pair<const char*, int> cases[] = {{"220-pyftpdlib 1.5.7 ready.\r\n", 2},
                                                 {"530 Login incorrect.\r\n", 5},
                                                 {"2\r\n", 2},
                                                 {" EPRT\r\n", -16},
                                                 {"", 0}};
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(FtpReplyClass(QString::fromLatin1(line)), expected) << line;
    // SIZE replies: only "213" with a plain count, never one that overflows.
    for (const auto& [reply, expected] : {std::pair{"213 1048576", 1048576LL},
                                          {"213 0", 0LL},
                                          {"550 No file", -1LL},
                                          {"213 -5", -1LL},
                                          {"213 99999999999999999999", -1LL}}) {
        qint64 size = -1;
        EXPECT_EQ(ParseFtpSizeReply(QString::fromLatin1(reply), size), expected >= 0) << reply;
        EXPECT_EQ(size, expected) << reply;
    }
}

// Replies and names with the host and port taken from them ("host:port");
// then texts that are refused.
TEST(FtpProtocol, PasvRepliesAndPortArguments)
{
    const auto pasv = [](const char* text) {
        QString host;
        int port = -1;
        return ParseFtpPasvReply(QString::fromLatin1(text), host, port) ? u"%1:%2"_s.arg(host).arg(port) : QString();
    };
    const auto epsv = [](const char* text) {
        int port = -1;
        return ParseFtpEpsvReply(QString::fromLatin1(text), port) ? port : port == -1 ? 0 : -2;
    };
    const auto name = [](const char* text) {
        QString host;
        int port = 0;
        return SplitFtpServerName(QString::fromLatin1(text), host, port) ? u"%1:%2"_s.arg(host).arg(port) : QString();
    };
    const std::pair<const char*, const char*> pasvCases[] = {
        {"227 Entering Passive Mode (192,168,0,5,4,1).\r\n", "192.168.0.5:1025"},
        {"227 Entering Passive Mode (127,0,0,1,156,64).\r\n", "127.0.0.1:40000"}, // vsftpd; high byte over 127
        {"227 =( 10, 0, 0, 7, 0, 21)\r\n", "10.0.0.7:21"},
        {"227 (1,2,3,4,4,1)(\r\n", "1.2.3.4:1025"},
        {"227 )(1,2,3,4,4,1)\r\n", "1.2.3.4:1025"},
    };
    for (const auto& [text, expected] : pasvCases)
        EXPECT_EQ(pasv(text), QString::fromLatin1(expected)) << text;
    // Over-long and out-of-range fields: high * 256 + low must not overflow
    // into an accepted port, nor a bent host go to name look-up.
    for (const char* text :
         {"227 Entering Passive Mode 127,0,0,1,4,1\r\n", "227 Entering Passive Mode (127,0,0,1,4,1\r\n",
          "227 (1,2)\r\n", "227 (127,0,0,1,0,0)\r\n", "227 (1,2,3,4,99999999,1)\r\n", "227 (1,2,3,4,16777216,1)\r\n",
          "227 (1,2,3,4,256,1)\r\n", "227 (1,2,3,4,1,256)\r\n", "227 (999,0,0,1,4,1)\r\n", "227 (1,2,3,4,0004,1)\r\n",
          "227 (1,2,3,4,-1,1)\r\n", "227 (1,2,3,4,4a,1)\r\n", "227 (1,2,3,4,5)\r\n", "227 (1,2,3,4,5,6,7)\r\n",
          "227 (1,2,3,,4,1)\r\n"})
        EXPECT_EQ(pasv(text), QString()) << text;
    const std::pair<const char*, int> epsvCases[] = {
        {"229 Entering Extended Passive Mode (|||6446|)\r\n", 6446},
        {"229 Extended Passive (!!!65535!)\r\n", 65535},
        {"229 (|||1|)\r\n", 1},
    };
    for (const auto& [text, expected] : epsvCases)
        EXPECT_EQ(epsv(text), expected) << text;
    // A refused EPSV reply leaves the port alone (0 here).
    for (const char* text : {"229 (|||0|)\r\n", "229 (|||65536|)\r\n", "229 (|||99999999999|)\r\n", "229 (|||6446)\r\n",
                             "229 (||6446|)\r\n", "229 (|1|::1|6446|)\r\n", "229 (   6446 )\r\n", "229 (|||64a6|)\r\n",
                             "229 |||6446|\r\n"})
        EXPECT_EQ(epsv(text), 0) << text;
    EXPECT_EQ(MakeFtpEprtArgument(u"10.0.0.7"_s, false, 1025), u"|1|10.0.0.7|1025|"_s);
    EXPECT_EQ(MakeFtpEprtArgument(u"::1"_s, true, 65535), u"|2|::1|65535|"_s);
    EXPECT_EQ(MakeFtpPortArgument(u"10.0.0.7"_s, 1025), u"10,0,0,7,4,1"_s);
    EXPECT_EQ(MakeFtpPortArgument(u"127.0.0.1"_s, 65535), u"127,0,0,1,255,255"_s);
    EXPECT_EQ(MakeFtpPortArgument(u"192.168.1.20"_s, 255), u"192,168,1,20,0,255"_s);

    const std::pair<const char*, const char*> names[] = {{"ftp.example.com", "ftp.example.com:21"},
                                                         {" ftp.example.com:2121 ", "ftp.example.com:2121"},
                                                         {"::1", "::1:21"},
                                                         {"[::1]:2121", "::1:2121"},
                                                         {"[fe80::1]", "fe80::1:21"}};
    for (const auto& [text, expected] : names)
        EXPECT_EQ(name(text), QString::fromLatin1(expected)) << text;
    for (const char* text : {"host:0", "host:70000", "host:ftp", "host:"})
        EXPECT_EQ(name(text), QString()) << text;
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

// A remote path built from a tree or a typed path, then joined: the forms
// the commands send ("DELE /a", "CWD /a/") and the explorer shows.
TEST(FtpProtocol, RemotePathForms)
{
    struct CCase
    {
        const char* m_szPath;
        bool m_bTree;          // "\\" separates names too
        const char* m_szChild; // joined below, nullptr for none
        const char* m_szForms; // Absolute|Relative|FolderForm|TreePath|Parent's Absolute
    };
    const CCase cases[] = {
        {"", true, nullptr, "/|||| /"},
        {"\\", true, nullptr, "/|||| /"},
        {"/", false, nullptr, "/|||| /"},
        {"Data\\Job1", true, nullptr, "/Data/Job1|Data/Job1|Data/Job1/|Data\\Job1| /Data"},
        {"/Data/Job1/", false, nullptr, "/Data/Job1|Data/Job1|Data/Job1/|Data\\Job1| /Data"},
        {"Data//Job1", false, "Sub", "/Data/Job1/Sub|Data/Job1/Sub|Data/Job1/Sub/|Data\\Job1\\Sub| /Data/Job1"},
        {"", true, "a b.txt", "/a b.txt|a b.txt|a b.txt/|a b.txt| /"},
        {"Jobs 2024\\  lead", true, "",
         "/Jobs 2024/  lead|Jobs 2024/  lead|Jobs 2024/  lead/|Jobs 2024\\  lead| /Jobs 2024"},
        {"a\\b", false, "c", "/a\\b/c|a\\b/c|a\\b/c/|a\\b\\c| /a\\b"},
    };
    for (const CCase& c : cases) {
        const QString text = QString::fromLatin1(c.m_szPath);
        CRemotePath path = c.m_bTree ? CRemotePath::FromTree(text) : CRemotePath::FromServer(text);
        if (c.m_szChild)
            path = path.Child(QString::fromLatin1(c.m_szChild));
        const QString forms = QStringList{path.Absolute(), path.Relative(), path.FolderForm(), path.TreePath(),
                                          u" "_s + path.Parent().Absolute()}
                                  .join(u'|');
        EXPECT_EQ(forms.toStdString(), c.m_szForms) << c.m_szPath;
        EXPECT_FALSE(forms.contains(u"//"_s)) << c.m_szPath;
    }
    // A copy's folders below its top, as the local side names them.
    EXPECT_EQ(CRemotePath::FromTree(u"Data\\Job1"_s).Descendant(u"Sub/X"_s).Absolute(), u"/Data/Job1/Sub/X"_s);
    EXPECT_EQ(CRemotePath::FromTree(u"Data"_s).Descendant(QString()), CRemotePath::FromServer(u"/Data/"_s));
}

// The pace of a broken transfer's attempts: 1, 4, 15 s while they bring
// nothing, three such at most, the count started again by one that brings
// bytes (a first attempt that moved bytes, and one new start only without
// REST STREAM: the scripted downloads).
TEST(FtpResume, AttemptsAndPauses)
{
    struct CCase
    {
        const char* m_szWhat;
        bool m_bCanResume;
        std::vector<bool> m_progressed; // of each attempt that broke, the first one included
        std::vector<int> m_pauses;      // the answers, -1 for giving up
    };
    const CCase cases[] = {
        {"nothing ever arrives", true, {false, false, false, false}, {1000, 4000, 15000, -1}},
        {"progress starts the count again",
         true,
         {true, true, false, true, false, false, false},
         {1000, 1000, 4000, 1000, 4000, 15000, -1}},
    };
    for (const CCase& c : cases) {
        CFtpResumePolicy policy(c.m_bCanResume);
        std::vector<int> pauses;
        for (const bool progressed : c.m_progressed)
            pauses.push_back(policy.NextPauseMs(progressed));
        EXPECT_EQ(pauses, c.m_pauses) << c.m_szWhat;
    }
    // An upload the client saw moving while the server kept nothing new: the
    // first attempt is not counted, then three such end it.
    CFtpResumePolicy upload(true);
    std::vector<bool> confirmed;
    for (int attempt = 0; attempt < 4; ++attempt) {
        EXPECT_EQ(upload.NextPauseMs(true), 1000);
        confirmed.push_back(upload.Confirm(false));
    }
    EXPECT_EQ(confirmed, (std::vector<bool>{true, true, true, false}));
}

// Which checksum is asked for, and what of a reply is taken: only hex of the
// algorithm's length in a 2xx reply of bounded length.
TEST(FtpResume, HashCommandsAndReplies)
{
    const QString sha256(64, u'a'), sha1(40, u'B'), md5(32, u'c');
    struct CCase
    {
        const char* m_szFeat; // feature lines
        const char *m_szCommand, *m_szSelect;
        QString m_strReply;
        const char* m_szDigest; // "" for a reply refused
    };
    const CCase cases[] = {
        {" HASH SHA-1*;SHA-256;MD5", "HASH", "OPTS HASH SHA-256", u"213 SHA-256 0-99 "_s + sha256 + u" a b.txt"_s,
         "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
        {" HASH SHA-256*;CRC32", "HASH", "", u"213 SHA-256 0-99 "_s + sha1 + u" a"_s, ""},
        {" HASH SHA-1*", "HASH", "", u"213 MD5 0-99 "_s + sha1 + u" a"_s, ""},
        {" HASH MD5*;XYZ", "HASH", "", u"213 MD5 0-99 "_s + md5 + u" a"_s, "cccccccccccccccccccccccccccccccc"},
        {" HASH CRC32", "HASH", "OPTS HASH CRC32", u"213 CRC32 0-9 0A1B2C3D a"_s, "0a1b2c3d"},
        {" XCRC\r\n XMD5\r\n XSHA1", "XSHA1", "", u"250 "_s + sha1, "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb"},
        {" XSHA1", "XSHA1", "", u"250 "_s + sha1.left(39) + u'g', ""},
        {" XSHA256", "XSHA256", "", u"550 "_s + sha256, ""},
        {" XSHA256", "XSHA256", "", u"250 "_s + sha256 + u' ' + QString(1000, u'x'), ""},
        {" XCRC", "XCRC", "", u"250 1234ABCD\r\n"_s, "1234abcd"},
        {" MDTM", "", "", u"250 1234ABCD"_s, ""},
    };
    for (const CCase& c : cases) {
        const QByteArray feat = QByteArray("211-Features:\r\n") + c.m_szFeat + "\r\n211 End\r\n";
        QList<QByteArray> lines;
        for (const QByteArray& line : feat.split('\n'))
            if (!line.isEmpty())
                lines.append(line + '\n');
        const CFtpHashCommand command = ChooseFtpHash(ParseFtpFeatures(lines));
        EXPECT_EQ(command.m_strCommand, QLatin1String(c.m_szCommand)) << c.m_szFeat;
        EXPECT_EQ(command.m_strSelect, QLatin1String(c.m_szSelect)) << c.m_szFeat;
        QByteArray digest;
        EXPECT_EQ(ParseFtpHashReply(c.m_strReply, command, digest), *c.m_szDigest != 0) << c.m_szFeat;
        EXPECT_EQ(digest, QByteArray(c.m_szDigest)) << c.m_szFeat;
    }
    // The IEEE CRC-32 that XCRC and HASH CRC32 give.
    EXPECT_EQ(FtpCrc32(FtpCrc32(0, "1234", 4), "56789", 5), 0xCBF43926u);
    qint64 size = 0;
    EXPECT_TRUE(ParseFtpMlstSize(
        {"250-Listing a b\r\n", " type=file;size=4711;modify=20260101000000; a b\r\n", "250 End\r\n"}, size));
    EXPECT_EQ(size, 4711);
    EXPECT_FALSE(ParseFtpMlstSize({"250-Listing d\r\n", " type=dir;size=4096; d\r\n", "250 End\r\n"}, size));
    EXPECT_FALSE(ParseFtpMlstSize({"550 No such file\r\n"}, size));
}

// The server forms of the command line, typed host key fingerprints and the
// names an SFTP path may hold.
TEST(FtpProtocol, SftpServersFingerprintsAndNames)
{
    const std::tuple<const char*, bool, bool, const char*, int> servers[] = {
        {"sftp://files.example.org", true, true, "files.example.org", 22},
        {"SFTP://10.0.0.7:2222/", true, true, "10.0.0.7", 2222},
        {"ftp://10.0.0.7", true, false, "10.0.0.7", 21},
        {"10.0.0.7", true, false, "10.0.0.7", 21},
        {"sftp://[::1]:23", true, true, "::1", 23},
        {"sftp://host:0", false, true, "", 0},
        {"http://host", false, false, "", 0},
        {"sftp://", false, true, "", 0},
    };
    for (const auto& [server, ok, sftp, host, port] : servers) {
        bool isSftp = false;
        QString parsedHost;
        int parsedPort = 0;
        ASSERT_EQ(SplitServerUrl(QString::fromLatin1(server), isSftp, parsedHost, parsedPort), ok) << server;
        if (ok) {
            EXPECT_EQ(std::tuple(isSftp, parsedHost, parsedPort), std::tuple(sftp, QString::fromLatin1(host), port));
        }
    }
    const QString fingerprint = u"SHA256:lLYsLPV2KK0h/9Aeurn3Sg6qyI+UAERi+o0uriLKLDU"_s;
    for (const QString& typed : {fingerprint, fingerprint.mid(7) + u"="_s, u" sha256:"_s + fingerprint.mid(7)})
        EXPECT_EQ(NormalizeSftpFingerprint(typed), fingerprint) << qPrintable(typed);
    for (const QString& typed :
         {fingerprint.chopped(1), fingerprint + u"A"_s, QString(fingerprint).replace(9, 1, u"*"_s)})
        EXPECT_EQ(NormalizeSftpFingerprint(typed), QString()) << qPrintable(typed);
    // The key types known for a server pick the host key the server is asked for.
    const QByteArray known = "# comment\n"
                             "|1|Txz0GGv1Vwi8iQjudt4eu+gG/ps=|jPjb5Z9BGmnKBF6drhOm1tdbB0M= ssh-rsa AAAA\n"
                             "other,[127.0.0.1]:2222 ecdsa-sha2-nistp256 AAAA\n"
                             "@revoked [127.0.0.1]:2222 ssh-ed25519 AAAA\n"
                             "[127.0.0.1]:2223 ssh-ed25519 AAAA\n";
    EXPECT_EQ(KnownHostKeyTypes(known, u"[127.0.0.1]:2222"_s), QStringList({u"ssh-rsa"_s, u"ecdsa-sha2-nistp256"_s}));
    EXPECT_EQ(SftpHostKeyMethods(KnownHostKeyTypes(known, u"[127.0.0.1]:2222"_s)),
              u"rsa-sha2-512,rsa-sha2-256,ssh-rsa,ecdsa-sha2-nistp256,ssh-ed25519,ecdsa-sha2-nistp384,"
              "ecdsa-sha2-nistp521"_s);
    EXPECT_EQ(KnownHostKeyTypes(known, u"127.0.0.1"_s), QStringList());
    EXPECT_TRUE(IsSafeSftpPath({u"Jobs"_s, u"a b.txt"_s}));
    for (const QString& name : {u".."_s, u"a\tb"_s, u"a\u001Bb"_s, u"a\u007F"_s, u"x\u011By"_s, u"a/b"_s})
        EXPECT_FALSE(IsSafeSftpPath({u"Jobs"_s, name})) << qPrintable(name);
}
