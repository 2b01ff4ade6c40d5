#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real FTP server for the end-to-end tests, started on a free loopback
// port (IPv4, or IPv6 where the machine has ::1) and stopped with the object. The shared folder is m_strRoot; remote
// paths below it start with m_strRemoteBase ("" or "/pub").
class CFtpServerProcess
{
public:
    enum EKind { Pyftpdlib, Vsftpd };

    explicit CFtpServerProcess(EKind kind, bool ipv6 = false) : m_kind(kind), m_bIPv6(ipv6) {}
    ~CFtpServerProcess();

    // False with m_strProblem set when the server cannot run here.
    bool Start();

    EKind m_kind;
    bool m_bIPv6;      // listens on ::1 instead of 127.0.0.1 (vsftpd only)
    QString m_strHost; // the address it listens on
    QString m_strUser;
    QString m_strPassword;
    QString m_strRoot;       // local folder the server shares at m_strRemoteBase
    QString m_strRemoteBase; // remote path of m_strRoot, without a trailing "/"
    int m_nPort = 0;
    QString m_strProblem;

private:
    bool PrepareVsftpd(QString& config);

    QTemporaryDir m_dir;
    QProcess m_process;
};
