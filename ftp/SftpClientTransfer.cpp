// File transfers of CSftpClient: libssh2 keeps several read or write
// requests in flight for each block handed to it. A transfer whose link the
// server's side ended goes on from where it stopped, as over FTP.
#include "SftpClient.h"

#include "DownloadFile.h"
#include "FtpProtocol.h"
#include "FtpResume.h"
#include "RemotePath.h"

#include "platform/Bytes.h"
#include "platform/Progress.h"
#include "platform/ProgressScope.h"
#include "platform/Services.h"
#include "platform/SystemReason.h"
#include "resources/StringTable.h"

#include <QFile>
#include <QFileInfo>

#include <climits>

#include <libssh2.h>
#include <libssh2_sftp.h>

namespace {

// Beside the target while the upload takes its place.
QString OldPath(const CRemotePath& remote)
{
    return QStringLiteral(".%1.tessaro-old").arg(remote.Name());
}

} // namespace

bool CSftpClient::TransferFile(const QString& remotePath, const QString& localPath, bool, bool download)
{
    m_bCancelled = false;
    const CRemotePath remote = CRemotePath::FromServer(remotePath);
    QByteArray serverPath;
    if (remote.IsRoot()) {
        m_strReply = LoadString(IDS_SFTP_REFUSED_PATH).arg(remotePath);
        return false;
    }
    if (!ServerPath(remote, serverPath))
        return false;
    CProgressScope progress(remotePath);
    const bool done = download ? Download(remote, localPath) : Upload(localPath, remote);
    if (m_bCancelled)
        progress.MarkHidden(); // PollCancel has hidden the window
    return done;
}

bool CSftpClient::Download(const CRemotePath& remote, const QString& localPath)
{
    CDownloadFile file(localPath);
    if (!file.Open()) {
        m_strReply = CSystemReason::Append(LoadString(IDS_CANNOT_OPEN_LOCAL_FILE),
                                           CSystemReason::FolderNotWritable(QFileInfo(localPath).absolutePath()));
        return false;
    }
    // A link the other side ended goes on after a new logon from the bytes
    // already in the file; a refusal, a time-out or a cancel ends it.
    CFtpResumePolicy policy(true);
    qint64 count = 0;
    for (;;) {
        const qint64 before = count;
        if (ReceiveFile(remote, file, count))
            break;
        if (!m_bLost || m_bCancelled || !RecoverFromBreak(policy, count > before))
            return false;
    }
    // Pieces make the whole only where the server's count says so; a server
    // that gives no size is taken at its word, as for uploads.
    qint64 size = count;
    if (policy.Retried() && StatAcrossBreaks(policy, remote, size) && size != count) {
        m_strReply = LoadString(IDS_FTP_DOWNLOAD_SIZE).arg(size).arg(count);
        return false;
    }
    // Only a whole file takes the target's place.
    if (!IsOpen() || !file.Commit()) {
        if (IsOpen())
            m_strReply = CSystemReason::Append(LoadString(IDS_FILE_ERROR), file.Failure());
        return false;
    }
    return true;
}

bool CSftpClient::ReceiveFile(const CRemotePath& remote, CDownloadFile& file, qint64& count)
{
    QByteArray serverPath;
    if (!ServerPath(remote, serverPath))
        return false;
    long rc = 0;
    LIBSSH2_SFTP_HANDLE* handle = Open(serverPath, LIBSSH2_FXF_READ, 0, LIBSSH2_SFTP_OPENFILE, rc);
    if (!handle)
        return Fail(rc, FromBytes(serverPath));
    libssh2_sftp_seek64(handle, static_cast<libssh2_uint64_t>(count));
    QByteArray block(qMax(1, m_nSftpReadBlockSize), Qt::Uninitialized);
    CProgress& progress = CServices::Progress();
    for (;;) {
        if (Cancelled()) {
            CloseHandle(handle);
            return false;
        }
        const long received =
            Await([&] { return long(libssh2_sftp_read(handle, block.data(), size_t(block.size()))); });
        if (received == 0)
            break;
        if (received < 0) {
            if (received == LIBSSH2_ERROR_SFTP_PROTOCOL)
                CloseHandle(handle);
            return Fail(received, FromBytes(serverPath));
        }
        if (file.write(block.constData(), received) != received) {
            CloseHandle(handle);
            m_strReply = CSystemReason::Append(LoadString(IDS_FILE_ERROR), file.Failure());
            return false;
        }
        count += received;
        progress.SetBytes(count);
    }
    CloseHandle(handle);
    return true;
}

