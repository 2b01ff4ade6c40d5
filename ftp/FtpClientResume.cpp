// What CFtpClient does when a transfer breaks: whether to go on, the pause,
// the new logon, and how much the server holds; and the checks of size and
// checksum after a transfer.
#include "FtpClient.h"

#include "FtpProtocol.h"
#include "FtpResume.h"
#include "RemotePath.h"

#include "platform/Clock.h"
#include "platform/Progress.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QCryptographicHash>
#include <QFile>

#include <memory>

namespace {

// The local file's digest as lower-case hex, empty when it cannot be read;
// false when the user cancelled meanwhile.
bool LocalDigest(const QString& path, EFtpHash hash, int blockSize, QByteArray& hex)
{
    hex.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QCryptographicHash::Algorithm algorithm = hash == EFtpHash::SHA256 ? QCryptographicHash::Sha256
        : hash == EFtpHash::SHA1                                             ? QCryptographicHash::Sha1
                                                                             : QCryptographicHash::Md5;
    QCryptographicHash digest(algorithm);
    quint32 crc = 0;
    QByteArray block(qMax(1, blockSize), Qt::Uninitialized);
    for (qint64 read = 1; read > 0;) {
        if (CServices::Progress().PollCancel())
            return false;
        read = file.read(block.data(), block.size());
        if (read < 0)
            return true;
        if (hash == EFtpHash::CRC32)
            crc = FtpCrc32(crc, block.constData(), read);
        else
            digest.addData(QByteArrayView(block.constData(), read));
    }
    hex = hash == EFtpHash::CRC32 ? QByteArray::number(crc, 16).rightJustified(8, '0') : digest.result().toHex();
    return true;
}

} // namespace

bool CFtpClient::AttemptBroke() const
{
    // A refusal (5xx, a full disk), a time-out, a local file that cannot be
    // written and a cancel end the transfer; a cut connection does not.
    if (m_bCancelled)
        return false;
    if (m_bConnectionLost || IsFtpBreakReply(m_strReply))
        return true;
    return m_eDataEnd == END_BROKEN && IsOpen() && m_nReplyClass == 2;
}

bool CFtpClient::RecoverFromBreak(CFtpResumePolicy& policy, bool progressed)
{
    // Without a way to log on again a lost connection is not waited for.
    if (!IsOpen() && !m_fnLogOnAgain)
        return false;
    for (int pauseMs = policy.NextPauseMs(progressed); pauseMs >= 0; pauseMs = policy.NextPauseMs(false)) {
        if (!PauseBeforeAttempt(pauseMs))
            return false;
        // A data connection cut under a control connection that is still
        // there needs no new logon.
        if (CheckIdleControl())
            return true;
        if (!m_fnLogOnAgain)
            return false;
        if (m_fnLogOnAgain())
            return true;
        // A logon that failed is an attempt that moved nothing.
        if (m_bCancelled)
            return false;
    }
    return false;
}

bool CFtpClient::PauseBeforeAttempt(int ms)
{
    CProgress& progress = CServices::Progress();
    for (int left = ms; left > 0; left -= kCancelPollMs) {
        if (progress.PollCancel()) {
            m_bCancelled = true;
            m_strReply = LoadString(IDS_FTP_CANCELLED);
            return false;
        }
        CServices::Clock().Sleep(qMin(left, kCancelPollMs));
    }
    return true;
}

bool CFtpClient::AskRemoteSize(const QString& path, qint64& size, bool mayList)
{
    const bool sizes = m_features.m_names.contains(QLatin1String("SIZE"));
    // SIZE counts bytes only in binary mode on some servers.
    if (sizes && !m_bBinaryType && !SetBinaryType())
        return false;
    if (sizes && Command(QStringLiteral("SIZE ") + path) && ParseFtpSizeReply(m_strReply.trimmed(), size))
        return true;
    if (m_features.m_bMlsd && IsOpen() && Command(QStringLiteral("MLST ") + path)
        && ParseFtpMlstSize(m_replyReader.Lines(), size))
        return true;
    if (!mayList || !IsOpen())
        return false;
    // A listing costs a data connection: only a transfer that was resumed
    // asks for it.
    const CRemotePath remote = CRemotePath::FromServer(path);
    QList<CFtpListEntry> entries;
    if (!ListEntries(remote.Parent().Relative(), entries))
        return false;
    for (const CFtpListEntry& entry : std::as_const(entries)) {
        if (entry.m_strName == remote.Name() && !entry.m_bFolder && entry.m_nSize >= 0) {
            size = entry.m_nSize;
            return true;
        }
    }
    return false;
}

CFtpClient::ESizeCheck CFtpClient::CheckSize(const QString& path, qint64 localSize, bool download, bool mayList)
{
    // Without the server's own count its closing reply is taken as the word
    // that everything arrived, unless the connection was lost while asking:
    // a cut that took the control connection may have taken the data's end
    // too, and the next attempt asks again.
    qint64 remoteSize = 0;
    if (!AskRemoteSize(path, remoteSize, mayList))
        return m_bConnectionLost && !m_bCancelled ? SIZE_SHORT : SIZE_SAME;
    if (remoteSize == localSize)
        return SIZE_SAME;
    // The receiver holds less than the sender: the data connection was cut
    // after the sender had handed over the rest.
    if (download ? localSize < remoteSize : remoteSize < localSize)
        return SIZE_SHORT;
    m_strReply = download ? LoadString(IDS_FTP_DOWNLOAD_SIZE).arg(remoteSize).arg(localSize)
                          : LoadString(IDS_FTP_UPLOAD_SIZE).arg(remoteSize).arg(localSize);
    return SIZE_DIFFERENT;
}

bool CFtpClient::CheckHash(const QString& remotePath, const QString& localPath, bool download)
{
    const CFtpHashCommand command = ChooseFtpHash(m_features);
    if (command.m_eHash == EFtpHash::NONE)
        return true;
    // A server that offers a checksum but does not give one leaves the size
    // as the only check.
    if (!command.m_strSelect.isEmpty() && !Command(command.m_strSelect))
        return !m_bCancelled;
    QByteArray remote;
    if (!Command(command.m_strCommand + QLatin1Char(' ') + remotePath)
        || !ParseFtpHashReply(m_strReply, command, remote))
        return !m_bCancelled;
    QByteArray local;
    if (!LocalDigest(localPath, command.m_eHash, m_nBlockSize, local)) {
        m_bCancelled = true;
        m_strReply = LoadString(IDS_FTP_CANCELLED);
        return false;
    }
    if (local == remote)
        return true;
    m_strReply = LoadString(download ? IDS_FTP_DOWNLOAD_HASH : IDS_FTP_UPLOAD_HASH).arg(command.m_strName);
    return false;
}
