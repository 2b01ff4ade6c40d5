// The SFTP client against a real OpenSSH server: host keys,
// logon, byte-exact transfers, listings and remote operations, and a server
// that stalls or goes away (through a relay).
#include "FaultProxyProcess.h"
#include "FtpTestSupport.h"
#include "SftpServerProcess.h"

#include "ftp/FtpSession.h"
#include "ftp/SftpClient.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include "support/CiSkip.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QProcess>
#include <QThread>

#include <malloc.h>
#include <unistd.h>

class Sftp : public testing::Test
{
protected:
    void SetUp() override
    {
        m_server.m_strSubsystem = m_strSubsystem;
        m_server.m_strPassword = kPassword;
        if (!m_server.Start())
            TESSARO_GTEST_SKIP(m_server.m_strProblem.toStdString());
        m_home = std::make_unique<CEnvironment>("HOME", m_server.m_strHome.toLocal8Bit());
        m_knownHosts = m_server.m_strHome + u"/.ssh/known_hosts"_s;
    }
    bool LogOn(CSftpClient& client, const QString& password = QString(), const QString& host = u"127.0.0.1"_s)
    {
        client.m_nTimeoutMs = 3000;
        return client.LogOn(host, m_server.m_nPort, m_server.m_strUser, password, {}, {}, {}, {}, 0, 0);
    }
    void Trust()
    {
        m_client.m_strTrustedFingerprint = CSftpServerProcess::Fingerprint(m_server.m_strHostKey + u".pub"_s);
    }

    static inline const QString kPassword = QStringLiteral("level staff 42");
    QString m_strSubsystem; // set by a test with a scripted SFTP server
    CSftpServerProcess m_server;
    CEnvironment m_agent{"SSH_AUTH_SOCK", QByteArray()};
    std::unique_ptr<CEnvironment> m_home;
    QString m_knownHosts;
    CFtpTestServices m_services;
    CSftpClient m_client;
};

