#pragma once

#include "FtpTls.h"

#include <QString>

#include <functional>
#include <memory>

class CFtpClient;

// One FTP session of the explorer or of tessaro-cli: the client with its
// control connection, whether a logon opened that connection, and how the
// server's certificate is trusted. Every remote operation goes through Run
// (or EnsureLoggedOn, then Client()), so that what has to happen before or
// after an operation of the session is done in one place.
//
// The session logs on once; a client that had to close its control
// connection (a late, endless or cut reply), or whose connection the server
// or the network ended (421, a close while idle, a failed send), is logged on
// afresh at the next use; a file transfer that loses it logs on again
// through the session and goes on (see CFtpClient::m_fnLogOnAgain). QUIT is
// sent only to end a session that a logon opened.
class CFtpSession
{
public:
    // Where and as whom to log on, and which certificates to take.
    struct CLogon
    {
        QString m_strHost;
        int m_nPort = 21;
        QString m_strUser;
        QString m_strPassword;
        EFtpEncryption m_eEncryption = FTP_TLS_AUTO;
        // A fingerprint the user named for this session; the one remembered
        // for the server in the profile is always taken too.
        QString m_strTrustedFingerprint;
        // Whether an unknown certificate may be asked about (through the
        // prompt service); when not, the logon fails before anything is sent.
        bool m_bMayAskTrust = true;
        // SFTP instead of FTP: the session's client is then a CSftpClient,
        // m_eEncryption does not apply, and m_strTrustedFingerprint is a host
        // key's "SHA256:..." fingerprint.
        bool m_bSftp = false;
    };

    CFtpSession();
    ~CFtpSession();
    CFtpSession(const CFtpSession&) = delete;
    CFtpSession& operator=(const CFtpSession&) = delete;

    // Taken at the next logon; a session already logged on stays as it is,
    // unless the logon names the other protocol: the client is then logged
    // off and replaced by one of that protocol with the same settings.
    void SetLogon(const CLogon& logon);
    const CLogon& Logon() const { return m_logon; }

    // Logs on unless a logon opened the control connection and it is still
    // open. False when the logon failed, the reason in Client().m_strReply. A
    // certificate the user accepted is remembered for the server, also when
    // the logon then failed.
    bool EnsureLoggedOn();
    // Whether Run repeats an operation that lost the connection.
    enum ERepeat { REPEAT_IF_LOST, NEVER_REPEAT };
    // Logs on if needed, then runs the operation on the client. False when
    // either failed, the reason in Client().m_strReply. When the server or
    // the network ended the connection during the operation (not a refusal,
    // a time-out or a cancel), the session logs on again and runs it once
    // more, unless NEVER_REPEAT; IsRepeat() then tells the operation so. An
    // operation run so must be harmless to repeat when its first run did
    // all or part of its work.
    bool Run(const std::function<bool(CFtpClient&)>& operation, ERepeat repeat = REPEAT_IF_LOST);
    bool IsRepeat() const { return m_bRepeat; }
    // A logon opened the session and nothing ended it since. The control
    // connection may have been closed by the client meanwhile: see
    // EnsureLoggedOn.
    bool IsLoggedOn() const { return m_bLoggedOn; }
    // Logged on, and the control connection is still open and quiet (see
    // CFtpClient::CheckIdleControl): an operation can go ahead without a
    // logon.
    bool IsReady();

    CFtpClient& Client() { return *m_pClient; }
    const CFtpClient& Client() const { return *m_pClient; }

    // Puts client in place of the current one, which is logged off (QUIT)
    // when a logon opened it. A null client changes nothing.
    void ReplaceClient(std::unique_ptr<CFtpClient> client);
    // Puts a new client in place of the current one without QUIT: after a
    // dial-up, the old session ran over a network that is no longer there.
    void DropClient();
    // QUIT and close, when a logon opened the session.
    void LogOff();

private:
    void Attach(std::unique_ptr<CFtpClient> client);
    // A new client of the logon's protocol.
    std::unique_ptr<CFtpClient> MakeClient() const;

    std::unique_ptr<CFtpClient> m_pClient;
    CLogon m_logon;
    bool m_bLoggedOn = false;
    bool m_bRepeat = false; // Run is running an operation a second time
};
