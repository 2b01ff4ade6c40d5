#pragma once

#include "FtpFeatures.h"
#include "FtpListing.h"
#include "FtpReplyReader.h"
#include "FtpTls.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CFtpDataLink;
class CFtpResumePolicy;
class CProgressScope;
class CRemotePath;
class QFileDevice;
class QIODevice;
class QSslSocket;
class QTcpSocket;

// The explorer's FTP client: one control connection to one server, file
// transfers in active or passive mode, folder listings, remote folder
// operations and folder-tree copies. Every operation blocks the calling
// thread, but never longer than m_nTimeoutMs per wait (connect, each whole
// reply, each data block). The waits poll CServices::Progress() for Cancel
// (connect and replies every kCancelPollMs, data every block); a cancel sets
// m_bCancelled. On failure the text that explains it is left in m_strReply.
//
// A reply that does not come in time, or is too long, leaves the control
// connection out of step: the client closes it, IsOpen() turns false and
// every further command fails until the caller logs on again.
//
// With TLS (m_eEncryption) the client asks for "AUTH TLS" right after the
// greeting, logs on over the encrypted connection, then asks for encrypted
// data connections ("PBSZ 0", "PROT P"); each data connection resumes the TLS
// session of the control connection. After the logon it asks for the
// server's features (FEAT) and system (SYST) and keeps them for the session.
//
// Local paths are native paths of this machine. Remote paths of the listing
// and folder operations are given from the root, as CRemotePath reads them:
// the listings, MakeRemoteFolder's parent and the folder copies take "\" or
// "/" between names (CRemotePath::FromTree), the other operations "/" only
// (CRemotePath::FromServer); the commands are built from CRemotePath, so no
// "//" goes out. TransferFile takes the path as it is sent after "RETR " or
// "STOR ". An upload goes to a hidden name beside the target (FtpPartPath)
// and is renamed onto it only once whole: an interrupted upload never
// replaces the server's older file.
//
// A transfer whose connection breaks (cut, reset, the server restarted; not
// a refusal, a time-out or a cancel) goes on from the bytes already moved
// when the server offers REST STREAM, as CFtpResumePolicy paces it: a
// download into the same local file, an upload onto the hidden name from
// what the server holds (APPE where the server refuses REST before STOR).
// Without REST STREAM it starts over once. A lost control connection is
// logged on again through m_fnLogOnAgain. After the transfer the server's
// size and, where offered, its checksum are compared with the local file's;
// a mismatch fails and keeps the older file.
class CFtpClient
{
public:
    CFtpClient();
    virtual ~CFtpClient();
    CFtpClient(const CFtpClient&) = delete;
    CFtpClient& operator=(const CFtpClient&) = delete;

    // CSftpClient speaks SFTP behind the same operations: the logon, the
    // connection's state, the transfer, the listing and the remote folder
    // operations are virtual; the folder copies and tree walks are built on
    // them and serve both.
    virtual bool IsSftp() const { return false; }

    // How listings and folder-tree copies pace themselves. COPY_AS_EXPLORER
    // keeps the explorer's steps: fixed pauses around each listing's data
    // connection, the remote folder read again before each file of an
    // upload, "TYPE I" before each transfer, and the other data-connection
    // mode tried whenever one cannot connect. COPY_FAST (tessaro-cli) moves
    // at the speed of the link: no pauses, each remote folder read once per
    // copy and kept up to date as folders and files are made, "TYPE I" once
    // per connection, and the data-connection mode that first worked kept.
    // The File exist question, Skip and overwrite are the same in both.
    enum ECopyMode { COPY_AS_EXPLORER, COPY_FAST };

    static constexpr int kDefaultTimeoutMs = 30000;
    // 256 KiB moved twice as fast as 4 KiB on loopback (ftp_bench); reads
    // take what has arrived, so Cancel stays as responsive on slow links.
    static constexpr int kBlockSize = 256 * 1024;
    static constexpr qint64 kMaxListingBytes = 64 * 1024 * 1024;
    static constexpr int kMaxCopyDepth = 64;
    static constexpr int kMaxCopyFolders = 10000;
    // Longest slice of a connect or reply wait between two polls for Cancel.
    static constexpr int kCancelPollMs = 100;
    // A command line and its CR LF fit into 1000 characters.
    static constexpr int kMaxLineLength = 997;