// An unknown key is asked about, also where another port of the host is
// known (No: nothing of the logon reaches the server; Yes: one line in known_hosts, found again once the file is
// hashed); a changed key is refused without a question; a wrong password.
TEST_F(Sftp, HostKeysAndLogon)
{
    const QString fingerprint = CSftpServerProcess::Fingerprint(m_server.m_strHostKey + u".pub"_s);
    const QString other = m_server.m_dir.filePath(u"other_key"_s);
    ASSERT_TRUE(CSftpServerProcess::MakeKey(other));
    const QByteArray otherKey = ReadFile(other + u".pub"_s).split(' ').mid(0, 2).join(' ');
    const auto hash = [&] { QProcess::execute(u"ssh-keygen"_s, {u"-q"_s, u"-H"_s, u"-f"_s, m_knownHosts}); };
    const auto port22 = [&] { WriteFile(m_knownHosts, "127.0.0.1 " + otherKey + '\n'); };
    const auto change = [&] {
        WriteFile(m_knownHosts, u"[127.0.0.1]:%1 "_s.arg(m_server.m_nPort).toLatin1() + otherKey + '\n');
    };
    const struct
    {
        const char* m_what;
        std::function<void()> m_prepare;
        int m_nAnswer; // queued; 0 for none
        bool m_bOk;
        int m_nKnownLines;
        const char* m_reply;
    } steps[] = {
        {"port 22's key only: unknown, refused", port22, IDNO, false, 1, "was not trusted"},
        {"unknown, accepted", [] {}, IDYES, true, 2, ""},
        {"known, hashed", hash, 0, true, 2, ""},
        {"changed", change, 0, false, 1, "WARNING: the host key"},
    };
    for (const auto& step : steps) {
        step.m_prepare();
        if (step.m_nAnswer)
            m_services.m_prompt.PushButton(step.m_nAnswer);
        const qsizetype shown = m_services.m_prompt.m_shown.size();
        const qsizetype logons = m_server.Log().count(u"for "_s + m_server.m_strUser);
        CSftpClient client;
        EXPECT_EQ(LogOn(client), step.m_bOk) << step.m_what << ": " << qPrintable(client.m_strReply);
        EXPECT_TRUE(client.m_strReply.contains(QLatin1String(step.m_reply))) << qPrintable(client.m_strReply);
        EXPECT_EQ(m_services.m_prompt.m_shown.size() - shown, step.m_nAnswer ? 1 : 0) << step.m_what;
        if (step.m_nAnswer) {
            EXPECT_TRUE(
                m_services.m_prompt.m_shown.constLast().contains(u"ssh-ed25519\nFingerprint: "_s + fingerprint));
        }
        EXPECT_EQ(ReadFile(m_knownHosts).count('\n'), step.m_nKnownLines) << step.m_what;
        client.LogOff();
        if (!step.m_bOk) {
            EXPECT_EQ(m_server.Log().count(u"for "_s + m_server.m_strUser), logons) << step.m_what;
        }
    }
    EXPECT_TRUE(m_services.m_prompt.Idle());
    // An agent that takes the connection and never answers is left out in
    // time: the key file logs on.
    QFile::remove(m_knownHosts);
    QLocalServer silentAgent;
    ASSERT_TRUE(silentAgent.listen(m_server.m_dir.filePath(u"silent"_s)));
    {
        const CEnvironment agentSocket("SSH_AUTH_SOCK", silentAgent.fullServerName().toLocal8Bit());
        QElapsedTimer waited;
        waited.start();
        Trust();
        EXPECT_TRUE(LogOn(m_client)) << qPrintable(m_client.m_strReply);
        EXPECT_LT(waited.elapsed(), 20000);
        m_client.LogOff();
    }
    // Without the user's key file, a key held by ssh-agent logs on; without
    // either, a wrong password is refused and, where sshd knows one (root),
    // the right one logs on.
    const QString key = m_server.m_strHome + u"/.ssh/id_ed25519"_s;
    const QString socket = m_server.m_dir.filePath(u"agent"_s);
    QProcess agent;
    agent.start(u"ssh-agent"_s, {u"-D"_s, u"-a"_s, socket});
    for (int waited = 0; waited < 50 && !QFile::exists(socket); ++waited)
        QThread::msleep(100);
    {
        const CEnvironment agentSocket("SSH_AUTH_SOCK", socket.toLocal8Bit());
        ASSERT_EQ(QProcess::execute(u"ssh-add"_s, {u"-q"_s, key}), 0);
        QFile::remove(key);
        Trust();
        EXPECT_TRUE(LogOn(m_client)) << qPrintable(m_client.m_strReply);
        EXPECT_TRUE(m_server.Log().contains(u"Accepted publickey for "_s + m_server.m_strUser));
    }
    agent.kill();
    agent.waitForFinished();
    EXPECT_FALSE(LogOn(m_client, u"wrong"_s));
    EXPECT_EQ(m_client.m_strReply, LoadString(IDS_SFTP_AUTH_FAILED).arg(m_server.m_strUser));
    if (geteuid() == 0) {
        EXPECT_TRUE(LogOn(m_client, kPassword)) << qPrintable(m_client.m_strReply);
        EXPECT_TRUE(m_server.Log().contains(u"Accepted password for "_s + m_server.m_strUser));
    }
}

