// Listings and the simple remote folder operations of CFtpClient.
#include "FtpClient.h"

#include "FtpListing.h"
#include "FtpProtocol.h"

#include "platform/Clock.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace {

// The CWD argument of a listing: "\" becomes "/", a trailing "/" is added,
// and the root alone gives an empty argument.
QString ListingFolderArgument(const QString& path)
{
    QString folder = FtpServerPath(path.endsWith(QLatin1Char('\\')) ? path : path + QLatin1Char('\\'));
    if (folder == QLatin1String("/"))
        folder.clear();
    return folder;
}

bool ReplyStartsWith(const QString& reply, const char* code)
{
    return reply.startsWith(QLatin1String(code));
}

} // namespace

qint64 CFtpClient::ListFolder(QByteArray& listing)
{
    CClock& clock = CServices::Clock();
    if (!Command(QStringLiteral("TYPE I")))
        return 0;

    m_strReply = LoadString(IDS_FTP_NO_SOCKET_NAME);
    QTcpServer listener;
    QString portArgument;
    if (!PrepareActiveData(listener, portArgument))
        return 0;
    clock.Sleep(100);
    clock.Sleep(100);

    if (!Command(QStringLiteral("PORT ") + portArgument))
        return 0;
    clock.Sleep(100);
    if (!SendLine(QStringLiteral("LIST")))
        return 0;
    clock.Sleep(300);
    if (!ReadReply() || m_nReplyClass != 1)
        return 0;
    clock.Sleep(100);

    std::unique_ptr<QTcpSocket> data(AcceptData(listener));
    if (!data)
        return 0;
    listener.close();
    clock.Sleep(100);

    qint64 count = 0;
    for (;;) {
        if (data->bytesAvailable() == 0) {
            if (data->state() != QAbstractSocket::ConnectedState)
                break;
            if (!data->waitForReadyRead(m_nTimeoutMs)) {
                if (data->error() == QAbstractSocket::SocketTimeoutError) {
                    m_strReply = LoadString(IDS_FTP_SOCKET_ERROR);
                    return 0;
                }
                if (data->bytesAvailable() == 0)
                    break;
            }
        }
        const QByteArray block = data->readAll();
        listing.append(block);
        count += block.size();
    }
    data->abort();
    data.reset();
    if (!Command(QString()))
        return 0;
    return count;
}

bool CFtpClient::FetchFolderListing(const QString& path, QByteArray& listing)
{
    const QString folder = ListingFolderArgument(path);
    if (HasFtpLineBreak(folder))
        return Refuse(folder);
    Command(QStringLiteral("CWD /") + folder);
    if (!ReplyStartsWith(m_strReply, "250"))
        return false;
    return ListFolder(listing) != 0;
}

void CFtpClient::ReadRemoteFolder(const QString& path)
{
    m_aRemoteFolders.clear();
    m_aRemoteFiles.clear();
    QByteArray listing;
    if (!FetchFolderListing(path, listing))
        return;
    const QList<CFtpListEntry> entries = ParseFtpListing(listing);
    for (const CFtpListEntry& entry : entries) {
        if (entry.m_bFolder)
            m_aRemoteFolders.append(entry.m_strName);
    }
    for (const CFtpListEntry& entry : entries) {
        if (!entry.m_bFolder)
            m_aRemoteFiles.append(entry.m_strName);
    }
}

void CFtpClient::ListRemoteSubfolders(const QString& path, QStringList& folders)
{
    folders.clear();
    QByteArray listing;
    if (!FetchFolderListing(path, listing))
        return;
    for (const CFtpListEntry& entry : ParseFtpListing(listing)) {
        // These paths are sent back to the server and become local folders.
        if (entry.m_bFolder && IsSafeFtpName(entry.m_strName))
            folders.append(path + QLatin1Char('/') + entry.m_strName);
    }
}

bool CFtpClient::DeleteRemoteFile(const QString& path)
{
    if (HasFtpLineBreak(path))
        return Refuse(path);
    Command(QStringLiteral("DELE /") + path);
    return ReplyStartsWith(m_strReply, "250");
}

bool CFtpClient::RemoveRemoteFolder(const QString& path)
{
    if (HasFtpLineBreak(path))
        return Refuse(path);
    Command(QStringLiteral("RMD /") + path);
    // 250 is the standard answer to RMD; some servers answer 257.
    return ReplyStartsWith(m_strReply, "250") || ReplyStartsWith(m_strReply, "257");
}

bool CFtpClient::MakeRemoteFolder(const QString& parent, const QString& name)
{
    if (HasFtpLineBreak(parent))
        return Refuse(parent);
    if (HasFtpLineBreak(name))
        return Refuse(name);
    // Servers take "/" only; folder copies build parents with "\".
    Command(QStringLiteral("CWD /") + FtpServerPath(parent));
    if (!ReplyStartsWith(m_strReply, "250"))
        return false;
    Command(QStringLiteral("MKD ") + name);
    return ReplyStartsWith(m_strReply, "257");
}

bool CFtpClient::RenameRemote(const QString& oldPath, const QString& newPath)
{
    if (HasFtpLineBreak(oldPath))
        return Refuse(oldPath);
    if (HasFtpLineBreak(newPath))
        return Refuse(newPath);
    Command(QStringLiteral("RNFR /") + oldPath);
    if (!ReplyStartsWith(m_strReply, "350"))
        return false;
    Command(QStringLiteral("RNTO /") + newPath);
    return ReplyStartsWith(m_strReply, "250");
}
