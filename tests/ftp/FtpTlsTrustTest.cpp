// Which certificates the client takes, and what it sends before it has
// decided, against pyftpdlib's TLS handler recording every command; and
// "Require TLS" or MLSD against plain servers.
#include "FtpServerProcess.h"
#include "FtpTestSupport.h"
#include "TestCertificates.h"

#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <QSslConfiguration>

namespace {

bool LogOn(CFtpClient& client, const CFtpServerProcess& server, const QString& host = u"127.0.0.1"_s)
{
    return client.LogOn(host, server.m_nPort, server.m_strUser, server.m_strPassword, QString(), QString(), QString(),
                        QString(), 0, 0);
}

// The lines a logon attempt added to the server's transcript.
QStringList NewLines(const CFtpServerProcess& server, qsizetype& seen)
{
    const QStringList lines = server.Transcript();
    const QStringList added = lines.mid(seen);
    seen = lines.size();
    return added;
}

QString Text(int id)
{
    return LoadString(id).section(u'%', 0, 0);
}

} // namespace

TEST(FtpTlsTrust, CertificatesAskedAboutRememberedAndRefused)
{
    QTemporaryDir dir;
    CTestCertificate certificate, other;
    QString problem;
    if (!MakeSelfSignedCertificate(dir.path(), u"server"_s, certificate, problem)
        || !MakeSelfSignedCertificate(dir.path(), u"other"_s, other, problem))
        GTEST_SKIP() << qPrintable(problem);
    CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
    server.m_strCertificate = certificate.m_strCertificate;
    server.m_strKey = certificate.m_strKey;
    if (!server.Start())
        GTEST_SKIP() << qPrintable(server.m_strProblem);
    const QString key = FtpServerKey(u"127.0.0.1"_s, server.m_nPort);
    const QStringList onlyAuth{u"AUTH TLS"_s};

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
        {"remembered", certificate.m_strFingerprint, true, 0, 0, true, 0, false},
        {"changed, answered No", other.m_strFingerprint, true, IDNO, IDS_FTP_CERT_ASK_CHANGED, false,
         IDS_FTP_CERT_CHANGED_REFUSED, false},
        {"changed, answered Yes", other.m_strFingerprint, true, IDYES, IDS_FTP_CERT_ASK_CHANGED, true, 0, true},
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
        EXPECT_EQ(LogOn(client, server), c.m_bResult) << c.m_szWhat << ": " << qPrintable(client.m_strReply);
        EXPECT_TRUE(services.m_prompt.Idle()) << c.m_szWhat;
        ASSERT_EQ(services.m_prompt.m_shown.size(), c.m_nAnswer ? 1 : 0) << c.m_szWhat;
        if (c.m_nAnswer) {
            // Where, why, what: the server, the problem, the certificate.
            const QString& question = services.m_prompt.m_shown[0];
            EXPECT_TRUE(question.startsWith(u"Server certificate: "_s + Text(c.m_nQuestionId) + key)) << c.m_szWhat;
            for (const QString& part : {u"self-signed"_s, u"Subject: CN=localhost, O=Invented Survey Office server"_s,
                                        u"Issuer: CN=localhost"_s, u"Valid from "_s,
                                        u"SHA-256 fingerprint: "_s + certificate.m_strFingerprint})
                EXPECT_TRUE(question.contains(part)) << c.m_szWhat << ": " << qPrintable(part);
            EXPECT_EQ(services.m_prompt.m_icons.value(0), MB_ICONWARNING);
        }
        if (c.m_nReplyId) {
            EXPECT_TRUE(client.m_strReply.startsWith(Text(c.m_nReplyId))) << c.m_szWhat;
            EXPECT_TRUE(client.m_strReply.contains(certificate.m_strFingerprint)) << c.m_szWhat;
        }
        EXPECT_EQ(client.m_strAcceptedFingerprint, c.m_bAccepted ? certificate.m_strFingerprint : QString())
            << c.m_szWhat;
        // Not even the user name goes out before the certificate is taken.
        const QStringList lines = NewLines(server, seen);
        if (!c.m_bResult) {
            EXPECT_EQ(lines, onlyAuth) << c.m_szWhat;
        } else {
            EXPECT_EQ(lines.mid(0, 3).join(u'|'),
                      u"AUTH TLS|USER "_s + server.m_strUser + u"|PASS "_s + server.m_strPassword)
                << c.m_szWhat;
        }
        client.CloseControlChannel(); // no QUIT: the transcript stays complete
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
        GTEST_SKIP() << qPrintable(problem);
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration configuration = saved;
    configuration.setCaCertificates({authority.Load()});
    QSslConfiguration::setDefaultConfiguration(configuration);
    for (const CTestCertificate* certificate : {&named, &other}) {
        CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
        server.m_strCertificate = certificate->m_strCertificate;
        server.m_strKey = certificate->m_strKey;
        if (!server.Start())
            GTEST_SKIP() << qPrintable(server.m_strProblem);
        for (const QString& host : {u"127.0.0.1"_s, u"localhost"_s}) {
            CFtpTestServices services;
            CFtpClient client;
            client.m_eEncryption = FTP_TLS_REQUIRE;
            client.m_bMayAskTrust = false;
            client.m_nTimeoutMs = 10000;
            const bool verified = certificate == &named;
            EXPECT_EQ(LogOn(client, server, host), verified)
                << qPrintable(host) << ": " << qPrintable(client.m_strReply);
            if (!verified) {
                EXPECT_TRUE(client.m_strReply.contains(u"host name did not match"_s)) << qPrintable(client.m_strReply);
            }
            client.CloseControlChannel();
            EXPECT_TRUE(services.m_prompt.Idle());
        }
    }
    QSslConfiguration::setDefaultConfiguration(saved);
}

