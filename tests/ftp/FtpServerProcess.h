#pragma once

#include "TestCertificates.h"

#include "ftp/FtpSession.h"

#include <QHostAddress>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real FTP server for the end-to-end tests, started on a loopback port
// (IPv4, or IPv6 where the machine has ::1) that it bound itself and stopped with the object. The shared folder is
// m_strRoot; remote paths below it start with m_strRemoteBase ("" or "/pub").
class CFtpServerProcess
{
public:
    // ProFTPD and Pure-FTPd conflict with vsftpd as installed packages; only
    // the benchmark runs them (CUnpackedFtpServerProcess).
    enum EKind { Pyftpdlib, Vsftpd, Proftpd, PureFtpd };

    explicit CFtpServerProcess(EKind kind, bool ipv6 = false) : m_kind(kind), m_bIPv6(ipv6) {}
    virtual ~CFtpServerProcess();

    // False with m_strProblem set when the server cannot run here.
    bool Start();
    // Starts with TLS and a new self-signed certificate made for it.
    bool StartWithTls(CTestCertificate& certificate)
    {
        if (!MakeSelfSignedCertificate(m_dir.path(), QStringLiteral("server"), certificate, m_strProblem))
            return false;
        m_strCertificate = certificate.m_strCertificate;
        m_strKey = certificate.m_strKey;
        return Start();
    }
    // A session's logon to this server, reached at host (127.0.0.1 or a
    // proxy's address), over TLS when tls, taking the certificate fingerprint.
    CFtpSession::CLogon SessionLogon(const QString& host, bool tls, const QString& fingerprint) const;

    EKind m_kind;
    bool m_bIPv6; // listens on ::1 instead of 127.0.0.1 (vsftpd only)
    // Set before Start. With a certificate (PEM files) the server offers
    // explicit TLS and requires it for the logon and the data; vsftpd also
    // requires every data connection to resume the control session.
    QString m_strCertificate;
    QString m_strKey;
    // pyftpdlib writes every command line it receives into m_strTranscript,
    // and refuses "PROT P" if asked.
    bool m_bRefuseProt = false;
    // The passive ports, when not the server's own choice (a fault proxy
    // relays them); 0: any.
    int m_nPassiveLow = 0;
    int m_nPassiveHigh = 0;
    QString m_strTranscript;
    QString m_strHost; // the address it listens on
    QString m_strUser;
    QString m_strPassword;
    QString m_strRoot;       // local folder the server shares at m_strRemoteBase
    QString m_strRemoteBase; // remote path of m_strRoot, without a trailing "/"
    int m_nPort = 0;
    QString m_strProblem;

    // The command lines pyftpdlib received so far.
    QStringList Transcript() const;

protected:
    // Starts m_process for Proftpd or PureFtpd on m_nPort.
    virtual bool StartUnpackedProcess();

    QTemporaryDir m_dir;
    QProcess m_process;

private:
    bool StartPyftpdlib(const QHostAddress& address);
    bool StartOnFreePort(const QHostAddress& address);
    bool PrepareVsftpd(QString& config);
    QStringList PyftpdlibArguments();
    QByteArray TlsConfiguration() const;
    QByteArray PassiveConfiguration() const;

    QTemporaryDir m_ownFiles; // the transcript, outside the folder that tests show as a local root
};
