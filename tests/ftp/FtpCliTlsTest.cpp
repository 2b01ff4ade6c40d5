// tessaro-cli ftp over TLS against pyftpdlib's TLS handler: --tls,
// --trust-fingerprint, the question on a terminal and the remembered answer.
#include "FtpServerProcess.h"
#include "FtpTestSupport.h"
#include "TestCertificates.h"

#include "ftp/FtpSettings.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

struct CRun
{
    int m_nExit = -1;
    QString m_strOut;
    QString m_strErr;
};

class FtpCliTls : public testing::Test
{
protected:
    void SetUp() override
    {
        QString problem;
        if (!MakeSelfSignedCertificate(m_local.path(), u"server"_s, m_certificate, problem))
            GTEST_SKIP() << qPrintable(problem);
        m_server.m_strCertificate = m_certificate.m_strCertificate;
        m_server.m_strKey = m_certificate.m_strKey;
        if (!m_server.Start())
            GTEST_SKIP() << qPrintable(m_server.m_strProblem);
    }

    QStringList Arguments(const CFtpServerProcess& server, const QStringList& args) const
    {
        return QStringList{u"--profile"_s,
                           m_local.filePath(u"profile.ini"_s),
                           u"ftp"_s,
                           u"--server"_s,
                           u"127.0.0.1:%1"_s.arg(server.m_nPort),
                           u"--user"_s,
                           server.m_strUser,
                           u"--password"_s,
                           server.m_strPassword}
        + args;
    }

    CRun Cli(const QStringList& args, const CFtpServerProcess* server = nullptr)
    {
        QProcess process;
        process.setWorkingDirectory(m_local.path());
        process.start(QStringLiteral(TESSARO_CLI), Arguments(server ? *server : m_server, args));
        CRun run;
        if (process.waitForFinished(60000)) {
            run.m_nExit = process.exitCode();
            run.m_strOut = QString::fromUtf8(process.readAllStandardOutput());
            run.m_strErr = QString::fromUtf8(process.readAllStandardError());
        }
        return run;
    }

    QString Key() const { return FtpServerKey(u"127.0.0.1"_s, m_server.m_nPort); }

    QTemporaryDir m_local;
    CTestCertificate m_certificate;
    CFtpServerProcess m_server{CFtpServerProcess::Pyftpdlib};
};

} // namespace

TEST_F(FtpCliTls, TrustedFingerprintAndRequire)
{
    const QString fingerprint = u"--trust-fingerprint"_s;
    const QByteArray content = RandomBytes(400000, 41);
    ASSERT_TRUE(WriteAll(m_local.filePath(u"up.bin"_s), content));
    // The fingerprint in any of its usual spellings.
    const QString plainHex = QString(m_certificate.m_strFingerprint).remove(u':').toLower();
    for (const QStringList& args :
         {QStringList{u"--tls"_s, u"require"_s, fingerprint, m_certificate.m_strFingerprint, u"put"_s, u"up.bin"_s,
                      u"/up.bin"_s},
          QStringList{fingerprint, plainHex, u"--passive"_s, u"get"_s, u"/up.bin"_s, u"down.bin"_s},
          QStringList{fingerprint, u"SHA256:"_s + plainHex, u"ls"_s, u"/"_s}}) {
        const CRun run = Cli(args);
        EXPECT_EQ(run.m_nExit, 0) << qPrintable(args.join(u' ')) << ": " << qPrintable(run.m_strErr);
    }
    EXPECT_EQ(ReadAll(m_server.m_strRoot + u"/up.bin"_s), content);
    EXPECT_EQ(ReadAll(m_local.filePath(u"down.bin"_s)), content);
    EXPECT_EQ(Cli({fingerprint, plainHex, u"ls"_s}).m_strOut, u"-\tup.bin\n"_s);
    const QStringList commands = m_server.Transcript();
    EXPECT_TRUE(commands.contains(u"MLSD"_s));
    EXPECT_TRUE(commands.contains(u"PROT P"_s));

    // Without a terminal an unknown certificate fails, showing its fingerprint,
    // and not even the user name goes out; --yes does not change that.
    const qsizetype before = m_server.Transcript().size();
    CRun run = Cli({u"--yes"_s, u"ls"_s});
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_strErr.contains(m_certificate.m_strFingerprint)) << qPrintable(run.m_strErr);
    // (The QUIT of the run before may be written down late.)
    QStringList added = m_server.Transcript().mid(before);
    added.removeAll(u"QUIT"_s);
    EXPECT_EQ(added, QStringList{u"AUTH TLS"_s});

    // Usage errors are told before anything is sent.
    EXPECT_EQ(Cli({u"--tls"_s, u"sometimes"_s, u"ls"_s}).m_nExit, 2);
    EXPECT_EQ(Cli({fingerprint, u"12:34"_s, u"ls"_s}).m_nExit, 2);

    // "Require" against a server without TLS sends neither user nor password.
    CFtpServerProcess plain(CFtpServerProcess::Pyftpdlib);
    plain.m_bRecord = true;
    ASSERT_TRUE(plain.Start()) << qPrintable(plain.m_strProblem);
    run = Cli({u"--tls"_s, u"require"_s, u"ls"_s}, &plain);
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_strErr.contains(u"does not offer TLS"_s)) << qPrintable(run.m_strErr);
    EXPECT_EQ(plain.Transcript(), QStringList{u"AUTH TLS"_s});
    EXPECT_EQ(Cli({u"--tls"_s, u"off"_s, u"ls"_s}, &plain).m_nExit, 0);
}

// On a terminal the certificate is shown and asked about; a Yes is kept in the
// profile, so the next run needs neither question nor option.
TEST_F(FtpCliTls, QuestionOnATerminalIsRemembered)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    QProcess process;
    process.setChildProcessModifier([slave] {
        ::dup2(slave, STDIN_FILENO);
        ::dup2(slave, STDERR_FILENO);
    });
    process.start(QStringLiteral(TESSARO_CLI), Arguments(m_server, {u"ls"_s}));
    ::close(slave);
    QByteArray shown;
    for (char buffer[4096]; !shown.contains("[y/N]");) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            break;
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        shown.append(buffer, n);
    }
    EXPECT_TRUE(shown.contains("cannot be verified")) << shown.constData();
    EXPECT_TRUE(shown.contains(m_certificate.m_strFingerprint.toLatin1())) << shown.constData();
    ASSERT_EQ(::write(master, "y\n", 2), 2);
    EXPECT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
    ::close(master);

    CProfile::SetFile(m_local.filePath(u"profile.ini"_s));
    EXPECT_EQ(CFtpSettings::RememberedFingerprint(Key()), m_certificate.m_strFingerprint);
    CProfile::SetFile(QString());
    const CRun run = Cli({u"ls"_s});
    EXPECT_EQ(run.m_nExit, 0) << qPrintable(run.m_strErr);
}
