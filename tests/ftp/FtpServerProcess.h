#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real FTP server for the end-to-end tests, started on a free loopback
// port and stopped with the object. The shared folder is m_strRoot; remote
// paths below it start with m_strRemoteBase ("" or "/pub").
class CFtpServerProcess
{
public:
    enum EKind { Pyftpdlib, Vsftpd };

    explicit CFtpServerProcess(EKind kind) : m_kind(kind) {}
    ~CFtpServerProcess();

    // False with m_strProblem set when the server cannot run here.
    bool Start();

    EKind m_kind;
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
