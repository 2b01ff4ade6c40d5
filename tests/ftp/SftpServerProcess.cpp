#include "SftpServerProcess.h"
#include "TestProcess.h"

#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <unistd.h>

namespace {

const char* const kSshd = "/usr/sbin/sshd";
const char* const kRunDir = "/run/sshd";

} // namespace

CSftpServerProcess::~CSftpServerProcess()
{
    StopProcess(m_process);
}

bool CSftpServerProcess::MakeKey(const QString& path)
{
    return QProcess::execute(QStringLiteral("ssh-keygen"), {"-q", "-t", "ed25519", "-N", "", "-C", "test", "-f", path})
        == 0;
}

QString CSftpServerProcess::Fingerprint(const QString& publicKeyFile)
{
    // "256 SHA256:... comment (ED25519)"
    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"), {"-l", "-f", publicKeyFile});
    return keygen.waitForFinished(10000) ? QString::fromLatin1(keygen.readAllStandardOutput().split(' ').value(1))
                                         : QString();
}

bool CSftpServerProcess::Start()
{
    if (!QFileInfo(QString::fromLatin1(kSshd)).isExecutable()) {
        m_strProblem = QStringLiteral("no %1 (openssh-server)").arg(QString::fromLatin1(kSshd));
        return false;
    }
    const QString dir = m_dir.path();
    m_strHome = dir + QStringLiteral("/home");
    m_strRoot = dir + QStringLiteral("/root");
    m_strHostKey = dir + QStringLiteral("/host_key");
    m_strUser = qEnvironmentVariable("USER", QStringLiteral("root"));
    const QString userKey = m_strHome + QStringLiteral("/.ssh/id_ed25519");
    if (!QDir().mkpath(m_strHome + QStringLiteral("/.ssh")) || !QDir().mkpath(m_strRoot) || !MakeKey(m_strHostKey)
        || !MakeKey(userKey) || !QFile::copy(userKey + QStringLiteral(".pub"), dir + QStringLiteral("/authorized"))) {
        m_strProblem = QStringLiteral("cannot make the keys (ssh-keygen, openssh-client)");
        return false;
    }
    // Privilege separation needs its empty folder when sshd runs as root.
    // It is what the package's own service makes at each start, on the
    // runtime file system; it stays, since sshd of tests running at the
    // same time needs it at every connection.
    if (geteuid() == 0 && !QFileInfo::exists(QString::fromLatin1(kRunDir)))
        QDir().mkdir(QString::fromLatin1(kRunDir));
    const QString config =
        QStringLiteral("HostKey %1\nPidFile none\nAuthorizedKeysFile %2/authorized\n"
                       "StrictModes no\nUsePAM no\nPermitRootLogin yes\nPasswordAuthentication yes\n"
                       "KbdInteractiveAuthentication no\nLogLevel VERBOSE\n"
                       "Subsystem sftp %3\n")
            .arg(m_strHostKey, dir,
                 m_strSubsystem.isEmpty() ? QStringLiteral("internal-sftp -d ") + m_strRoot : m_strSubsystem);
    if (!WriteFile(dir + QStringLiteral("/sshd_config"), config.toLocal8Bit()))
        return false;
    // With a password, sshd starts through unshare and a shell that binds
    // the test's shadow file over the machine's, in sshd's namespace only.
    QStringList wrapper;
    if (!m_strPassword.isEmpty() && geteuid() == 0) {
        const QString shadow = dir + QStringLiteral("/shadow");
        if (!PrepareShadow(shadow))
            return false;
        wrapper = {"--mount", "--propagation",
                   "private", "sh",
                   "-c",      "mount --bind \"$0\" /etc/shadow && exec \"$@\"",
                   shadow,    QString::fromLatin1(kSshd)};
    }
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // sshd says which port it could not bind: another is tried.
    for (int attempt = 0; attempt < 20; ++attempt) {
        m_nPort = 20000 + static_cast<int>(QRandomGenerator::global()->bounded(40000));
        const QStringList arguments = {"-D", "-e",
                                       "-f", dir + QStringLiteral("/sshd_config"),
                                       "-o", QStringLiteral("ListenAddress=127.0.0.1:%1").arg(m_nPort)};
        if (wrapper.isEmpty())
            m_process.start(QString::fromLatin1(kSshd), arguments);
        else
            m_process.start(QStringLiteral("unshare"), wrapper + arguments);
        QByteArray output;
        const bool listening = !WaitForLine(m_process, "Server listening", 10000, &output).isEmpty();
        m_strLog = QString::fromLocal8Bit(output + m_process.readAll());
        if (listening)
            return true;
        StopProcess(m_process);
        if (!m_strLog.contains(QLatin1String("Address already in use")))
            break;
    }
    m_strProblem = QStringLiteral("sshd did not start: ") + m_strLog;
    return false;
}

bool CSftpServerProcess::PrepareShadow(const QString& path)
{
    QProcess hasher;
    hasher.start(QStringLiteral("openssl"), {"passwd", "-6", "-stdin"});
    hasher.write(m_strPassword.toLocal8Bit() + '\n');
    hasher.closeWriteChannel();
    const QByteArray hash = hasher.waitForFinished(10000) ? hasher.readAllStandardOutput().trimmed() : QByteArray();
    QList<QByteArray> lines = ReadFile(QStringLiteral("/etc/shadow")).split('\n');
    const QByteArray prefix = m_strUser.toLocal8Bit() + ':';
    for (QByteArray& line : lines) {
        if (!hash.isEmpty() && line.startsWith(prefix)) {
            QList<QByteArray> fields = line.split(':');
            fields[1] = hash;
            line = fields.join(':');
            return WriteFile(path, lines.join('\n'));
        }
    }
    m_strProblem = QStringLiteral("cannot give %1 a password (openssl, /etc/shadow)").arg(m_strUser);
    return false;
}

QString CSftpServerProcess::Log()
{
    // What sshd has written by now: taken until it pauses for 100 ms.
    do
        m_strLog += QString::fromLocal8Bit(m_process.readAll());
    while (m_process.waitForReadyRead(100));
    return m_strLog;
}
