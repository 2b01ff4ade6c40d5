// End to end over TLS: the client against vsftpd (require_ssl_reuse=YES) and
// pyftpdlib's TLS handler with certificates made by openssl for the test.
#include "FtpServerProcess.h"
#include "FtpTestSupport.h"
#include "TestCertificates.h"

#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <QSslConfiguration>

namespace {

struct CTlsCase
{
    CFtpServerProcess::EKind m_kind;
    bool m_bPassive;
    QSsl::SslProtocol m_protocol;
};

// The client builds its TLS settings on the process's default configuration;
// the tests change it and put it back.
class CDefaultTls
{
public:
    CDefaultTls() : m_saved(QSslConfiguration::defaultConfiguration()) {}
    ~CDefaultTls() { QSslConfiguration::setDefaultConfiguration(m_saved); }
    void Protocol(QSsl::SslProtocol protocol)
    {
        QSslConfiguration configuration = m_saved;
        configuration.setProtocol(protocol);
        QSslConfiguration::setDefaultConfiguration(configuration);
    }
    void TrustOnly(const QSslCertificate& authority)
    {
        QSslConfiguration configuration = m_saved;
        configuration.setCaCertificates({authority});
        QSslConfiguration::setDefaultConfiguration(configuration);
    }

private:
    QSslConfiguration m_saved;
};

bool LogOn(CFtpClient& client, const CFtpServerProcess& server, const QString& host = u"127.0.0.1"_s)
{
    return client.LogOn(host, server.m_nPort, server.m_strUser, server.m_strPassword, QString(), QString(), QString(),
                        QString(), 0, 0);
}

// The commands the server received, without their arguments.
QStringList Commands(const CFtpServerProcess& server)
{
    QStringList commands;
    for (const QString& line : server.Transcript())
        commands.append(line.section(u' ', 0, 0));
    return commands;
}

class FtpTlsServers : public testing::TestWithParam<CTlsCase>
{
};

// Everything a plain-FTP user does, over TLS: logon, listings, files down and
// up byte for byte, folder trees both ways. Each data connection resumes the
// control session; vsftpd refuses any that does not.
TEST_P(FtpTlsServers, EverythingOverTls)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    CTestCertificate certificate;
    QString problem;
    if (!MakeSelfSignedCertificate(dir.path(), u"server"_s, certificate, problem))
        GTEST_SKIP() << qPrintable(problem);
    CFtpServerProcess server(GetParam().m_kind);
    server.m_strCertificate = certificate.m_strCertificate;
    server.m_strKey = certificate.m_strKey;
    if (!server.Start())
        GTEST_SKIP() << qPrintable(server.m_strProblem);
    CDefaultTls tls;
    tls.Protocol(GetParam().m_protocol);

    CFtpClient client;
    client.m_eEncryption = FTP_TLS_REQUIRE;
    client.m_strTrustedFingerprint = certificate.m_strFingerprint;
    client.m_bMayAskTrust = false;
    client.m_bPassive = GetParam().m_bPassive;
    client.m_nTimeoutMs = 10000;
    ASSERT_TRUE(LogOn(client, server)) << qPrintable(client.m_strReply);
    EXPECT_TRUE(client.IsEncrypted());
    EXPECT_TRUE(client.IsDataEncrypted());
    const bool pyftpdlib = GetParam().m_kind == CFtpServerProcess::Pyftpdlib;
    EXPECT_EQ(client.Features().m_bMlsd, pyftpdlib);

