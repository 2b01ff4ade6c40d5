// File transfers of CFtpClient: one file down ("RETR ") or up ("STOR "),
// each attempt of it, and its closing checks.
#include "FtpClient.h"

#include "DownloadFile.h"
#include "FtpDataLink.h"
#include "FtpProtocol.h"
#include "FtpResume.h"

#include "platform/ProgressScope.h"
#include "platform/SystemReason.h"
#include "resources/StringTable.h"

#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>

#include <limits>

namespace {

// Why the local file of a download could not be made, or the source of an
// upload not read.
QString LocalFileReason(const QString& localPath, bool download)
{
    if (download)
        return CSystemReason::FolderNotWritable(QFileInfo(localPath).absolutePath());
    QFile file(localPath);
    return file.open(QIODevice::ReadOnly) ? QString() : QStringLiteral("%1: %2").arg(localPath, file.errorString());
}

} // namespace

bool CFtpClient::TransferFile(const QString& remotePath, const QString& localPath, bool passive, bool download)
{
    m_bCancelled = false;
    if (HasFtpLineBreak(remotePath))
        return Refuse(remotePath);
    CProgressScope progress(remotePath);
    m_nShownBytes = 0;
    const bool done = download ? Download(progress, remotePath, localPath, passive)
                               : Upload(progress, remotePath, localPath, passive);
    m_nDataBase = 0;
    m_nShownBytes = 0;
    return done;
}

bool CFtpClient::NoLocalFile(const QString& localPath, bool download)
{
    m_strReply = CSystemReason::Append(LoadString(IDS_CANNOT_OPEN_LOCAL_FILE), LocalFileReason(localPath, download));
    return false;
}

bool CFtpClient::Download(CProgressScope& progress, const QString& remotePath, const QString& localPath, bool passive)
{
    CDownloadFile file(localPath);
    if (!file.Open())
        return NoLocalFile(localPath, true);
    CFtpResumePolicy policy(m_features.m_bRestStream);
    bool sent = false;
    for (;;) {
        const qint64 before = file.pos();
        if (MoveFile(progress, remotePath, file, before, passive, true, sent)) {
            const QString closing = m_strReply;
            const ESizeCheck size = CheckSize(remotePath, file.pos(), true, policy.Retried());
            m_strReply = size == SIZE_DIFFERENT ? m_strReply : closing;
            if (size == SIZE_SAME)
                break;
            if (size == SIZE_DIFFERENT)
                return false;
        } else if (!AttemptBroke()) {
            // "File error" alone does not say what went wrong with the file.
            if (m_strReply == LoadString(IDS_FILE_ERROR))
                m_strReply = CSystemReason::Append(m_strReply, file.Failure());
            return false;
        }
        if (!RecoverFromBreak(policy, file.pos() > before))
            return false;
        // Without REST the server sends the file from its start again.
        if (!policy.CanResume() && !(file.resize(0) && file.seek(0)))
            return false;
    }
    const QString closing = m_strReply; // the caller sees the server's last word on the file
    // The checksum is computed over what is on the disk.
    if (!file.flush()) {
        m_strReply = CSystemReason::Append(LoadString(IDS_FILE_ERROR), file.Failure());
        return false;
    }
    if (!CheckHash(remotePath, file.fileName(), true))
        return false;
    if (!file.Commit()) {
        m_strReply = CSystemReason::Append(LoadString(IDS_FILE_ERROR), file.Failure());
        return false;
    }
    m_strReply = closing;
    return true;
}

