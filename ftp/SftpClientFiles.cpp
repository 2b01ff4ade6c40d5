// Listings and the remote folder operations of CSftpClient.
#include "SftpClient.h"

#include "RemotePath.h"
#include "SftpProtocol.h"

#include "platform/Bytes.h"
#include "platform/Progress.h"
#include "platform/ProgressScope.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <libssh2.h>
#include <libssh2_sftp.h>

#include <algorithm>
#include <optional>

namespace {

// Longest name or link target taken from the server.
constexpr int kMaxNameBytes = 8192;
// What an entry costs beyond its name, for the bound on a listing's bytes.
constexpr qint64 kEntryOverhead = 64;

} // namespace

bool CSftpClient::ServerPath(const CRemotePath& path, QByteArray& serverPath)
{
    if (!IsOpen()) {
        m_strReply = LoadString(IDS_NETWORK_ERROR);
        return false;
    }
    if (!IsSafeSftpPath(path.Names())) {
        m_strReply = LoadString(IDS_SFTP_REFUSED_PATH).arg(path.Absolute());
        return false;
    }
    serverPath =
        path.IsRoot() ? (m_root.isEmpty() ? QByteArray("/") : m_root) : m_root + '/' + ToBytes(path.Relative());
    return true;
}

LIBSSH2_SFTP_HANDLE* CSftpClient::Open(const QByteArray& path, unsigned long flags, long mode, int type, long& rc)
{
    LIBSSH2_SFTP_HANDLE* handle = nullptr;
    rc = Await([&] {
        handle =
            libssh2_sftp_open_ex(m_pSftp, path.constData(), static_cast<unsigned int>(path.size()), flags, mode, type);
        return handle ? 0L : long(libssh2_session_last_errno(m_pSession));
    });
    return handle;
}

void CSftpClient::CloseHandle(LIBSSH2_SFTP_HANDLE* handle)
{
    // A session that ended took its handles with it.
    if (handle && IsOpen())
        Await([&] { return long(libssh2_sftp_close_handle(handle)); });
}

bool CSftpClient::Exists(const QByteArray& path, bool& exists, bool* isFolder)
{
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
    const long rc = Await([&] {
        return long(libssh2_sftp_stat_ex(m_pSftp, path.constData(), static_cast<unsigned int>(path.size()),
                                         LIBSSH2_SFTP_LSTAT, &attributes));
    });
    exists = rc == 0;
    if (isFolder)
        *isFolder = exists && (attributes.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS)
            && LIBSSH2_SFTP_S_ISDIR(attributes.permissions);
    if (rc == 0)
        return true;
    const unsigned long status = rc == LIBSSH2_ERROR_SFTP_PROTOCOL ? libssh2_sftp_last_error(m_pSftp) : 0;
    return status == LIBSSH2_FX_NO_SUCH_FILE || status == LIBSSH2_FX_NO_SUCH_PATH || Fail(rc, FromBytes(path));
}

bool CSftpClient::ReadLinkTarget(const QByteArray& path, QString& target)
{
    char buffer[kMaxNameBytes];
    const long length = Await([&] {
        return long(libssh2_sftp_symlink_ex(m_pSftp, path.constData(), static_cast<unsigned int>(path.size()), buffer,
                                            sizeof(buffer), LIBSSH2_SFTP_READLINK));
    });
    if (length > 0)
        target = FromBytes(QByteArray(buffer, static_cast<qsizetype>(length)));
    // A link that cannot be read is listed without its target.
    return length >= 0 || length == LIBSSH2_ERROR_SFTP_PROTOCOL;
}

bool CSftpClient::Cancelled()
{
    if (!CServices::Progress().PollCancel())
        return false;
    m_bCancelled = true;
    m_strReply = LoadString(IDS_FTP_CANCELLED);
    return true;
}

bool CSftpClient::ListEntries(const QString& path, QList<CFtpListEntry>& entries)
{
    entries.clear();
    m_nUnreadListingLines = 0;
    m_bCancelled = false;
    const CRemotePath folder = CRemotePath::FromTree(path);
    QByteArray serverPath;
    if (!ServerPath(folder, serverPath))
        return false;
    // During a folder copy the Transfer window shows the listing, so that
    // Cancel can stop one that will not end.
    std::optional<CProgressScope> progress;
    if (IsCopying())
        progress.emplace(folder.Absolute());
    long rc = 0;
    LIBSSH2_SFTP_HANDLE* handle = Open(serverPath, 0, 0, LIBSSH2_SFTP_OPENDIR, rc);
    if (!handle)
        return Fail(rc, folder.Absolute());
    const bool read = ReadFolder(handle, serverPath, entries);
    CloseHandle(handle);
    if (m_bCancelled && progress)
        progress->MarkHidden();
    if (!read) {
        entries.clear();
        return false;
    }
    // Servers list in no defined order; the tree and "ls" show names sorted.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const CFtpListEntry& a, const CFtpListEntry& b) { return a.m_strName < b.m_strName; });
    return true;
}