bool CSftpClient::Upload(const QString& localPath, const CRemotePath& remote)
{
    QFile source(localPath);
    if (!source.open(QIODevice::ReadOnly)) {
        m_strReply = CSystemReason::Append(LoadString(IDS_CANNOT_OPEN_LOCAL_FILE),
                                           QStringLiteral("%1: %2").arg(localPath, source.errorString()));
        return false;
    }
    const CRemotePath part = CRemotePath::FromServer(FtpPartPath(remote.Absolute()));
    QByteArray partPath; // refused names end the upload before anything is sent
    if (!ServerPath(part, partPath))
        return false;
    // After a break the next attempt starts from what the server holds of
    // the hidden name: progress is what it gained, not what went out.
    CFtpResumePolicy policy(true);
    qint64 held = 0;
    for (qint64 sent = 0; !SendPart(source, part, held, sent);) {
        if (!m_bLost || m_bCancelled)
            return RemovePart(part);
        qint64 size = 0;
        // Bytes handed over count as progress until the server's count
        // says otherwise: most of a cut attempt's bytes are never confirmed.
        if (!RecoverFromBreak(policy, sent > held || source.pos() > held) || !StatAcrossBreaks(policy, part, size)
            || !policy.Confirm(size > held))
            return false;
        held = qBound(qint64(0), size, source.size());
    }
    qint64 size = source.size();
    if (!StatAcrossBreaks(policy, part, size))
        return false;
    if (size != source.size()) {
        m_strReply = LoadString(IDS_FTP_UPLOAD_SIZE).arg(size).arg(source.size());
        return RemovePart(part);
    }
    return PlaceUpload(part, remote);
}

bool CSftpClient::SendPart(QFile& source, const CRemotePath& part, qint64 from, qint64& sent)
{
    sent = from;
    const QString what = part.Absolute();
    QByteArray partPath;
    if (!ServerPath(part, partPath))
        return false;
    if (!source.seek(from)) {
        m_strReply = CSystemReason::Append(LoadString(IDS_FILE_ERROR), source.errorString());
        return false;
    }
    long rc = 0;
    LIBSSH2_SFTP_HANDLE* handle =
        Open(partPath, LIBSSH2_FXF_WRITE | LIBSSH2_FXF_CREAT | (from == 0 ? LIBSSH2_FXF_TRUNC : 0),
             LIBSSH2_SFTP_S_IRUSR | LIBSSH2_SFTP_S_IWUSR | LIBSSH2_SFTP_S_IRGRP | LIBSSH2_SFTP_S_IROTH,
             LIBSSH2_SFTP_OPENFILE, rc);
    if (!handle)
        return Fail(rc, what);
    libssh2_sftp_seek64(handle, static_cast<libssh2_uint64_t>(from));
    bool done = SendFile(source, handle, what, sent);
    if (IsOpen()) {
        // The server may tell only now that a write failed.
        const long closed = Await([&] { return long(libssh2_sftp_close_handle(handle)); });
        if (done && closed != 0)
            done = Fail(closed, what);
    }
    return done;
}

bool CSftpClient::StatSize(const QByteArray& path, const QString& what, qint64& size)
{
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
    const long rc = Await([&] {
        return long(libssh2_sftp_stat_ex(m_pSftp, path.constData(), static_cast<unsigned int>(path.size()),
                                         LIBSSH2_SFTP_STAT, &attributes));
    });
    if (rc != 0)
        return Fail(rc, what);
    size = (attributes.flags & LIBSSH2_SFTP_ATTR_SIZE) ? qint64(qMin<quint64>(attributes.filesize, LLONG_MAX)) : size;
    return true;
}

