// File transfers of CFtpClient: one file down ("RETR ") or up ("STOR ").
#include "FtpClient.h"

#include "DownloadFile.h"
#include "FtpDataLink.h"
#include "FtpProtocol.h"

#include "platform/ProgressScope.h"
#include "resources/StringTable.h"

#include <QFile>
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

} // namespace

bool CFtpClient::TransferFile(const QString& remotePath, const QString& localPath, bool passive, bool download)
{
    m_bCancelled = false;
    if (HasFtpLineBreak(remotePath))
        return Refuse(remotePath);

    CProgressScope progress(remotePath);

    const std::unique_ptr<QFileDevice> file = OpenLocalFile(localPath, download);
    if (!file) {
        m_strReply = LoadString(IDS_CANNOT_OPEN_LOCAL_FILE);
        return false;
    }
    if (!SetBinaryType())
        return false;
    CFtpDataLink link;
    const QString command = (download ? QStringLiteral("RETR ") : QStringLiteral("STOR ")) + remotePath;
    if (!OpenDataConnection(command, passive, link))
        return false;

    QTcpSocket& data = *link.Socket();
    const EDataEnd end =
        download ? ReceiveData(data, *file, std::numeric_limits<qint64>::max(), true) : SendData(data, *file);
    if (end == END_CANCELLED)
        progress.MarkHidden(); // PollCancel has hidden the window
    return FinishTransfer(end, link, *file, download);
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