// Byte-exact round trips (empty, a few MiB, CR LF and NUL), the listing's
// fields, the remote operations with what each leaves on the server's disk,
// names that would leave the folder, folder copies both ways.
TEST_F(Sftp, TransfersListingsAndOperations)
{
    Trust();
    ASSERT_TRUE(LogOn(m_client)) << qPrintable(m_client.m_strReply);
    QTemporaryDir local;
    const QString root = m_server.m_strRoot + u"/"_s;
    const std::pair<const char*, QByteArray> files[] = {
        {"empty", QByteArray()}, {"big", RandomBytes(3 * 1024 * 1024 + 17, 7)}, {"text", QByteArray("a\r\nb\0c", 6)}};
    for (const auto& [name, bytes] : files) {
        const QString source = local.filePath(u"src_"_s + QLatin1String(name));
        WriteFile(source, bytes);
        EXPECT_TRUE(m_client.TransferFile(u"/"_s + QLatin1String(name), source, false, false))
            << qPrintable(m_client.m_strReply);
        EXPECT_TRUE(
            m_client.TransferFile(u"/"_s + QLatin1String(name), local.filePath(QLatin1String(name)), false, true));
        EXPECT_EQ(ReadFile(root + QLatin1String(name)), bytes) << name;
        EXPECT_EQ(ReadFile(local.filePath(QLatin1String(name))), bytes) << name;
    }
    QDir(root).mkdir(u"Jobs"_s);
    QFile::link(u"big"_s, root + u"ln"_s);
    QList<CFtpListEntry> entries;
    ASSERT_TRUE(m_client.ListEntries(QString(), entries));
    QStringList listed;
    for (const CFtpListEntry& entry : entries) {
        listed << QStringLiteral("%1 %2 %3 %4 %5")
                      .arg(entry.m_strName)
                      .arg(entry.m_bFolder)
                      .arg(entry.m_bLink)
                      .arg(entry.m_bFolder ? -1 : entry.m_nSize)
                      .arg(entry.m_strLinkTarget);
        EXPECT_LT(qAbs(entry.m_modified.secsTo(QDateTime::currentDateTimeUtc())), 600) << qPrintable(entry.m_strName);
    }
    EXPECT_EQ(listed,
              QStringList(
                  {u"Jobs 1 0 -1 "_s, u"big 0 0 3145745 "_s, u"empty 0 0 0 "_s, u"ln 0 1 3 big"_s, u"text 0 0 6 "_s}));

    const struct
    {
        const char* m_what;
        std::function<bool()> m_operation;
        bool m_bOk;
        std::function<bool()> m_onDisk;
    } operations[] = {
        {"mkdir", [&] { return m_client.MakeRemoteFolder(u"Jobs"_s, u"Sub"_s); }, true,
         [&] { return QFileInfo(root + u"Jobs/Sub"_s).isDir(); }},
        {"put onto a folder",
         [&] { return m_client.TransferFile(u"/Jobs/Sub"_s, local.filePath(u"text"_s), false, false); }, false,
         [&] { return QFileInfo(root + u"Jobs/Sub"_s).isDir() && QFile::exists(root + u"Jobs/.Sub.tessaro-part"_s); }},
        {"mkdir outside", [&] { return m_client.MakeRemoteFolder(u"Jobs"_s, u"../../outside"_s); }, false,
         [&] { return !QFileInfo::exists(m_server.m_dir.filePath(u"outside"_s)); }},
        {"mkdir again", [&] { return m_client.MakeRemoteFolder(u"Jobs"_s, u"Sub"_s); }, false, [] { return true; }},
        {"rename", [&] { return m_client.RenameRemote(u"text"_s, u"Jobs/Sub/text2"_s); }, true,
         [&] { return QFile::exists(root + u"Jobs/Sub/text2"_s) && !QFile::exists(root + u"text"_s); }},
        {"rename over", [&] { return m_client.RenameRemote(u"empty"_s, u"big"_s); }, false,
         [&] { return QFileInfo(root + u"big"_s).size() > 0 && QFile::exists(root + u"empty"_s); }},
        {"rm", [&] { return m_client.DeleteRemoteFile(u"Jobs/Sub/text2"_s); }, true,
         [&] { return !QFile::exists(root + u"Jobs/Sub/text2"_s); }},
        {"rm missing",
         [&] { return m_client.DeleteRemoteFile(u"nothing"_s) || !m_client.m_strReply.contains(u"no such file"_s); },
         false, [] { return true; }},
        {"rm outside", [&] { return m_client.DeleteRemoteFile(u"../home/.ssh/id_ed25519.pub"_s); }, false,
         [&] { return QFile::exists(m_server.m_strHome + u"/.ssh/id_ed25519.pub"_s); }},
        {"rmdir", [&] { return m_client.RemoveRemoteFolder(u"Jobs/Sub"_s); }, true,
         [&] { return !QFile::exists(root + u"Jobs/Sub"_s); }},
        {"put over", [&] { return m_client.TransferFile(u"/big"_s, local.filePath(u"text"_s), false, false); }, true,
         [&] {
             return ReadFile(root + u"big"_s) == files[2].second
                 && QDir(root).entryList(QDir::Hidden | QDir::Files).size() == 3;
         }},
        {"upload-folder", [&] { return m_client.UploadFolder(m_server.m_strHome, u"Jobs"_s, u"Tree"_s); }, true,
         [&] {
             return ReadFile(root + u"Jobs/Tree/.ssh/id_ed25519.pub"_s)
                 == ReadFile(m_server.m_strHome + u"/.ssh/id_ed25519.pub"_s);
         }},
        {"download-folder", [&] { return m_client.DownloadFolder(u"Jobs"_s, local.path(), u"Back"_s); }, true,
         [&] {
             return ReadFile(local.filePath(u"Back/Tree/.ssh/id_ed25519"_s))
                 == ReadFile(m_server.m_strHome + u"/.ssh/id_ed25519"_s);
         }},
        {"remove tree", [&] { return m_client.RemoveRemoteTree(u"Jobs"_s); }, true,
         [&] { return !QFile::exists(root + u"Jobs"_s); }},
    };
    for (const auto& operation : operations) {
        EXPECT_EQ(operation.m_operation(), operation.m_bOk)
            << operation.m_what << ": " << qPrintable(m_client.m_strReply);
        EXPECT_TRUE(operation.m_onDisk()) << operation.m_what;
        EXPECT_TRUE(m_client.IsOpen()) << operation.m_what;
    }
}

