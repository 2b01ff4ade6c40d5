#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real OpenSSH server for the SFTP tests, on 127.0.0.1 and a port it bound
// itself, with its own configuration, host key and an ed25519 key made for
// the test user in m_strHome/.ssh (the test points HOME there). SFTP
// sessions start in m_strRoot. Stopped with the object.
class CSftpServerProcess
{
public:
    ~CSftpServerProcess();
    // False with m_strProblem set when sshd cannot run here.
    bool Start();
    // What sshd logged so far (VERBOSE: each logon accepted or failed).
    QString Log();
    // A new ed25519 key pair at path (path.pub beside it).
    static bool MakeKey(const QString& path);
    // "SHA256:..." of the public key in a .pub file, as ssh-keygen -l shows it.
    static QString Fingerprint(const QString& publicKeyFile);

    QTemporaryDir m_dir;
    QString m_strHome;
    QString m_strRoot;
    QString m_strHostKey; // its public half is m_strHostKey + ".pub"
    QString m_strUser;
    // The sftp subsystem's command; empty: OpenSSH's own, starting in m_strRoot.
    QString m_strSubsystem;
    // Set before Start, where the tests run as root: sshd runs in a mount
    // namespace of its own, in which /etc/shadow gives m_strUser this
    // password. The machine's own file stays as it is.
    QString m_strPassword;
    int m_nPort = 0;
    QString m_strProblem;

private:
    bool PrepareShadow(const QString& path);

    QProcess m_process;
    QString m_strLog;
};