bool CFtpClient::Upload(CProgressScope& progress, const QString& remotePath, const QString& localPath, bool passive)
{
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return NoLocalFile(localPath, false);
    const QString part = FtpPartPath(remotePath);
    CFtpResumePolicy policy(m_features.m_bRestStream);
    bool sent = false;
    qint64 offset = 0;
    for (;;) {
        if (MoveFile(progress, part, file, offset, passive, false, sent)) {
            const ESizeCheck size = CheckSize(part, file.size(), false, policy.Retried());
            if (size == SIZE_SAME)
                break;
            if (size == SIZE_DIFFERENT)
                return DropPart(part, sent);
        } else if (!AttemptBroke()) {
            if (m_strReply == LoadString(IDS_FILE_ERROR))
                m_strReply = CSystemReason::Append(m_strReply, file.errorString());
            return DropPart(part, sent);
        }
        if (!RecoverFromBreak(policy, file.pos() > offset))
            return DropPart(part, sent);
        const qint64 previous = offset;
        offset = policy.CanResume() ? HeldBytes(part, file.size()) : 0;
        if (!policy.Confirm(offset > previous))
            return DropPart(part, sent);
        if (!file.seek(offset))
            return false;
    }
    if (!CheckHash(part, localPath, false))
        return DropPart(part, sent);
    return PlaceUpload(part, remotePath);
}

qint64 CFtpClient::HeldBytes(const QString& part, qint64 localSize)
{
    // What the server cannot tell, or more than there is to send, is sent
    // again from the start.
    qint64 held = 0;
    if (!AskRemoteSize(part, held, true) || held < 0 || held > localSize)
        return 0;
    return held;
}

bool CFtpClient::DropPart(const QString& part, bool sent)
{
    // What arrived is removed; the reason stays.
    if (sent && IsOpen()) {
        const QString reason = m_strReply;
        Command(QStringLiteral("DELE ") + part);
        m_strReply = reason;
    }
    return false;
}

bool CFtpClient::PlaceUpload(const QString& part, const QString& remotePath)
{
    Command(QStringLiteral("RNFR ") + part);
    if (FtpReplyClass(m_strReply) == 3 && Command(QStringLiteral("RNTO ") + remotePath))
        return true;
    m_strReply = LoadString(IDS_FTP_UPLOAD_KEPT).arg(part, remotePath, FtpReplyText(m_strReply));
    return false;
}

bool CFtpClient::MoveFile(CProgressScope& progress, const QString& remotePath, QFileDevice& file, qint64 offset,
                          bool passive, bool download, bool& sent)
{
    m_eDataEnd = END_COMPLETE;
    m_nDataBase = offset;
    if (!SetBinaryType())
        return false;
    CFtpDataLink link;
    const QString command = (download ? QStringLiteral("RETR ") : QStringLiteral("STOR ")) + remotePath;
    sent = true;
    m_nRestOffset = offset;
    bool open = OpenDataConnection(command, passive, link);
    m_nRestOffset = 0;
    // A server that takes REST before RETR only appends to what it holds.
    if (!open && !download && m_bRestRefused && IsOpen()) {
        link.Abort();
        open = OpenDataConnection(QStringLiteral("APPE ") + remotePath, passive, link);
    }
    if (!open)
        return false;

    QTcpSocket& data = *link.Socket();
    const EDataEnd end =
        download ? ReceiveData(data, file, std::numeric_limits<qint64>::max(), true) : SendData(data, file);
    if (end == END_CANCELLED)
        progress.MarkHidden(); // PollCancel has hidden the window
    return FinishTransfer(end, link, download);
}

bool CFtpClient::FinishTransfer(EDataEnd end, CFtpDataLink& link, bool download)
{
    QTcpSocket& data = *link.Socket();
    // An upload is complete once everything queued has left; closing the
    // data connection then tells the server that the file has ended.
    // The server never closes an upload's connection first: if it is gone,
    // the data did not all arrive, whatever the server says next.
    if (end == END_COMPLETE && !download && data.state() != QAbstractSocket::ConnectedState)
        end = END_BROKEN;
    if (end == END_COMPLETE && !download) {
        while (data.bytesToWrite() > 0) {
            if (!data.waitForBytesWritten(m_nTimeoutMs)) {
                end = data.error() == QAbstractSocket::SocketTimeoutError ? END_STALLED : END_BROKEN;
                break;
            }
        }
    }
    m_eDataEnd = end;
    if (end != END_COMPLETE)
        return EndData(end, link);
    link.Close(m_nTimeoutMs);
    return Command(QString());
}