// A link that stops carrying anything ends the operation within the
// time-out, or at once on Cancel; a server that goes away mid-transfer leaves neither a partial
// download nor a replaced file on the server, and where the client can log on again the transfer
// goes on and arrives whole. All through a relay.
TEST_F(Sftp, StalledAndLostServer)
{
    Trust();
    WriteFile(m_server.m_strRoot + u"/big"_s, RandomBytes(4 * 1024 * 1024, 7));
    WriteFile(m_server.m_strRoot + u"/kept"_s, "server's");
    QTemporaryDir local;
    WriteFile(local.filePath(u"big"_s), "old");
    WriteFile(local.filePath(u"up"_s), RandomBytes(4 * 1024 * 1024, 7));
    CFaultProxyProcess relay;
    if (!relay.Start() || !relay.ListenControl(m_server.m_nPort))
        TESSARO_GTEST_SKIP(qPrintable(relay.m_strProblem));
    const struct
    {
        const char* m_what;
        bool m_bStall;
        std::function<bool()> m_operation;
        QString m_strReply;
    } failures[] = {
        {"stalled download", true,
         [&] { return m_client.TransferFile(u"/big"_s, local.filePath(u"big"_s), false, true); },
         LoadString(IDS_SFTP_TIMEOUT).arg(3)},
        {"cancelled while stalled", true,
         [&] {
             m_services.m_progress.m_nCancelAtPoll = m_services.m_progress.m_nPolls + 3;
             return m_client.TransferFile(u"/big"_s, local.filePath(u"big"_s), false, true);
         },
         LoadString(IDS_FTP_CANCELLED)},
        {"lost download", false,
         [&] { return m_client.TransferFile(u"/big"_s, local.filePath(u"big"_s), false, true); }, QString()},
        {"lost upload", false, [&] { return m_client.TransferFile(u"/kept"_s, local.filePath(u"up"_s), false, false); },
         QString()},
    };
    for (const auto& failure : failures) {
        m_services.m_progress.m_bCancelled = false;
        m_services.m_progress.m_nCancelAtPoll = 0;
        ASSERT_TRUE(relay.Set("stall", 0) && relay.Set("cut", 0));
        ASSERT_TRUE(LogOn(m_client, QString(), relay.m_strHost)) << qPrintable(m_client.m_strReply);
        ASSERT_TRUE(failure.m_bStall ? relay.Set("stall", 1) : relay.Set("cut", 1024 * 1024));
        QElapsedTimer took;
        took.start();
        EXPECT_FALSE(failure.m_operation()) << failure.m_what;
        EXPECT_LT(took.elapsed(), m_client.m_bCancelled ? 1000 : m_client.m_nTimeoutMs + 2000) << failure.m_what;
        if (!failure.m_strReply.isEmpty()) {
            EXPECT_EQ(m_client.m_strReply, failure.m_strReply) << failure.m_what;
        }
        EXPECT_FALSE(m_client.IsOpen()) << failure.m_what;
        EXPECT_EQ(m_client.IsConnectionLost(), !failure.m_bStall) << failure.m_what;
        EXPECT_EQ(ReadFile(local.filePath(u"big"_s)), "old") << failure.m_what;
        EXPECT_EQ(ReadFile(m_server.m_strRoot + u"/kept"_s), "server's") << failure.m_what;
        EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << failure.m_what;
    }
    // Where a new logon is at hand (the session's), each cut is followed by
    // one, and the transfer goes on from where it stopped: both arrive whole.
    // The reads ahead stay well below a cut's bytes: what the relay handed on
    // but the client had not read yet dies with the link, and a busy machine
    // would otherwise see attempts that move nothing.
    m_client.m_nSftpReadBlockSize = 64 * 1024;
    m_client.m_fnLogOnAgain = [&] {
        return relay.Set("cut", 1536 * 1024) && LogOn(m_client, QString(), relay.m_strHost);
    };
    ASSERT_TRUE(relay.Set("stall", 0) && relay.Set("cut", 0));
    ASSERT_TRUE(m_client.m_fnLogOnAgain()) << qPrintable(m_client.m_strReply);
    // A cut once the last byte is in, under the size check that follows the
    // breaks, is one break more.
    m_services.m_progress.m_fnOnBytes = [&](qint64 bytes) {
        if (bytes == 4 * 1024 * 1024)
            relay.Set("cut", 1);
    };
    EXPECT_TRUE(m_client.TransferFile(u"/big"_s, local.filePath(u"big"_s), false, true))
        << qPrintable(m_client.m_strReply);
    m_services.m_progress.m_fnOnBytes = nullptr;
    EXPECT_EQ(ReadFile(local.filePath(u"big"_s)), ReadFile(m_server.m_strRoot + u"/big"_s));
    // libssh2 frees no handle its broken session held open, nor the writes
    // it held: those go with the session, not into the heap for good.
    const size_t heldBefore = mallinfo2().uordblks;
    EXPECT_TRUE(m_client.TransferFile(u"/kept"_s, local.filePath(u"up"_s), false, false))
        << qPrintable(m_client.m_strReply);
    EXPECT_EQ(ReadFile(m_server.m_strRoot + u"/kept"_s), ReadFile(local.filePath(u"up"_s)));
    m_client.LogOff();
    EXPECT_LT(qint64(mallinfo2().uordblks) - qint64(heldBefore), 1024 * 1024);
    EXPECT_GE(m_services.m_clock.m_pauses.size(), 4); // two cuts at least each way
}

// A scripted SFTP server behind sshd: a listing without end stops at the
// bound, in time, and the session goes on.
class SftpScripted : public Sftp
{
protected:
    SftpScripted()
    {
        m_strSubsystem =
            QStringLiteral("/usr/bin/python3 %1/sftp-scripted-server.py").arg(QStringLiteral(TESSARO_TEST_SOURCE_DIR));
    }
};

TEST_F(SftpScripted, EndlessListings)
{
    Trust();
    m_client.m_nMaxListingEntries = 5000;
    ASSERT_TRUE(LogOn(m_client)) << qPrintable(m_client.m_strReply);
    QElapsedTimer took;
    took.start();
    QList<CFtpListEntry> entries;
    EXPECT_FALSE(m_client.ListEntries(u"any"_s, entries));
    EXPECT_EQ(m_client.m_strReply, LoadString(IDS_SFTP_LISTING_TOO_LONG).arg(5000));
    EXPECT_TRUE(entries.isEmpty());
    EXPECT_LT(took.elapsed(), m_client.m_nTimeoutMs + 2000);
    EXPECT_TRUE(m_client.IsOpen());
}