    // Control connection.
    bool OpenControlChannel(const QString& host, int port);
    void CloseControlChannel();
    bool SendLine(const QString& line);
    bool ReadReplyLine();
    bool ReadReply();
    bool Command(const QString& line);
    virtual bool LogOn(QString host, int port, QString user, QString password, QString account, QString fwHost,
                       QString fwUser, QString fwPassword, int fwPort, int logonType);
    virtual void LogOff();
    // False once the control connection is gone: never opened, closed, or
    // closed by the client after a reply that came too late, was too long or
    // was cut off, or after the server or the network ended it. The caller
    // then logs on again before the next operation.
    virtual bool IsOpen() const { return m_pControl != nullptr; }
    // The server or the network ended the last control connection: a 421
    // reply, the end of the stream or a failed send. Not set by the client's
    // own closing (time-outs, replies too long), nor by a refusal. Cleared by
    // the next OpenControlChannel.
    virtual bool IsConnectionLost() const { return m_bConnectionLost; }
    // Between operations nothing arrives on the control connection: a server
    // that ends an idle session sends 421 and closes, a dropped link resets.
    // Looks, without waiting, for bytes or a close that came meanwhile; either
    // closes the connection as lost. False when it is not open (any more).
    virtual bool CheckIdleControl();
    // The control connection is encrypted; IsDataEncrypted: so are the data
    // connections.
    bool IsEncrypted() const;
    bool IsDataEncrypted() const { return m_bDataTls; }
    // What FEAT and SYST said after the logon; not known before.
    const CFtpFeatures& Features() const { return m_features; }

    // File transfer.
    virtual bool TransferFile(const QString& remotePath, const QString& localPath, bool passive, bool download);

    // Listings and remote operations. ListFolder gives the number of bytes
    // received, 0 for a failure and for an empty listing alike; ReadListing
    // tells the two apart.
    qint64 ListFolder(QByteArray& listing);
    bool ReadListing(QByteArray& listing);
    // The entries of a remote folder (path as for ReadRemoteFolder): through
    // MLSD when the server's features name MLST, through LIST otherwise,
    // with name, kind, size and time. The tree, the folder copies and
    // tessaro-cli all list folders this way. True when the folder was
    // entered and listed, also when it is empty; the lines that no rule
    // understood are left out and counted in m_nUnreadListingLines.
    virtual bool ListEntries(const QString& path, QList<CFtpListEntry>& entries);
    // True when the folder was entered and listed, also when it is empty.
    bool ReadRemoteFolder(const QString& path);
    bool ListRemoteSubfolders(const QString& path, QStringList& folders);
    bool IsRemoteFolder(const QString& name) const { return m_aRemoteFolders.contains(name); }
    bool IsRemoteFile(const QString& name) const { return m_aRemoteFiles.contains(name); }
    virtual bool DeleteRemoteFile(const QString& path);
    virtual bool RemoveRemoteFolder(const QString& path);
    // Removes a remote folder with everything in it: files with DELE, then
    // subfolders, then the folder with RMD. Links are deleted, never
    // followed. Stops at the first failure, with the reason in m_strReply; what
    // was removed by then stays removed. Bounded like the folder copies.
    bool RemoveRemoteTree(const QString& path);
    // How many files (links included) and folders a remote folder holds at
    // every depth, from its listings; bounded like RemoveRemoteTree, and
    // false where it would fail, with the reason in m_strReply.
    bool CountRemoteTree(const QString& path, int& files, int& folders);
    virtual bool MakeRemoteFolder(const QString& parent, const QString& name);
    virtual bool RenameRemote(const QString& oldPath, const QString& newPath);

    // Folder-tree copies. True when every folder and file was copied or
    // deliberately skipped by the user; otherwise m_strReply tells the first
    // thing that went wrong. A remote folder that cannot be read is not taken
    // for an empty one: a download asks through the Error prompt whether to
    // go on (the top folder fails the copy before anything is created), an
    // upload sends no file into it, so nothing is overwritten unasked.
    bool UploadFolder(const QString& localFolder, const QString& remoteParent, const QString& name);
    bool DownloadFolder(const QString& remoteFolder, const QString& localParent, const QString& name);
    // How the last folder copy ended: whether it went through every folder
    // (a cancel, an "Abort" or a lost connection stop it before), how many
    // files the user skipped as existing, how many files or folders failed.
    bool m_bCopyReachedEnd = false;
    int m_nCopySkipped = 0;
    int m_nCopyFailed = 0;

