// File transfers of CFtpClient: one file down ("RETR ") or up ("STOR ").
#include "FtpClient.h"

#include "DownloadFile.h"
#include "FtpDataLink.h"
#include "FtpProtocol.h"

#include "platform/ProgressScope.h"
#include "platform/SystemReason.h"
#include "resources/StringTable.h"

#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>

#include <limits>
#include <memory>

namespace {

std::unique_ptr<QFileDevice> OpenLocalFile(const QString& localPath, bool download)
{
    if (download) {
        auto file = std::make_unique<CDownloadFile>(localPath);
        return file->Open() ? std::move(file) : nullptr;
    }
    auto file = std::make_unique<QFile>(localPath);
    return file->open(QIODevice::ReadOnly) ? std::move(file) : nullptr;
}

// Why OpenLocalFile failed: the target's folder takes no new file, or the
// source cannot be read.
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
    bool sent = false;
    if (download)
        return MoveFile(progress, remotePath, localPath, passive, true, sent);

    const QString part = FtpPartPath(remotePath);
    bool whole = false;
    if (MoveFile(progress, part, localPath, passive, false, sent)
        && PlaceUpload(part, remotePath, QFileInfo(localPath).size(), whole))
        return true;
    // What arrived is removed, unless it is whole and only the rename
    // failed: the message then names it. The reason stays.
    if (sent && !whole && IsOpen()) {
        const QString reason = m_strReply;
        Command(QStringLiteral("DELE ") + part);
        m_strReply = reason;
    }
    return false;
}

bool CFtpClient::PlaceUpload(const QString& part, const QString& remotePath, qint64 size, bool& whole)
{
    // The server's own count, where it offers one; otherwise its closing
    // reply is taken as the word that everything arrived.
    qint64 held = 0;
    if (m_features.m_names.contains(QLatin1String("SIZE")) && Command(QStringLiteral("SIZE ") + part)
        && ParseFtpSizeReply(m_strReply.trimmed(), held) && held != size) {
        m_strReply = LoadString(IDS_FTP_UPLOAD_SIZE).arg(held).arg(size);
        return false;
    }
    whole = true;
    Command(QStringLiteral("RNFR ") + part);
    if (FtpReplyClass(m_strReply) == 3 && Command(QStringLiteral("RNTO ") + remotePath))
        return true;
    m_strReply = LoadString(IDS_FTP_UPLOAD_KEPT).arg(part, remotePath, FtpReplyText(m_strReply));
    return false;
}

bool CFtpClient::MoveFile(CProgressScope& progress, const QString& remotePath, const QString& localPath, bool passive,
                          bool download, bool& sent)
{
    const std::unique_ptr<QFileDevice> file = OpenLocalFile(localPath, download);
    if (!file) {
        m_strReply =
            CSystemReason::Append(LoadString(IDS_CANNOT_OPEN_LOCAL_FILE), LocalFileReason(localPath, download));
        return false;
    }
    if (!SetBinaryType())
        return false;
    CFtpDataLink link;
    const QString command = (download ? QStringLiteral("RETR ") : QStringLiteral("STOR ")) + remotePath;
    sent = true;
    if (!OpenDataConnection(command, passive, link))
        return false;

    QTcpSocket& data = *link.Socket();
    const EDataEnd end =
        download ? ReceiveData(data, *file, std::numeric_limits<qint64>::max(), true) : SendData(data, *file);
    if (end == END_CANCELLED)
        progress.MarkHidden(); // PollCancel has hidden the window
    if (FinishTransfer(end, link, *file, download))
        return true;
    // "File error" alone does not say what went wrong with the local file.
    if (m_strReply == LoadString(IDS_FILE_ERROR))
        m_strReply = CSystemReason::Append(
            m_strReply, download ? static_cast<CDownloadFile&>(*file).Failure() : file->errorString());
    return false;
}

bool CFtpClient::FinishTransfer(EDataEnd end, CFtpDataLink& link, QFileDevice& file, bool download)
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
    if (end != END_COMPLETE)
        return EndData(end, link);

    link.Close(m_nTimeoutMs);
    if (!download)
        file.close();
    if (!Command(QString()))
        return false;
    if (download && !static_cast<CDownloadFile&>(file).Commit()) {
        m_strReply = LoadString(IDS_FILE_ERROR);
        return false;
    }
    return true;
}
