// End to end: the client against real servers on loopback (pyftpdlib and
// vsftpd with require_ssl_reuse=YES), plain and over TLS with certificates
// made by openssl for the test.
#include "FtpServerProcess.h"
#include "FtpTestSupport.h"

#include "ftp/FtpTls.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include "support/CiSkip.h"

#include <QSslConfiguration>

namespace {

// The client builds its TLS settings on the process's default configuration;
// the tests change it and put it back.
class CDefaultTls
{
public:
    CDefaultTls() : m_saved(QSslConfiguration::defaultConfiguration()) {}
    ~CDefaultTls() { QSslConfiguration::setDefaultConfiguration(m_saved); }
    void Set(QSsl::SslProtocol protocol, const QList<QSslCertificate>& authorities = {})
    {
        QSslConfiguration configuration = m_saved;
        configuration.setProtocol(protocol);
        if (!authorities.isEmpty())
            configuration.setCaCertificates(authorities);
        QSslConfiguration::setDefaultConfiguration(configuration);
    }

private:
    QSslConfiguration m_saved;
};

bool LogOnTo(CFtpClient& client, const CFtpServerProcess& server, const QString& host = QString())
{
    return LogOn(client, host.isEmpty() ? server.m_strHost : host, server.m_nPort, server.m_strUser,
                 server.m_strPassword);
}

QString Text(int id)
{
    return LoadString(id).section(u'%', 0, 0);
}

struct CServerCase
{
    CFtpServerProcess::EKind m_kind;
    bool m_bPassive;
    bool m_bTls = false;
    QSsl::SslProtocol m_protocol = QSsl::SecureProtocols;
    bool m_bIPv6 = false;