bool CSftpClient::ReadFolder(LIBSSH2_SFTP_HANDLE* handle, const QByteArray& folder, QList<CFtpListEntry>& entries)
{
    char name[kMaxNameBytes];
    qint64 bytes = 0;
    for (;;) {
        LIBSSH2_SFTP_ATTRIBUTES attributes{};
        const long length =
            Await([&] { return long(libssh2_sftp_readdir_ex(handle, name, sizeof(name), nullptr, 0, &attributes)); });
        if (length == 0)
            return true;
        if (length < 0)
            return Fail(length, FromBytes(folder));
        const QByteArray entryName(name, static_cast<qsizetype>(length));
        bytes += length + kEntryOverhead;
        if (bytes > m_nMaxListingBytes) {
            m_strReply = LoadString(IDS_FTP_LISTING_TOO_LARGE).arg(m_nMaxListingBytes / (1024 * 1024));
            return false;
        }
        if (entries.size() >= m_nMaxListingEntries) {
            m_strReply = LoadString(IDS_SFTP_LISTING_TOO_LONG).arg(m_nMaxListingEntries);
            return false;
        }
        if (entryName == "." || entryName == "..")
            continue;
        CFtpListEntry entry =
            SftpListEntry(entryName, attributes.flags, attributes.permissions, attributes.filesize, attributes.mtime);
        if (entry.m_bLink && IsSafeSftpName(entry.m_strName)
            && !ReadLinkTarget(folder + '/' + entryName, entry.m_strLinkTarget))
            return false;
        entries.append(entry);
        if (entries.size() % 256 == 0 && Cancelled())
            return false;
    }
}

bool CSftpClient::DeleteRemoteFile(const QString& path)
{
    const CRemotePath remote = CRemotePath::FromServer(path);
    QByteArray serverPath;
    if (!ServerPath(remote, serverPath))
        return false;
    const long rc = Await([&] {
        return long(
            libssh2_sftp_unlink_ex(m_pSftp, serverPath.constData(), static_cast<unsigned int>(serverPath.size())));
    });
    return rc == 0 || Fail(rc, remote.Absolute());
}

bool CSftpClient::RemoveRemoteFolder(const QString& path)
{
    const CRemotePath remote = CRemotePath::FromServer(path);
    QByteArray serverPath;
    if (remote.IsRoot() || !ServerPath(remote, serverPath)) {
        if (remote.IsRoot())
            m_strReply = LoadString(IDS_SFTP_REFUSED_PATH).arg(remote.Absolute());
        return false;
    }
    const long rc = Await([&] {
        return long(
            libssh2_sftp_rmdir_ex(m_pSftp, serverPath.constData(), static_cast<unsigned int>(serverPath.size())));
    });
    return rc == 0 || Fail(rc, remote.Absolute());
}

bool CSftpClient::MakeRemoteFolder(const QString& parent, const QString& name)
{
    // One plain name: "Sub/X" would make a folder elsewhere than asked.
    const CRemotePath remote = CRemotePath::FromTree(parent).Child(name);
    QByteArray serverPath;
    if (!IsSafeSftpName(name)) {
        m_strReply = LoadString(IDS_SFTP_REFUSED_PATH).arg(remote.Absolute());
        return false;
    }
    if (!ServerPath(remote, serverPath))
        return false;
    const long rc = Await([&] {
        return long(
            libssh2_sftp_mkdir_ex(m_pSftp, serverPath.constData(), static_cast<unsigned int>(serverPath.size()), 0755));
    });
    return rc == 0 || Fail(rc, remote.Absolute());
}

bool CSftpClient::RenameRemote(const QString& oldPath, const QString& newPath)
{
    const CRemotePath from = CRemotePath::FromServer(oldPath);
    const CRemotePath to = CRemotePath::FromServer(newPath);
    QByteArray source, target;
    if (!ServerPath(from, source) || !ServerPath(to, target))
        return false;
    // SFTP version 3 leaves it to the server whether a rename replaces
    // the target: it is checked first, so nothing is replaced either way.
    bool exists = false;
    if (!Exists(target, exists))
        return false;
    if (exists) {
        m_strReply = LoadString(IDS_SFTP_TARGET_EXISTS).arg(to.Absolute());
        return false;
    }
    const long rc = Await([&] {
        return long(libssh2_sftp_rename_ex(m_pSftp, source.constData(), static_cast<unsigned int>(source.size()),
                                           target.constData(), static_cast<unsigned int>(target.size()), 0));
    });
    return rc == 0 || Fail(rc, from.Absolute());
}
