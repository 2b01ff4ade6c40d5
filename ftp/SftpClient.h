#pragma once

#include "FtpClient.h"

#include <QByteArray>
#include <QString>

#include <functional>

class CDownloadFile;
class CRemotePath;
class QFile;
struct CSftpBlock;

// What libssh2's callbacks reach through a session's abstract pointer. Every
// block the session allocates is on m_pBlocks: libssh2 frees no file handle
// that is open when its session ends (as a broken link leaves one), nor the
// requests the handle still holds, so what is left goes with the session.
struct CSftpSessionContext
{
    CSftpBlock* m_pBlocks = nullptr;
    const QByteArray* m_pAnswer = nullptr; // during a keyboard-interactive logon
};

// The allocator of a session whose abstract pointer is a CSftpSessionContext.
void* SftpAllocate(size_t size, void** abstract);

typedef struct _LIBSSH2_SESSION LIBSSH2_SESSION;
typedef struct _LIBSSH2_SFTP LIBSSH2_SFTP;
typedef struct _LIBSSH2_SFTP_HANDLE LIBSSH2_SFTP_HANDLE;

// The explorer's server link over SSH (SFTP, through libssh2), behind the
// operations of CFtpClient, so that the session, the tree, the paste table,
// the folder copies and tessaro-cli use either alike.
//
// One thread: the libssh2 session does not block; every call that would is
// repeated after a wait on the socket in slices of kCancelPollMs, each call
// bounded in total by m_nTimeoutMs and polling CServices::Progress() for
// Cancel. A time-out, a cancel or a broken link closes the session: IsOpen()
// turns false and the next operation logs on again, as on the FTP side.
// A transfer whose link the server's side ended (not a time-out, a refusal
// or a cancel) goes on as over FTP, paced by CFtpResumePolicy and logged on
// again through m_fnLogOnAgain: a download from the bytes already in its
// file, an upload from what the server holds of its hidden name.
//
// The host key is checked against ~/.ssh/known_hosts ($HOME honoured): a key
// listed for the server is taken, a changed one refused with a warning and
// never accepted, an unknown one asked about (type and SHA256 fingerprint)
// when m_bMayAskTrust, or taken when its fingerprint is
// m_strTrustedFingerprint; a key the user accepted gets one line appended.
// Logon (as the local user when no user is named): the ssh-agent's keys, then ~/.ssh/id_ed25519, id_ecdsa, id_rsa,
// then the password, then keyboard-interactive answered with the password.
//
// Remote paths are as for CFtpClient, from the root, which over SFTP is the
// folder the server starts the session in (the user's home, or what the
// server's configuration names). Each name of a path must be a plain name
// without control bytes (IsSafeSftpName); no path leaves the root.
class CSftpClient : public CFtpClient
{
public:
    CSftpClient();
    ~CSftpClient() override;

    // Bytes handed to libssh2 per write call: libssh2 splits them into
    // requests of its own and keeps them in flight together; the pipeline
    // runs dry once per block, so the block is large.
    static constexpr int kSftpBlockSize = 2 * 1024 * 1024;
    // Bytes asked of libssh2 per read call. libssh2 keeps four times as much
    // requested ahead (2 MiB: 40 MB/s at 50 ms round trip). A larger block
    // costs more than it gains: it is copied out of the processor's cache
    // before it reaches the file.
    static constexpr int kSftpReadBlockSize = 512 * 1024;
    static constexpr int kMaxListingEntries = 1000000;
    // One of the known_hosts file is read, at most.
    static constexpr qint64 kMaxKnownHostsBytes = 16 * 1024 * 1024;

    bool IsSftp() const override { return true; }
    bool LogOn(QString host, int port, QString user, QString password, QString account, QString fwHost, QString fwUser,
               QString fwPassword, int fwPort, int logonType) override;
    void LogOff() override;
    bool IsOpen() const override { return m_pSftp != nullptr; }
    bool IsConnectionLost() const override { return m_bLost; }
    bool CheckIdleControl() override;