    std::string Name() const
    {
        return std::string(m_kind == CFtpServerProcess::Pyftpdlib ? "pyftpdlib" : "vsftpd") + (m_bIPv6 ? "_ipv6" : "")
            + (m_bPassive ? "_passive" : "_active") + (m_bTls ? "_tls" : "")
            + (m_protocol == QSsl::TlsV1_2       ? "12"
                   : m_protocol == QSsl::TlsV1_3 ? "13"
                                                 : "");
    }
};

// Shown by CTest after each test's name instead of the case's raw bytes.
void PrintTo(const CServerCase& serverCase, std::ostream* os)
{
    *os << serverCase.Name();
}

class FtpServers : public testing::TestWithParam<CServerCase>
{
};

// Everything a user does: logon, a listing of names that a fixed-column rule
// cut wrongly, a file down and folder trees both ways byte for byte (empty
// files too). Over TLS each data connection resumes the control session;
// vsftpd refuses any that does not.
TEST_P(FtpServers, EverythingEndToEnd)
{
    const CServerCase& p = GetParam();
    const bool pyftpdlib = p.m_kind == CFtpServerProcess::Pyftpdlib;
    CFtpTestServices services; // real pauses are not needed against real servers
    CFtpServerProcess server(p.m_kind, p.m_bIPv6);
    CTestCertificate certificate;
    if (!(p.m_bTls ? server.StartWithTls(certificate) : server.Start()))
        TESSARO_GTEST_SKIP(qPrintable(server.m_strProblem));
    CDefaultTls tls;
    tls.Set(p.m_protocol);
    const QByteArray big = RandomBytes(4 * CFtpClient::kBlockSize + 5, 31); // several blocks and a piece
    ASSERT_TRUE(WriteFile(server.m_strRoot + u"/down load.bin"_s, big));
    for (const char* name : {"empty.bin", "  two leading", "semi;colon=x.txt", "caf\xc3\xa9.txt", "sub dir/x"})
        ASSERT_TRUE(WriteFile(server.m_strRoot + u'/' + QString::fromUtf8(name), QByteArray()));

    CFtpClient client;
    client.m_eEncryption = p.m_bTls ? FTP_TLS_REQUIRE : FTP_TLS_OFF;
    client.m_strTrustedFingerprint = certificate.m_strFingerprint;
    client.m_bMayAskTrust = false;
    client.m_bPassive = p.m_bPassive;
    client.m_nTimeoutMs = 10000;
    ASSERT_TRUE(LogOnTo(client, server)) << qPrintable(client.m_strReply);
    EXPECT_EQ(client.IsEncrypted(), p.m_bTls);
    EXPECT_EQ(client.IsDataEncrypted(), p.m_bTls);

    QTemporaryDir dir;
    const QString base = server.m_strRemoteBase;
    EXPECT_TRUE(client.TransferFile(base + u"/down load.bin"_s, dir.filePath(u"got.bin"_s), p.m_bPassive, true))
        << qPrintable(client.m_strReply);
    EXPECT_EQ(ReadFile(dir.filePath(u"got.bin"_s)), big);

    // MLSD (pyftpdlib) and LIST (vsftpd) give the same names; UTF-8 from the
    // server stays bytes: "é" is two characters.
    const QString remoteParent = base.mid(1);
    EXPECT_TRUE(client.ReadRemoteFolder(remoteParent)) << qPrintable(client.m_strReply);
    EXPECT_EQ(client.m_aRemoteFolders, QStringList{u"sub dir"_s});
    EXPECT_EQ(client.m_aRemoteFiles,
              (QStringList{u"  two leading"_s, u"caf\u00c3\u00a9.txt"_s, u"down load.bin"_s, u"empty.bin"_s,
                           u"semi;colon=x.txt"_s}));
    // Sizes and times as the server keeps them: MLSD gives seconds of UTC,
    // vsftpd's LIST minutes of UTC (its default).
    QList<CFtpListEntry> entries;
    EXPECT_TRUE(client.ListEntries(remoteParent, entries));
    EXPECT_EQ(client.m_nUnreadListingLines, 0);
    const auto download = std::find_if(entries.begin(), entries.end(),
                                       [](const CFtpListEntry& e) { return e.m_strName == u"down load.bin"_s; });
    ASSERT_NE(download, entries.end());
    EXPECT_EQ(download->m_nSize, big.size());
    EXPECT_EQ(FtpEntryTimeText(*download),
              QFileInfo(server.m_strRoot + u"/down load.bin"_s)
                  .lastModified()
                  .toUTC()
                  .toString(pyftpdlib ? u"yyyy-MM-ddTHH:mm:ssZ"_s : u"yyyy-MM-ddTHH:mm"_s));

    // Files up and down again in a tree, empty ones and ones of a block and a
    // piece among them. A hidden folder is uploaded (a hidden file is not: the
    // scripted copy's case).
    const QString top = dir.filePath(u"Job 1"_s);
    ASSERT_TRUE(WriteFile(top + u"/a.txt"_s, "alpha\r\n"));
    ASSERT_TRUE(WriteFile(top + u"/sub dir/b c.bin"_s, RandomBytes(CFtpClient::kBlockSize + 7, 21)));
    ASSERT_TRUE(WriteFile(top + u"/sub dir/deep/x.bin"_s, RandomBytes(4096, 22)));
    ASSERT_TRUE(WriteFile(top + u"/sub dir/deep/empty.bin"_s, QByteArray()));
    ASSERT_TRUE(WriteFile(top + u"/.hidden dir/y.txt"_s, "inside a hidden folder"));
    ASSERT_TRUE(QDir().mkpath(top + u"/empty folder"_s));
    EXPECT_TRUE(client.UploadFolder(top, remoteParent, u"Job 1"_s)) << qPrintable(client.m_strReply);
    const QMap<QString, QByteArray> expected = FilesBelow(top, true);
    EXPECT_EQ(FilesBelow(server.m_strRoot + u"/Job 1"_s, true), expected);
    const QString remoteTop = remoteParent.isEmpty() ? u"Job 1"_s : remoteParent + u"/Job 1"_s;
    EXPECT_TRUE(client.DownloadFolder(remoteTop, dir.path(), u"Back"_s)) << qPrintable(client.m_strReply);
    EXPECT_EQ(FilesBelow(dir.filePath(u"Back"_s), true), expected);
    client.LogOff();

    EXPECT_TRUE(services.m_prompt.Idle()) << qPrintable(services.m_prompt.m_unexpected.join(u'|'));
}

// One run per peer and data path: pyftpdlib's TLS in both modes, vsftpd
// plain and over TLS 1.3 in both modes and over TLS 1.2; EPRT and EPSV over
// IPv6, where PORT and PASV cannot carry the address.
INSTANTIATE_TEST_SUITE_P(
    Loopback, FtpServers,
    testing::Values(CServerCase{CFtpServerProcess::Pyftpdlib, true},
                    CServerCase{CFtpServerProcess::Pyftpdlib, true, true},
                    CServerCase{CFtpServerProcess::Pyftpdlib, false, true},
                    CServerCase{CFtpServerProcess::Vsftpd, false}, CServerCase{CFtpServerProcess::Vsftpd, true},
                    CServerCase{CFtpServerProcess::Vsftpd, true, true, QSsl::TlsV1_3},
                    CServerCase{CFtpServerProcess::Vsftpd, false, true, QSsl::TlsV1_3},
                    CServerCase{CFtpServerProcess::Vsftpd, true, true, QSsl::TlsV1_2},
                    CServerCase{CFtpServerProcess::Vsftpd, false, false, QSsl::SecureProtocols, true},
                    CServerCase{CFtpServerProcess::Vsftpd, true, false, QSsl::SecureProtocols, true}),
    [](const testing::TestParamInfo<CServerCase>& info) { return info.param.Name(); });

// Which certificates the client takes, and that not even the user name goes
// out before it has decided. Then the server refuses to encrypt the data:
// "Require TLS" logs off before anything is transferred; "if offered" goes
// on with plain data connections.
TEST(FtpTlsTrust, CertificatesAskedAboutAndDataProtectionRefused)
{
    CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
    server.m_bRefuseProt = true;
    CTestCertificate certificate, other;
    QTemporaryDir dir;
    if (!server.StartWithTls(certificate)
        || !MakeSelfSignedCertificate(dir.path(), u"other"_s, other, server.m_strProblem))
        TESSARO_GTEST_SKIP(qPrintable(server.m_strProblem));
    const QString key = FtpServerKey(u"127.0.0.1"_s, server.m_nPort);
    struct CCase
    {
        const char* m_szWhat;
        QString m_strRemembered;
        bool m_bMayAsk;
        int m_nAnswer;     // 0: no question expected
        int m_nQuestionId; // what the question starts with
        bool m_bResult;
        int m_nReplyId;   // failure text; 0 for a logon
        bool m_bAccepted; // m_strAcceptedFingerprint set
    };
    const CCase cases[] = {
        {"new, answered No", QString(), true, IDNO, IDS_FTP_CERT_ASK_NEW, false, IDS_FTP_CERT_REFUSED, false},
        {"new, answered Yes", QString(), true, IDYES, IDS_FTP_CERT_ASK_NEW, true, 0, true},
        {"changed, answered No", other.m_strFingerprint, true, IDNO, IDS_FTP_CERT_ASK_CHANGED, false,
         IDS_FTP_CERT_CHANGED_REFUSED, false},
        {"new, nobody to ask", QString(), false, 0, 0, false, IDS_FTP_CERT_NOT_ASKED, false},
        {"changed, nobody to ask", other.m_strFingerprint, false, 0, 0, false, IDS_FTP_CERT_CHANGED_REFUSED, false},
    };
    qsizetype seen = 0;
    for (const CCase& c : cases) {
        CFtpTestServices services;
        if (c.m_nAnswer)
            services.m_prompt.PushButton(c.m_nAnswer);
        CFtpClient client;
        client.m_eEncryption = FTP_TLS_AUTO;
        client.m_strRememberedFingerprint = c.m_strRemembered;
        client.m_bMayAskTrust = c.m_bMayAsk;
        client.m_nTimeoutMs = 10000;
        EXPECT_EQ(LogOnTo(client, server), c.m_bResult) << c.m_szWhat << ": " << qPrintable(client.m_strReply);
        EXPECT_TRUE(services.m_prompt.Idle()) << c.m_szWhat;
        ASSERT_EQ(services.m_prompt.m_shown.size(), c.m_nAnswer ? 1 : 0) << c.m_szWhat;
        if (c.m_nAnswer) {
            // Where, why, what: the server, the problem, the certificate.
            const QString& question = services.m_prompt.m_shown[0];
            EXPECT_TRUE(question.startsWith(u"Server certificate: "_s + Text(c.m_nQuestionId) + key)) << c.m_szWhat;
            EXPECT_TRUE(question.contains(u"self-signed"_s)) << c.m_szWhat;
            EXPECT_TRUE(question.contains(DescribeFtpCertificate(certificate.Load()))) << c.m_szWhat;
            EXPECT_EQ(services.m_prompt.m_icons.value(0), MB_ICONWARNING);
        }
        if (c.m_nReplyId) {
            EXPECT_TRUE(client.m_strReply.startsWith(Text(c.m_nReplyId))) << c.m_szWhat;
            EXPECT_TRUE(client.m_strReply.contains(certificate.m_strFingerprint)) << c.m_szWhat;
        }
        EXPECT_EQ(client.m_strAcceptedFingerprint, c.m_bAccepted ? certificate.m_strFingerprint : QString())
            << c.m_szWhat;
        const QStringList lines = server.Transcript().mid(seen);
        seen += lines.size();
        EXPECT_EQ(lines.mid(0, 3).join(u'|'),
                  c.m_bResult ? u"AUTH TLS|USER "_s + server.m_strUser + u"|PASS "_s + server.m_strPassword
                              : u"AUTH TLS"_s)
            << c.m_szWhat;
        client.CloseControlChannel(); // no QUIT: the transcript stays complete
    }

    ASSERT_TRUE(WriteFile(server.m_strRoot + u"/a.txt"_s, "a"));
    CFtpTestServices services;
    for (EFtpEncryption encryption : {FTP_TLS_REQUIRE, FTP_TLS_AUTO}) {
        CFtpClient client;
        client.m_eEncryption = encryption;
        client.m_strTrustedFingerprint = certificate.m_strFingerprint;
        const bool require = encryption == FTP_TLS_REQUIRE;
        EXPECT_EQ(LogOnTo(client, server), !require) << qPrintable(client.m_strReply);
        if (require) {
            EXPECT_TRUE(client.m_strReply.startsWith(Text(IDS_FTP_PROT_REFUSED))) << qPrintable(client.m_strReply);
            EXPECT_TRUE(client.m_strReply.contains(u"534"_s));
            EXPECT_FALSE(client.IsOpen());
            EXPECT_EQ(server.Transcript().last(), u"PROT P"_s);
        } else {
            EXPECT_TRUE(client.IsEncrypted());
            EXPECT_FALSE(client.IsDataEncrypted());
            EXPECT_TRUE(client.ReadRemoteFolder(QString())) << qPrintable(client.m_strReply);
            EXPECT_EQ(client.m_aRemoteFiles, QStringList{u"a.txt"_s});
        }
        client.CloseControlChannel();
    }
}

// A certificate that verifies against the trust store (here a test authority
// put in its place) is taken silently, also with nobody to ask; one made for
// another name is not.
TEST(FtpTlsTrust, VerifiedCertificatesNeedNoQuestion)
{
    QTemporaryDir dir;
    CTestCertificate authority, named, other;
    QString problem;
    if (!MakeSelfSignedCertificate(dir.path(), u"authority"_s, authority, problem)
        || !MakeSignedCertificate(dir.path(), u"named"_s, authority, named, problem)
        || !MakeSignedCertificate(dir.path(), u"other"_s, authority, other, problem, u"DNS:files.invalid"_s))
        TESSARO_GTEST_SKIP(qPrintable(problem));
    CDefaultTls tls;
    tls.Set(QSsl::SecureProtocols, {authority.Load()});
    for (const CTestCertificate* certificate : {&named, &other}) {
        CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
        server.m_strCertificate = certificate->m_strCertificate;
        server.m_strKey = certificate->m_strKey;
        if (!server.Start())
            TESSARO_GTEST_SKIP(qPrintable(server.m_strProblem));
        for (const QString& host : {u"127.0.0.1"_s, u"localhost"_s}) {
            CFtpTestServices services;
            CFtpClient client;
            client.m_eEncryption = FTP_TLS_REQUIRE;
            client.m_bMayAskTrust = false;
            client.m_nTimeoutMs = 10000;
            const bool verified = certificate == &named;
            EXPECT_EQ(LogOnTo(client, server, host), verified)
                << qPrintable(host) << ": " << qPrintable(client.m_strReply);
            if (!verified) {
                EXPECT_TRUE(client.m_strReply.contains(u"host name did not match"_s)) << qPrintable(client.m_strReply);
            }
            client.CloseControlChannel();
            EXPECT_TRUE(services.m_prompt.Idle());
        }
    }
}

} // namespace
