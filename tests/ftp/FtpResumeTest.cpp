// End to end: large transfers through a relay that cuts the connections
// every 50 MiB arrive byte for byte, on pyftpdlib and vsftpd, plain and over
// TLS, resumed by the session's new logons.
#include "FaultProxyProcess.h"
#include "FtpServerProcess.h"
#include "FtpTestSupport.h"

#include "ftp/FtpSession.h"

#include <gtest/gtest.h>

#include "support/CiSkip.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

#include <cstring>
#include <numeric>

namespace {

constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kFileSize = 300 * kMiB;
constexpr qint64 kCutEvery = 50 * kMiB;

// A file of random blocks, each 4 KiB stamped with its offset, so that a
// transfer resumed at a wrong offset cannot match by chance.
bool WriteStampedFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block = RandomBytes(kMiB, 41);
    for (qint64 at = 0; at < size; at += block.size()) {
        for (qint64 stamp = 0; stamp < block.size(); stamp += 4096) {
            const qint64 offset = at + stamp;
            std::memcpy(block.data() + stamp, &offset, sizeof offset);
        }
        if (file.write(block.constData(), qMin<qint64>(block.size(), size - at)) < 0)
            return false;
    }
    return true;
}

QByteArray FileDigest(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result().toHex() : QByteArray();
}

struct CResumeCase
{
    CFtpServerProcess::EKind m_kind;
    bool m_bTls;
    bool m_bCutControl; // the control connection is cut with the data

    std::string Name() const
    {
        return std::string(m_kind == CFtpServerProcess::Pyftpdlib ? "pyftpdlib" : "vsftpd") + (m_bTls ? "_tls" : "")
            + (m_bCutControl ? "_control_cut" : "_data_cut");
    }
};

// Shown by CTest after each test's name instead of the case's raw bytes.
void PrintTo(const CResumeCase& resumeCase, std::ostream* os)
{
    *os << resumeCase.Name();
}

class FtpResume : public testing::TestWithParam<CResumeCase>
{
};

// Up and back down again: each way the relay cuts the connection five or
// six times, and each cut costs one pause of the virtual clock, not a restart.
TEST_P(FtpResume, LargeFilesArriveWholeThroughCuts)
{
    const CResumeCase& p = GetParam();
    CFaultProxyProcess proxy;
    proxy.m_nCutEvery = kCutEvery;
    proxy.m_bCutControl = p.m_bCutControl;
    CFtpServerProcess server(p.m_kind);
    CTestCertificate certificate;
    if (!proxy.Start())
        TESSARO_GTEST_SKIP(qPrintable(proxy.m_strProblem));
    server.m_nPassiveLow = proxy.m_nDataLow;
    server.m_nPassiveHigh = proxy.m_nDataHigh;
    if (!(p.m_bTls ? server.StartWithTls(certificate) : server.Start()))
        TESSARO_GTEST_SKIP(qPrintable(server.m_strProblem));
    ASSERT_TRUE(proxy.ListenControl(server.m_nPort)) << qPrintable(proxy.m_strProblem);

    QTemporaryDir dir;
    const QString source = dir.filePath(u"source.bin"_s);
    ASSERT_TRUE(WriteStampedFile(source, kFileSize));
    const QByteArray digest = FileDigest(source);

    CFtpTestServices services;
    CFtpSession session;
    session.SetLogon(server.SessionLogon(proxy.m_strHost, p.m_bTls, certificate.m_strFingerprint));
    session.Client().m_nTimeoutMs = 10000;
    session.Client().m_bPassive = true;

    const QString remote = server.m_strRemoteBase + u"/big.bin"_s;
    const auto transfer = [&](const QString& local, bool download) {
        services.m_clock.m_pauses.clear();
        const bool done =
            session.Run([&](CFtpClient& client) { return client.TransferFile(remote, local, true, download); },
                        CFtpSession::NEVER_REPEAT);
        EXPECT_TRUE(done) << (download ? "get: " : "put: ") << qPrintable(session.Client().m_strReply);
        // A pause of 1 s per cut; a client that sees the data cut before the
        // control connection's may spend one fruitless attempt on it (4 s).
        const qint64 paused = std::accumulate(services.m_clock.m_pauses.begin(), services.m_clock.m_pauses.end(), 0);
        EXPECT_GE(paused, 5000) << (download ? "get" : "put");
        EXPECT_LE(paused, 10000) << (download ? "get" : "put");
        EXPECT_EQ(services.m_progress.m_nBytes, kFileSize) << (download ? "get" : "put");
    };
    transfer(source, false);
    EXPECT_EQ(FileDigest(server.m_strRoot + u"/big.bin"_s), digest);
    transfer(dir.filePath(u"back.bin"_s), true);
    EXPECT_EQ(FileDigest(dir.filePath(u"back.bin"_s)), digest);
    // Nothing temporary left on either side.
    EXPECT_EQ(FilesBelow(server.m_strRoot).keys(), QStringList{u"big.bin"_s});
    EXPECT_EQ(FilesBelow(dir.path()).keys(), (QStringList{u"back.bin"_s, u"source.bin"_s}));
    if (p.m_kind == CFtpServerProcess::Pyftpdlib) {
        const QStringList rests = server.Transcript().filter(QRegularExpression(u"^REST [1-9]"_s));
        EXPECT_GE(rests.size(), 10) << qPrintable(rests.join(u' '));
    }
}

INSTANTIATE_TEST_SUITE_P(Relay, FtpResume,
                         testing::Values(CResumeCase{CFtpServerProcess::Pyftpdlib, false, false},
                                         CResumeCase{CFtpServerProcess::Pyftpdlib, true, true},
                                         CResumeCase{CFtpServerProcess::Vsftpd, false, true},
                                         CResumeCase{CFtpServerProcess::Vsftpd, true, false}),
                         [](const testing::TestParamInfo<CResumeCase>& info) { return info.param.Name(); });

} // namespace