bool CSftpClient::StatAcrossBreaks(CFtpResumePolicy& policy, const CRemotePath& remote, qint64& size)
{
    for (;;) {
        QByteArray serverPath;
        if (ServerPath(remote, serverPath) && StatSize(serverPath, remote.Absolute(), size))
            return true;
        if (!m_bLost || m_bCancelled || !RecoverFromBreak(policy, false))
            return false;
    }
}

bool CSftpClient::SendFile(QIODevice& source, LIBSSH2_SFTP_HANDLE* handle, const QString& what, qint64& count)
{
    QByteArray block(qMax(1, m_nSftpBlockSize), Qt::Uninitialized);
    CProgress& progress = CServices::Progress();
    for (;;) {
        if (Cancelled())
            return false;
        const qint64 read = source.read(block.data(), block.size());
        if (read < 0) {
            m_strReply = CSystemReason::Append(LoadString(IDS_FILE_ERROR), source.errorString());
            return false;
        }
        if (read == 0)
            return true;
        // libssh2 answers with the bytes the server has confirmed; the rest of
        // the block is already on the way and is handed over again unchanged.
        for (qint64 offset = 0; offset < read;) {
            const long written = Await(
                [&] { return long(libssh2_sftp_write(handle, block.constData() + offset, size_t(read - offset))); });
            if (written < 0)
                return Fail(written, what);
            offset += written;
            count += written;
            progress.SetBytes(count);
        }
    }
}

bool CSftpClient::RemovePart(const CRemotePath& part)
{
    const QString reason = m_strReply;
    QByteArray path;
    if (IsOpen() && ServerPath(part, path)) {
        Await([&] {
            return long(libssh2_sftp_unlink_ex(m_pSftp, path.constData(), static_cast<unsigned int>(path.size())));
        });
    }
    m_strReply = reason;
    return false;
}

bool CSftpClient::PlaceUpload(const CRemotePath& part, const CRemotePath& remote)
{
    QByteArray partPath, target, old;
    const CRemotePath oldRemote = remote.Parent().Child(OldPath(remote));
    if (!ServerPath(part, partPath) || !ServerPath(remote, target) || !ServerPath(oldRemote, old))
        return false;
    const auto rename = [this](const QByteArray& from, const QByteArray& to) {
        return Await([&] {
            return long(libssh2_sftp_rename_ex(m_pSftp, from.constData(), static_cast<unsigned int>(from.size()),
                                               to.constData(), static_cast<unsigned int>(to.size()), 0));
        });
    };
    const auto unlink = [this](const QByteArray& path) {
        return Await([&] {
            return long(libssh2_sftp_unlink_ex(m_pSftp, path.constData(), static_cast<unsigned int>(path.size())));
        });
    };
    // SFTP version 3 renames onto no existing file: an older target steps
    // aside first, and comes back if the upload cannot take its place.
    bool exists = false;
    bool isFolder = false;
    if (!Exists(target, exists, &isFolder))
        return false;
    // A folder of that name is never moved aside for a file: the upload
    // stays whole under its own name, as over FTP.
    if (isFolder) {
        m_strReply =
            LoadString(IDS_FTP_UPLOAD_KEPT)
                .arg(part.Absolute(), remote.Absolute(), LoadString(IDS_SFTP_TARGET_EXISTS).arg(remote.Absolute()));
        return false;
    }
    if (exists) {
        unlink(old);
        const long aside = rename(target, old);
        if (aside != 0)
            return Fail(aside, remote.Absolute());
    }
    const long placed = rename(partPath, target);
    if (placed != 0) {
        if (exists && IsOpen())
            rename(old, target);
        Fail(placed, remote.Absolute());
        m_strReply = LoadString(IDS_FTP_UPLOAD_KEPT).arg(part.Absolute(), remote.Absolute(), m_strReply);
        return false;
    }
    if (exists)
        unlink(old);
    return true;
}
