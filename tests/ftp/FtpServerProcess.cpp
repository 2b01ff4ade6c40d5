#include "FtpServerProcess.h"
#include "TestProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

using namespace Qt::StringLiterals;

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// pyftpdlib's own handler with what "python3 -m pyftpdlib" cannot do: TLS, a
// transcript of every command line, a refusal of "PROT P".
const char* const kRecordingServer = R"(
import argparse
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer
p = argparse.ArgumentParser()
for name in ('--dir', '--user', '--password', '--cert', '--key', '--transcript', '--passive'):
    p.add_argument(name, default='')
p.add_argument('--refuse-prot', action='store_true')
a = p.parse_args()
authorizer = DummyAuthorizer()
authorizer.add_user(a.user, a.password, a.dir, perm='elradfmwMT')
class Handler(TLS_FTPHandler if a.cert else FTPHandler):
    def pre_process_command(self, line, cmd, arg):
        with open(a.transcript, 'a', encoding='utf-8', errors='surrogateescape') as f:
            f.write(line + '\n')
        return super().pre_process_command(line, cmd, arg)
    if a.refuse_prot:
        def ftp_PROT(self, line):
            self.respond('534 Request denied for policy reasons.')
if a.cert:
    Handler.certfile = a.cert
    Handler.keyfile = a.key
    Handler.tls_control_required = True
    Handler.tls_data_required = not a.refuse_prot
if a.passive:
    low, high = a.passive.split('-')
    Handler.passive_ports = range(int(low), int(high) + 1)
Handler.authorizer = authorizer
server = FTPServer(('127.0.0.1', 0), Handler)
print('serving on port', server.address[1], flush=True)
server.serve_forever()
)";

// How often vsftpd is started on another port when its port was taken
// between choosing it and binding it.
constexpr int kVsftpdAttempts = 5;

// A free port of the address; 0 when the machine cannot listen there.
int FreeLoopbackPort(const QHostAddress& address)
{
    QTcpServer probe;
    return probe.listen(address, 0) ? probe.serverPort() : 0;
}

// True once the server greets on port, with text in its greeting, while
// process (where given) still runs: a vsftpd that could not bind its port
// (another process took it) stops at once.
bool WaitForGreeting(const QHostAddress& address, int port, QProcess* process = nullptr, const char* text = "")
{
    for (const QDeadlineTimer deadline(10000); !deadline.hasExpired(); QThread::msleep(50)) {
        if (process && (process->state() == QProcess::NotRunning || process->waitForFinished(0)))
            return false;
        QTcpSocket socket;
        socket.connectToHost(address, static_cast<quint16>(port));
        if (socket.waitForConnected(500) && socket.waitForReadyRead(2000))
            return socket.readAll().contains(text);
    }
    return false;
}

} // namespace

CFtpServerProcess::~CFtpServerProcess()
{
    StopProcess(m_process);
}

bool CFtpServerProcess::Start()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    const QHostAddress address(m_bIPv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost);
    m_strHost = address.toString();
    if (m_bIPv6 && m_kind != Vsftpd) {
        m_strProblem = u"only vsftpd is run over IPv6"_s;
        return false;
    }
    return m_kind == Pyftpdlib ? StartPyftpdlib(address) : StartOnFreePort(address);
}

// pyftpdlib binds port 0 and prints the port it got.
bool CFtpServerProcess::StartPyftpdlib(const QHostAddress& address)
{
    m_strUser = u"tess"_s;
    m_strPassword = u"pw 1"_s;
    m_strRoot = m_dir.filePath(u"share"_s);
    QDir().mkpath(m_strRoot);
    m_process.start(u"/usr/bin/python3"_s, PyftpdlibArguments());
    QByteArray output;
    m_nPort = WaitForLine(m_process, "serving on port ", 10000, &output).mid(16).toInt();
    if (m_nPort == 0 || !WaitForGreeting(address, m_nPort)) {
        m_strProblem = u"pyftpdlib did not start: "_s + QString::fromLocal8Bit(output + m_process.readAll());
        return false;
    }
    return true;
}

// vsftpd, and the benchmark's servers run from unpacked packages
// (CUnpackedFtpServerProcess), take their port from their configuration: a
// free one is chosen, and when another process binds it first vsftpd stops
// at once, and is started again on another.
bool CFtpServerProcess::StartOnFreePort(const QHostAddress& address)
{
    for (int attempt = 0; attempt < kVsftpdAttempts; ++attempt) {
        m_nPort = FreeLoopbackPort(address);
        QString config;
        if (m_nPort == 0) {
            m_strProblem = u"this machine cannot listen on %1"_s.arg(m_strHost);
            return false;
        }
        if (m_kind == Vsftpd ? !PrepareVsftpd(config) : !StartUnpackedProcess())
            return false;
        if (m_kind == Vsftpd)
            m_process.start(u"/usr/sbin/vsftpd"_s, {config});
        if (m_process.waitForStarted(5000)
            && WaitForGreeting(address, m_nPort, &m_process, m_kind == Vsftpd ? "vsFTPd" : "")
            && !m_process.waitForFinished(200))
            return true;
        const QString output = QString::fromLocal8Bit(m_process.readAll());
        StopProcess(m_process);
        m_strProblem = u"the server did not start: "_s + output;
        if (!output.contains(u"could not bind"_s))
            return false;
    }
    return false;
}