    QString m_strReply;
    int m_nReplyClass = 0;
    bool m_bCancelled = false;
    QStringList m_aTransferFolders;
    QStringList m_aRemoteFolders;
    QStringList m_aRemoteFiles;
    int m_nUnreadListingLines = 0; // of the last ListEntries

    // Longest wait for a connect, a whole reply, a TLS handshake or a data
    // block.
    int m_nTimeoutMs = kDefaultTimeoutMs;

    // TLS, set before LogOn. A certificate that does not verify against the
    // system's trust store is taken without a question when its SHA-256
    // fingerprint is the remembered or the trusted one; otherwise the user is
    // asked (through the prompt service) when m_bMayAskTrust, and the logon
    // fails before anything is sent when not.
    EFtpEncryption m_eEncryption = FTP_TLS_OFF;
    QString m_strRememberedFingerprint; // trusted earlier for this server
    QString m_strTrustedFingerprint;    // named by the user for this connection
    bool m_bMayAskTrust = true;
    // Set by LogOn when the user accepted a certificate: its fingerprint, for
    // the caller to remember for this server.
    QString m_strAcceptedFingerprint;
    // The passive setting: the mode of the listings and of the folder
    // copies' transfers (the explorer uses active mode). When one mode cannot
    // open a data connection, the other is tried once; if that works, later
    // operations on this connection start with it.
    bool m_bPassive = false;
    // Bytes moved per step of a transfer, between two polls for Cancel.
    int m_nBlockSize = kBlockSize;
    // A listing larger than this fails instead of filling the memory.
    qint64 m_nMaxListingBytes = kMaxListingBytes;
    // Limits of a folder download, against servers that list without end.
    int m_nMaxCopyDepth = kMaxCopyDepth;
    int m_nMaxCopyFolders = kMaxCopyFolders;
    ECopyMode m_eCopyMode = COPY_AS_EXPLORER;
    // Logs on afresh after a transfer lost its control connection, so that
    // the transfer can go on; set by the session that owns the client.
    // Without it such a transfer fails.
    std::function<bool()> m_fnLogOnAgain;

protected:
    // After a break: pauses as policy says and logs on again (through
    // m_fnLogOnAgain) until the next attempt can start; false to give up.
    bool RecoverFromBreak(CFtpResumePolicy& policy, bool progressed);
    bool PauseBeforeAttempt(int ms);
    // A folder copy is running: its listings show the Transfer window.
    bool IsCopying() const { return m_bCopying; }

private:
    // How an attempt to open a data connection ended: a failure to connect
    // at all lets the other mode be tried; any other failure is final.
    enum EDataOpen { DATA_OPEN, DATA_NO_CONNECTION, DATA_FAILED };
    // How the data of a transfer or listing ended.
    enum EDataEnd { END_COMPLETE, END_CANCELLED, END_STALLED, END_BROKEN, END_FILE_ERROR, END_TOO_LARGE };

    bool AwaitReply(bool wholeReply);
    bool AwaitConnected();
    // The user cancelled through the Transfer window during a wait: the
    // connection is out of step and closed.
    bool CancelWait();
    bool FinishLogOn();
    bool StartTls(const QString& host, int port);
    bool CheckCertificate(const QString& host, int port);
    bool ProtectData();
    void ReadFeatures();
    bool SecureData(CFtpDataLink& link);
    // False when the wait ran out with nothing received.
    bool ReceiveControlBytes(qint64 waitMs);
    void LoseControl();

    bool OpenDataConnection(const QString& command, bool passive, CFtpDataLink& link);
    EDataOpen TryDataConnection(const QString& command, bool passive, CFtpDataLink& link);
    bool EnterPassiveMode(quint16& port);
    bool EnterActiveMode(CFtpDataLink& link);
    bool IsIPv6Control() const;
    bool SetBinaryType();
    void ListingPause(int ms);
    EDataEnd ReceiveData(QTcpSocket& data, QIODevice& target, qint64 limit, bool showBytes);
    EDataEnd SendData(QTcpSocket& data, QIODevice& source);
    bool EndData(EDataEnd end, CFtpDataLink& link);
    void ShowBytes(qint64 count);
    bool SendRest();