    const QByteArray big = RandomBytes(3 * 1024 * 1024 + 5, 31);
    ASSERT_TRUE(WriteAll(server.m_strRoot + u"/down load.bin"_s, big));
    ASSERT_TRUE(WriteAll(server.m_strRoot + u"/empty.bin"_s, QByteArray()));
    const QString base = server.m_strRemoteBase;
    EXPECT_TRUE(client.TransferFile(base + u"/down load.bin"_s, dir.filePath(u"got.bin"_s), client.m_bPassive, true))
        << qPrintable(client.m_strReply);
    EXPECT_EQ(ReadAll(dir.filePath(u"got.bin"_s)), big);
    EXPECT_TRUE(client.TransferFile(base + u"/empty.bin"_s, dir.filePath(u"empty.bin"_s), client.m_bPassive, true));
    EXPECT_EQ(ReadAll(dir.filePath(u"empty.bin"_s)), QByteArray());
    const QByteArray up = RandomBytes(2 * 1024 * 1024 + 11, 32);
    ASSERT_TRUE(WriteAll(dir.filePath(u"up.bin"_s), up));
    EXPECT_TRUE(client.TransferFile(base + u"/up.bin"_s, dir.filePath(u"up.bin"_s), client.m_bPassive, false))
        << qPrintable(client.m_strReply);
    EXPECT_EQ(ReadAll(server.m_strRoot + u"/up.bin"_s), up);
    EXPECT_TRUE(client.TransferFile(base + u"/none.bin"_s, dir.filePath(u"empty.bin"_s), client.m_bPassive, false))
        << qPrintable(client.m_strReply);
    EXPECT_EQ(ReadAll(server.m_strRoot + u"/none.bin"_s), QByteArray());

    const QString remoteParent = base.mid(1);
    EXPECT_TRUE(client.ReadRemoteFolder(remoteParent)) << qPrintable(client.m_strReply);
    EXPECT_EQ(client.m_aRemoteFiles, (QStringList{u"down load.bin"_s, u"empty.bin"_s, u"none.bin"_s, u"up.bin"_s}));

    const QString top = dir.filePath(u"Job 1"_s);
    ASSERT_TRUE(WriteAll(top + u"/a.txt"_s, "alpha\r\n"));
    ASSERT_TRUE(WriteAll(top + u"/sub dir/b.bin"_s, RandomBytes(70000, 33)));
    ASSERT_TRUE(QDir().mkpath(top + u"/empty folder"_s));
    EXPECT_TRUE(client.UploadFolder(top, remoteParent, u"Job 1"_s)) << qPrintable(client.m_strReply);
    const QString remoteTop = remoteParent.isEmpty() ? u"Job 1"_s : remoteParent + u"/Job 1"_s;
    EXPECT_TRUE(client.DownloadFolder(remoteTop, dir.path(), u"Back"_s)) << qPrintable(client.m_strReply);
    EXPECT_EQ(FolderEntries(dir.filePath(u"Back"_s)), (QStringList{u"a.txt"_s, u"empty folder"_s, u"sub dir"_s}));
    EXPECT_EQ(ReadAll(dir.filePath(u"Back/sub dir/b.bin"_s)), ReadAll(top + u"/sub dir/b.bin"_s));
    client.LogOff();

    EXPECT_TRUE(services.m_prompt.Idle()) << qPrintable(services.m_prompt.m_unexpected.join(u'|'));
    if (pyftpdlib) {
        const QStringList commands = Commands(server);
        EXPECT_EQ(commands.mid(0, 5), (QStringList{u"AUTH"_s, u"USER"_s, u"PASS"_s, u"PBSZ"_s, u"PROT"_s}));
        EXPECT_TRUE(commands.contains(u"MLSD"_s));
        EXPECT_FALSE(commands.contains(u"LIST"_s));
    }
}

INSTANTIATE_TEST_SUITE_P(Loopback, FtpTlsServers,
                         testing::Values(CTlsCase{CFtpServerProcess::Vsftpd, true, QSsl::TlsV1_3},
                                         CTlsCase{CFtpServerProcess::Vsftpd, false, QSsl::TlsV1_3},
                                         CTlsCase{CFtpServerProcess::Vsftpd, true, QSsl::TlsV1_2},
                                         CTlsCase{CFtpServerProcess::Vsftpd, false, QSsl::TlsV1_2},
                                         CTlsCase{CFtpServerProcess::Pyftpdlib, true, QSsl::SecureProtocols},
                                         CTlsCase{CFtpServerProcess::Pyftpdlib, false, QSsl::SecureProtocols}),
                         [](const testing::TestParamInfo<CTlsCase>& info) {
                             const char* protocol = info.param.m_protocol == QSsl::TlsV1_2 ? "_tls12"
                                 : info.param.m_protocol == QSsl::TlsV1_3                  ? "_tls13"
                                                                                           : "";
                             return std::string(info.param.m_kind == CFtpServerProcess::Pyftpdlib ? "pyftpdlib"
                                                                                                  : "vsftpd")
                                 + (info.param.m_bPassive ? "_passive" : "_active") + protocol;
                         });

} // namespace