QStringList CFtpServerProcess::PyftpdlibArguments()
{
    m_strTranscript = m_ownFiles.filePath(u"transcript.txt"_s);
    QStringList args{u"-c"_s,           QString::fromLatin1(kRecordingServer),
                     u"--dir"_s,        m_strRoot,
                     u"--user"_s,       m_strUser,
                     u"--password"_s,   m_strPassword,
                     u"--transcript"_s, m_strTranscript};
    if (!m_strCertificate.isEmpty())
        args << u"--cert"_s << m_strCertificate << u"--key"_s << m_strKey;
    if (m_bRefuseProt)
        args << u"--refuse-prot"_s;
    if (m_nPassiveLow > 0)
        args << u"--passive"_s << u"%1-%2"_s.arg(m_nPassiveLow).arg(m_nPassiveHigh);
    return args;
}

// vsftpd's own cipher list is for RSA keys only: the test certificates have
// an EC key, which TLS 1.2 needs ECDSA ciphers for.
QByteArray CFtpServerProcess::TlsConfiguration() const
{
    if (m_strCertificate.isEmpty())
        return QByteArray();
    return u"ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
           "require_ssl_reuse=YES\nrsa_cert_file=%1\nrsa_private_key_file=%2\nssl_ciphers=HIGH\n"_s
               .arg(m_strCertificate, m_strKey)
               .toUtf8();
}

QByteArray CFtpServerProcess::PassiveConfiguration() const
{
    if (m_nPassiveLow == 0)
        return QByteArray();
    return u"pasv_min_port=%1\npasv_max_port=%2\n"_s.arg(m_nPassiveLow).arg(m_nPassiveHigh).toUtf8();
}

QStringList CFtpServerProcess::Transcript() const
{
    QFile file(m_strTranscript);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// vsftpd runs as root, with anonymous users mapped to the system's "ftp"
// user; the chroot must not be writable by that user, so the files go into
// "pub" below it.
bool CFtpServerProcess::PrepareVsftpd(QString& config)
{
    const passwd* ftpUser = ::getpwnam("ftp");
    if (::geteuid() != 0 || !ftpUser || !QFile::exists(u"/usr/sbin/vsftpd"_s)) {
        m_strProblem = u"vsftpd needs root, the user \"ftp\" and /usr/sbin/vsftpd"_s;
        return false;
    }
    m_strUser = u"anonymous"_s;
    m_strPassword = u"tess@"_s;
    m_strRemoteBase = u"/pub"_s;
    const QString chroot = m_dir.filePath(u"vsroot"_s);
    const QString empty = m_dir.filePath(u"empty"_s);
    m_strRoot = chroot + m_strRemoteBase;
    QDir().mkpath(m_strRoot);
    QDir().mkpath(empty);
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(chroot).constData(), 0755);
    if (::chown(QFile::encodeName(m_strRoot).constData(), ftpUser->pw_uid, ftpUser->pw_gid) != 0) {
        m_strProblem = u"cannot hand the shared folder to the ftp user"_s;
        return false;
    }
    config = m_dir.filePath(u"vsftpd.conf"_s);
    QFile file(config);
    return file.open(QIODevice::WriteOnly)
        && file.write((m_bIPv6 ? u"listen=NO\nlisten_ipv6=YES\nlisten_address6=::1\n"_s
                               : u"listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                                 "pasv_address=127.0.0.1\n"_s)
                          .toUtf8()
                      + u"listen_port=%1\n"
                        "background=NO\nseccomp_sandbox=NO\n"
                        "anonymous_enable=YES\nno_anon_password=YES\nanon_root=%2\nftp_username=ftp\n"
                        "local_enable=NO\nwrite_enable=YES\nanon_upload_enable=YES\n"
                        "anon_mkdir_write_enable=YES\nanon_other_write_enable=YES\nanon_umask=022\n"
                        "force_dot_files=YES\n"
                        "pasv_enable=YES\nport_enable=YES\n"
                        "connect_from_port_20=NO\nsecure_chroot_dir=%3\n"
                        "dirmessage_enable=NO\nxferlog_enable=NO\n"_s.arg(m_nPort)
                            .arg(chroot, empty)
                            .toUtf8()
                      + PassiveConfiguration() + TlsConfiguration())
        > 0;
}

bool CFtpServerProcess::StartUnpackedProcess()
{
    m_strProblem = u"only the benchmark runs this server"_s;
    return false;
}

CFtpSession::CLogon CFtpServerProcess::SessionLogon(const QString& host, bool tls, const QString& fingerprint) const
{
    CFtpSession::CLogon logon;
    logon.m_strHost = host;
    logon.m_nPort = m_nPort;
    logon.m_strUser = m_strUser;
    logon.m_strPassword = m_strPassword;
    logon.m_eEncryption = tls ? FTP_TLS_REQUIRE : FTP_TLS_OFF;
    logon.m_strTrustedFingerprint = fingerprint;
    logon.m_bMayAskTrust = false;
    return logon;
}