    // passive means nothing over SFTP.
    bool TransferFile(const QString& remotePath, const QString& localPath, bool passive, bool download) override;
    bool ListEntries(const QString& path, QList<CFtpListEntry>& entries) override;
    bool DeleteRemoteFile(const QString& path) override;
    bool RemoveRemoteFolder(const QString& path) override;
    bool MakeRemoteFolder(const QString& parent, const QString& name) override;
    // Refuses to replace what newPath names.
    bool RenameRemote(const QString& oldPath, const QString& newPath) override;

    int m_nSftpBlockSize = kSftpBlockSize;
    int m_nSftpReadBlockSize = kSftpReadBlockSize;
    int m_nMaxListingEntries = kMaxListingEntries;

private:
    // libssh2's result of a call that Await gave up on: the session is
    // closed and m_strReply tells why.
    static constexpr long kAbandoned = -1000;

    bool Connect(const QString& host, int port);
    bool StartSession(const QString& host, int port);
    // ~/.ssh/known_hosts, and at most kMaxKnownHostsBytes of it.
    static QString KnownHostsPath();
    static QByteArray ReadKnownHosts();
    bool CheckHostKey(const QString& host, int port);
    bool AcceptNewHostKey(const QString& server, const QString& type, const QString& fingerprint);
    bool Authenticate(const QByteArray& user, const QByteArray& password);
    // How one way of logging on ended: the next one is tried only after a
    // refusal; GONE means the session ended (m_strReply tells why).
    enum EAuth { AUTH_DONE, AUTH_REFUSED, AUTH_GONE };
    EAuth AuthResult(long rc);
    EAuth TryAgent(const QByteArray& user);
    EAuth TryKeyFiles(const QByteArray& user);
    EAuth TryPassword(const QByteArray& user, const QByteArray& password, bool keyboard);
    bool StartSftp();
    // Repeats call while libssh2 would block; kAbandoned after a time-out
    // or cancel.
    long Await(const std::function<long()>& call);
    bool WaitForSocket(qint64 waitedMs);
    // Sets m_strReply from the result of a failed call and returns false;
    // a failure of the session (not one of an SFTP request) closes it.
    bool Fail(long rc, const QString& what);
    void Close();
    CSftpSessionContext m_context;

    // The path on the server below the root; false (m_strReply set) when a
    // name of it is not a plain one.
    bool ServerPath(const CRemotePath& path, QByteArray& serverPath);
    LIBSSH2_SFTP_HANDLE* Open(const QByteArray& path, unsigned long flags, long mode, int type, long& rc);
    void CloseHandle(LIBSSH2_SFTP_HANDLE* handle);
    // isFolder, when given, tells whether what exists is a folder.
    bool Exists(const QByteArray& path, bool& exists, bool* isFolder = nullptr);
    bool ReadLinkTarget(const QByteArray& path, QString& target);
    bool ReadFolder(LIBSSH2_SFTP_HANDLE* handle, const QByteArray& folder, QList<CFtpListEntry>& entries);
    bool Cancelled();
    bool Download(const CRemotePath& remote, const QString& localPath);
    // One attempt: from count on into file, count going up as bytes arrive.
    bool ReceiveFile(const CRemotePath& remote, CDownloadFile& file, qint64& count);
    bool Upload(const QString& localPath, const CRemotePath& remote);
    // One attempt: the source from byte from on onto the hidden name; sent
    // ends as the bytes the server confirmed.
    bool SendPart(QFile& source, const CRemotePath& part, qint64 from, qint64& sent);
    bool SendFile(QIODevice& source, LIBSSH2_SFTP_HANDLE* handle, const QString& what, qint64& count);
    // The size the server gives for path (left as it was where it gives
    // none); what names it in a message.
    bool StatSize(const QByteArray& path, const QString& what, qint64& size);
    // StatSize after a break: a link lost under the question is one more
    // break (an attempt that moved nothing), not the end of the transfer.
    bool StatAcrossBreaks(CFtpResumePolicy& policy, const CRemotePath& remote, qint64& size);
    bool PlaceUpload(const CRemotePath& part, const CRemotePath& remote);
    // Always false: removes what arrived of a failed upload, keeping the reason.
    bool RemovePart(const CRemotePath& part);

    int m_nSocket = -1;
    LIBSSH2_SESSION* m_pSession = nullptr;
    LIBSSH2_SFTP* m_pSftp = nullptr;
    QByteArray m_root; // the folder the server started in, without a final "/"
    bool m_bLost = false;
};
