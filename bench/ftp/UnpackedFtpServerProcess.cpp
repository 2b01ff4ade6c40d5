#include "UnpackedFtpServerProcess.h"

#include <QDir>
#include <QFile>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

bool CUnpackedFtpServerProcess::StartUnpackedProcess()
{
    return m_kind == Proftpd ? StartProftpd() : StartPureFtpd();
}

// The unpacked servers run as root and serve the files as the user "ftp".
bool CUnpackedFtpServerProcess::PrepareSharedFolder()
{
    const passwd* ftpUser = ::getpwnam("ftp");
    if (::geteuid() != 0 || !ftpUser) {
        m_strProblem = u"the unpacked servers need root and the user \"ftp\""_s;
        return false;
    }
    m_strRoot = m_dir.filePath(u"share"_s);
    QDir().mkpath(m_strRoot);
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    if (::chown(QFile::encodeName(m_strRoot).constData(), ftpUser->pw_uid, ftpUser->pw_gid) != 0) {
        m_strProblem = u"cannot hand the shared folder to the ftp user"_s;
        return false;
    }
    return true;
}

bool CUnpackedFtpServerProcess::StartProftpd()
{
    const QString program = m_strUnpacked + u"/usr/sbin/proftpd"_s;
    if (!QFile::exists(program) || !PrepareSharedFolder()) {
        m_strProblem += u" (proftpd needs %1)"_s.arg(program);
        return false;
    }
    const group* ftpGroup = ::getgrgid(::getpwnam("ftp")->pw_gid);
    if (!ftpGroup)
        return false;
    m_strUser = u"anonymous"_s;
    m_strPassword = u"tess@"_s;
    const QString tls = m_strCertificate.isEmpty()
        ? QString()
        : u"LoadModule mod_tls.c\nTLSEngine on\nTLSRequired on\nTLSOptions NoSessionReuseRequired\n"
          "TLSProtocol TLSv1.2 TLSv1.3\nTLSRSACertificateFile %1\nTLSRSACertificateKeyFile %2\n"_s.arg(m_strCertificate,
                                                                                                       m_strKey);
    const QString config = m_dir.filePath(u"proftpd.conf"_s);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(u"ServerType standalone\nDefaultAddress 127.0.0.1\nPort %1\nUseIPv6 off\n"
                      "User ftp\nGroup %2\nScoreboardFile %3/scoreboard\nPidFile %3/proftpd.pid\n"
                      "DelayTable none\nWtmpLog off\nUseReverseDNS off\nModulePath %4/usr/lib/proftpd\n"
                      "%5<Anonymous %6>\nUser ftp\nGroup %2\nUserAlias anonymous ftp\n"
                      "RequireValidShell off\nAllowOverwrite on\n</Anonymous>\n"_s.arg(m_nPort)
                          .arg(QString::fromLocal8Bit(ftpGroup->gr_name), m_dir.path(), m_strUnpacked, tls, m_strRoot)
                          .toUtf8())
            <= 0) {
        return false;
    }
    file.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LD_LIBRARY_PATH"_s, m_strUnpacked + u"/usr/lib/x86_64-linux-gnu"_s);
    m_process.setProcessEnvironment(environment);
    m_process.start(program, {u"-n"_s, u"-q"_s, u"-c"_s, config});
    return true;
}

// Pure-FTPd's anonymous user always lands in the home of "ftp"; a virtual
// user of its own password database lands in the shared folder.
bool CUnpackedFtpServerProcess::StartPureFtpd()
{
    const QString program = m_strUnpacked + u"/usr/sbin/pure-ftpd"_s;
    const QString passwords = m_strUnpacked + u"/usr/bin/pure-pw"_s;
    if (!QFile::exists(program) || !QFile::exists(passwords) || !PrepareSharedFolder()) {
        m_strProblem += u" (pure-ftpd needs %1)"_s.arg(program);
        return false;
    }
    m_strUser = u"tess"_s;
    m_strPassword = u"pw 1"_s;
    const passwd* ftpUser = ::getpwnam("ftp");
    const QString database = m_dir.filePath(u"pureftpd.pdb"_s);
    QProcess add;
    add.start(passwords,
              {u"useradd"_s, m_strUser, u"-u"_s, QString::number(ftpUser->pw_uid), u"-g"_s,
               QString::number(ftpUser->pw_gid), u"-d"_s, m_strRoot, u"-f"_s, m_dir.filePath(u"pureftpd.passwd"_s),
               u"-m"_s, u"-F"_s, database});
    add.write((m_strPassword + u"\n"_s + m_strPassword + u"\n"_s).toUtf8());
    add.closeWriteChannel();
    if (!add.waitForFinished(10000) || add.exitCode() != 0) {
        m_strProblem = u"pure-pw failed: "_s + QString::fromLocal8Bit(add.readAllStandardError());
        return false;
    }
    QStringList args{u"-S"_s, u"127.0.0.1,%1"_s.arg(m_nPort), u"-l"_s, u"puredb:"_s + database, u"-E"_s, u"-A"_s,
                     u"-H"_s};
    if (!m_strCertificate.isEmpty())
        args << u"-Y"_s << u"2"_s << u"-2"_s << m_strCertificate + u","_s + m_strKey;
    m_process.start(program, args);
    return true;
}