// "Require TLS" against a server without TLS sends neither user nor password;
// "if offered" goes on in plain FTP. MLSD and LIST give the same names.
TEST(FtpTlsTrust, PlainServers)
{
    CFtpServerProcess withMlst(CFtpServerProcess::Pyftpdlib), withoutMlst(CFtpServerProcess::Pyftpdlib);
    withMlst.m_bRecord = true;
    withoutMlst.m_bRecord = true;
    withoutMlst.m_bWithoutMlst = true;
    if (!withMlst.Start() || !withoutMlst.Start())
        GTEST_SKIP() << qPrintable(withMlst.m_strProblem + withoutMlst.m_strProblem);
    CFtpTestServices services;
    {
        CFtpClient client;
        client.m_eEncryption = FTP_TLS_REQUIRE;
        EXPECT_FALSE(LogOn(client, withMlst));
        EXPECT_TRUE(client.m_strReply.startsWith(Text(IDS_FTP_TLS_NOT_OFFERED))) << qPrintable(client.m_strReply);
        EXPECT_TRUE(client.m_strReply.contains(u"500"_s)) << qPrintable(client.m_strReply);
        EXPECT_FALSE(client.IsOpen());
    }
    EXPECT_EQ(withMlst.Transcript(), QStringList{u"AUTH TLS"_s});

    for (CFtpServerProcess* server : {&withMlst, &withoutMlst}) {
        for (const char* name : {"a.txt", "  two leading", "semi;colon=x.txt", "caf\xc3\xa9.txt"})
            ASSERT_TRUE(WriteAll(server->m_strRoot + u'/' + QString::fromUtf8(name), "x"));
        ASSERT_TRUE(QDir().mkpath(server->m_strRoot + u"/sub dir"_s));
    }
    QStringList names[2];
    for (int i = 0; i < 2; ++i) {
        CFtpServerProcess& server = i == 0 ? withMlst : withoutMlst;
        CFtpClient client;
        client.m_eEncryption = FTP_TLS_AUTO;
        ASSERT_TRUE(LogOn(client, server)) << qPrintable(client.m_strReply);
        EXPECT_FALSE(client.IsEncrypted());
        EXPECT_EQ(client.Features().m_bMlsd, i == 0);
        EXPECT_EQ(client.Features().m_bUtf8, true);
        ASSERT_TRUE(client.ReadRemoteFolder(QString()));
        names[i] = client.m_aRemoteFolders + client.m_aRemoteFiles;
        client.LogOff();
        const QStringList commands = server.Transcript();
        EXPECT_EQ(commands.contains(u"MLSD"_s), i == 0);
        EXPECT_EQ(commands.contains(u"LIST"_s), i == 1);
        EXPECT_TRUE(commands.contains(u"OPTS UTF8 ON"_s));
    }
    // UTF-8 from the server stays bytes: "é" is two characters.
    EXPECT_EQ(
        names[0],
        (QStringList{u"sub dir"_s, u"  two leading"_s, u"a.txt"_s, u"caf\u00c3\u00a9.txt"_s, u"semi;colon=x.txt"_s}));
    EXPECT_EQ(names[1], names[0]);
}

// A server with TLS on the control connection that refuses to encrypt the
// data: "Require TLS" logs off before anything is transferred; "if offered"
// goes on with plain data connections.
TEST(FtpTlsTrust, DataProtectionRefused)
{
    QTemporaryDir dir;
    CTestCertificate certificate;
    QString problem;
    if (!MakeSelfSignedCertificate(dir.path(), u"server"_s, certificate, problem))
        GTEST_SKIP() << qPrintable(problem);
    CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
    server.m_strCertificate = certificate.m_strCertificate;
    server.m_strKey = certificate.m_strKey;
    server.m_bRefuseProt = true;
    if (!server.Start())
        GTEST_SKIP() << qPrintable(server.m_strProblem);
    ASSERT_TRUE(WriteAll(server.m_strRoot + u"/a.txt"_s, "a"));
    CFtpTestServices services;
    for (EFtpEncryption encryption : {FTP_TLS_REQUIRE, FTP_TLS_AUTO}) {
        CFtpClient client;
        client.m_eEncryption = encryption;
        client.m_strTrustedFingerprint = certificate.m_strFingerprint;
        const bool require = encryption == FTP_TLS_REQUIRE;
        EXPECT_EQ(LogOn(client, server), !require) << qPrintable(client.m_strReply);
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