    // Transfers (FtpClientTransfer.cpp) and their resumption (FtpClientResume.cpp).
    enum ESizeCheck { SIZE_SAME, SIZE_SHORT, SIZE_DIFFERENT };
    bool NoLocalFile(const QString& localPath, bool download);
    bool Download(CProgressScope& progress, const QString& remotePath, const QString& localPath, bool passive);
    bool Upload(CProgressScope& progress, const QString& remotePath, const QString& localPath, bool passive);
    bool MoveFile(CProgressScope& progress, const QString& remotePath, QFileDevice& file, qint64 offset, bool passive,
                  bool download, bool& sent);
    bool FinishTransfer(EDataEnd end, CFtpDataLink& link, bool download);
    qint64 HeldBytes(const QString& part, qint64 localSize);
    bool DropPart(const QString& part, bool sent);
    bool PlaceUpload(const QString& part, const QString& remotePath);
    bool AttemptBroke() const;
    bool AskRemoteSize(const QString& path, qint64& size, bool mayList);
    ESizeCheck CheckSize(const QString& path, qint64 localSize, bool download, bool mayList);
    bool CheckHash(const QString& remotePath, const QString& localPath, bool download);

    bool ReadListingWith(const QString& command, QByteArray& listing);
    bool FetchFolderListing(const QString& path, const QString& command, QByteArray& listing);
    bool Refuse(const QString& argument);
    bool RefuseServerName(const QString& name);
    bool RemoveRemoteTreeAt(const CRemotePath& path, int depth, int& folders);
    bool CheckTreeBounds(int depth, int& folders);
    bool CountRemoteTreeAt(const CRemotePath& path, int depth, int& listed, int& files, int& folders);

    // Marks a folder copy from its start to its end.
    struct CCopyScope
    {
        explicit CCopyScope(CFtpClient& client);
        ~CCopyScope();
        CFtpClient& m_client;
    };
    QString FolderNotRead(const QString& remoteFolder) const;
    void NoteCopyFailure(const QString& text);
    bool EndCopy();
    bool CreateRemoteSubfolders(const QString& localFolder, const CRemotePath& remoteFolder);
    bool UploadFolderFiles(const QString& localFolder, const CRemotePath& remoteFolder);
    bool CollectRemoteSubfolders(const CRemotePath& remoteFolder, int depth, QSet<QString>& seen);
    bool DownloadFolderFiles(const QString& localFolder, const CRemotePath& remoteFolder);
    bool ReadCopyFolder(const CRemotePath& folder);
    bool ListCopySubfolders(const CRemotePath& folder, QStringList& subfolders);
    void NoteRemoteEntry(const CRemotePath& folder, const QString& name, bool isFolder);

    std::unique_ptr<QSslSocket> m_pControl;
    // Where ReceiveControlBytes reads to: allocated once, with the client.
    std::unique_ptr<char[]> m_pControlBlock;
    CFtpReplyReader m_replyReader;
    QElapsedTimer m_elapsed;
    bool m_bConnectionLost = false; // see IsConnectionLost
    bool m_bEpsvRefused = false;    // on this connection
    bool m_bMlsdRefused = false;    // on this connection, although FEAT named it
    bool m_bDataTls = false;        // "PROT P" was accepted
    CFtpFeatures m_features;
    bool m_bOtherModeWorks = false; // the mode not asked for opened a data connection
    bool m_bModeSettled = false;    // COPY_FAST: a data connection opened; no other mode is tried
    bool m_bBinaryType = false;     // "TYPE I" was accepted on this connection
    bool m_bListing = false;        // the fixed pauses of a listing apply
    bool m_bCopying = false;        // listings show the Transfer window, so Cancel reaches them
    bool m_bCopyComplete = true;
    EDataEnd m_eDataEnd = END_COMPLETE; // of the last transfer attempt
    qint64 m_nRestOffset = 0;           // "REST" goes before the transfer command when not 0
    bool m_bRestRefused = false;        // the server answered that REST with a refusal
    qint64 m_nDataBase = 0;             // bytes of the file before this attempt's data connection
    qint64 m_nShownBytes = 0;           // the Transfer window's count, which never goes back
    QString m_strCopyFailure;           // the first failure of the current copy
    // COPY_FAST: each remote folder the current copy has read, by its
    // relative path, with its folders and files.
    struct CKnownFolder
    {
        QStringList m_aFolders;
        QStringList m_aFiles;
    };
    QHash<QString, CKnownFolder> m_knownFolders;
};
