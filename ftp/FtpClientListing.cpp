// Listings and the simple remote folder operations of CFtpClient.
#include "FtpClient.h"

#include "FtpDataLink.h"
#include "FtpListing.h"
#include "FtpProtocol.h"
#include "RemotePath.h"

#include "platform/ProgressScope.h"
#include "resources/StringTable.h"

#include <QBuffer>
#include <QSslSocket>

#include <algorithm>

namespace {

bool ReplyStartsWith(const QString& reply, const char* code)
{
    return reply.startsWith(QLatin1String(code));
}

// The server does not know or does not carry out the command.
bool IsNotImplemented(const QString& reply)
{
    return ReplyStartsWith(reply, "500") || ReplyStartsWith(reply, "502") || ReplyStartsWith(reply, "504");
}

} // namespace

qint64 CFtpClient::ListFolder(QByteArray& listing)
{
    const qsizetype before = listing.size();
    return ReadListing(listing) ? listing.size() - before : 0;
}

bool CFtpClient::ReadListing(QByteArray& listing)
{
    return ReadListingWith(QStringLiteral("LIST"), listing);
}

bool CFtpClient::ReadListingWith(const QString& command, QByteArray& listing)
{
    m_bCancelled = false;
    if (!SetBinaryType())
        return false;
    CFtpDataLink link;
    m_bListing = true;
    const bool open = OpenDataConnection(command, m_bPassive, link);
    m_bListing = false;
    if (!open)
        return false;

    // The listing is bounded in size; Cancel stops it where a Transfer
    // window is shown.
    QBuffer buffer(&listing);
    buffer.open(QIODevice::WriteOnly | QIODevice::Append);
    const EDataEnd end = ReceiveData(*link.Socket(), buffer, m_nMaxListingBytes, m_bCopying);
    if (end != END_COMPLETE)
        return EndData(end, link);
    link.Abort();
    return Command(QString());
}

bool CFtpClient::FetchFolderListing(const QString& path, const QString& command, QByteArray& listing)
{
    // "CWD /Data/Job1/", "CWD /" for the root.
    const QString folder = CRemotePath::FromTree(path).FolderForm();
    if (HasFtpLineBreak(folder))
        return Refuse(folder);
    Command(QStringLiteral("CWD /") + folder);
    if (!ReplyStartsWith(m_strReply, "250"))
        return false;
    if (!m_bCopying)
        return ReadListingWith(command, listing);
    // During a folder copy the Transfer window shows the listing too, so
    // that Cancel can stop a listing that will not end.
    CProgressScope progress(QLatin1Char('/') + folder);
    const bool read = ReadListingWith(command, listing);
    if (m_bCancelled)
        progress.MarkHidden();
    return read;
}

bool CFtpClient::ListEntries(const QString& path, QList<CFtpListEntry>& entries)
{
    entries.clear();
    m_nUnreadListingLines = 0;
    QByteArray listing;
    if (m_features.m_bMlsd && !m_bMlsdRefused) {
        if (FetchFolderListing(path, QStringLiteral("MLSD"), listing)) {
            // MLSD comes in no defined order; servers sort their LIST output
            // by name, and so a folder looks the same either way.
            entries = ParseFtpMlsdListing(listing, &m_nUnreadListingLines);
            std::stable_sort(entries.begin(), entries.end(),
                             [](const CFtpListEntry& a, const CFtpListEntry& b) { return a.m_strName < b.m_strName; });
            return true;
        }
        // A server that names MLST in its features but does not know MLSD
        // is listed with LIST from now on.
        if (!IsOpen() || m_bCancelled || !IsNotImplemented(m_strReply))
            return false;
        m_bMlsdRefused = true;
        listing.clear();
    }
    if (!FetchFolderListing(path, QStringLiteral("LIST"), listing))
        return false;
    CFtpListContext context;
    context.m_eSystem = m_features.m_eSystem;
    context.m_today = QDate::currentDate();
    entries = ParseFtpListing(listing, context, &m_nUnreadListingLines);
    return true;
}

bool CFtpClient::ReadRemoteFolder(const QString& path)
{
    m_aRemoteFolders.clear();
    m_aRemoteFiles.clear();
    QList<CFtpListEntry> entries;
    if (!ListEntries(path, entries))
        return false;
    for (const CFtpListEntry& entry : entries) {
        if (entry.m_bFolder)
            m_aRemoteFolders.append(entry.m_strName);
    }
    for (const CFtpListEntry& entry : entries) {
        if (!entry.m_bFolder)
            m_aRemoteFiles.append(entry.m_strName);
    }
    return true;
}

bool CFtpClient::ListRemoteSubfolders(const QString& path, QStringList& folders)
{
    folders.clear();
    QList<CFtpListEntry> entries;
    if (!ListEntries(path, entries))
        return false;
    for (const CFtpListEntry& entry : entries) {
        // These paths are sent back to the server and become local folders.
        if (entry.m_bFolder && IsSafeFtpName(entry.m_strName))
            folders.append(CRemotePath::FromTree(path).Child(entry.m_strName).Relative());
    }
    return true;
}

bool CFtpClient::DeleteRemoteFile(const QString& path)
{
    if (HasFtpLineBreak(path))
        return Refuse(path);
    Command(QStringLiteral("DELE ") + CRemotePath::FromServer(path).Absolute());
    return ReplyStartsWith(m_strReply, "250");
}

bool CFtpClient::RemoveRemoteFolder(const QString& path)
{
    if (HasFtpLineBreak(path))
        return Refuse(path);
    Command(QStringLiteral("RMD ") + CRemotePath::FromServer(path).Absolute());
    // 250 is the standard answer to RMD; some servers answer 257.
    return ReplyStartsWith(m_strReply, "250") || ReplyStartsWith(m_strReply, "257");
}

bool CFtpClient::RemoveRemoteTree(const QString& path)
{
    int folders = 0;
    return RemoveRemoteTreeAt(CRemotePath::FromServer(path), 0, folders);
}

bool CFtpClient::CheckTreeBounds(int depth, int& folders)
{
    // A server that lists the same subfolders in every folder must not keep
    // a walk through the tree going for ever.
    if (depth >= m_nMaxCopyDepth) {
        m_strReply = LoadString(IDS_FTP_TREE_TOO_DEEP).arg(m_nMaxCopyDepth);
        return false;
    }
    if (++folders > m_nMaxCopyFolders) {
        m_strReply = LoadString(IDS_FTP_TREE_TOO_LARGE).arg(m_nMaxCopyFolders);
        return false;
    }
    return true;
}

bool CFtpClient::CountRemoteTree(const QString& path, int& files, int& folders)
{
    files = 0;
    folders = 0;
    int listed = 0;
    return CountRemoteTreeAt(CRemotePath::FromServer(path), 0, listed, files, folders);
}

bool CFtpClient::CountRemoteTreeAt(const CRemotePath& path, int depth, int& listed, int& files, int& folders)
{
    if (!CheckTreeBounds(depth, listed) || !ReadRemoteFolder(path.Relative()))
        return false;
    const QStringList subfolders = m_aRemoteFolders;
    files += static_cast<int>(m_aRemoteFiles.size());
    folders += static_cast<int>(subfolders.size());
    for (const QString& name : subfolders) {
        if (!IsSafeFtpName(name))
            return RefuseServerName(name);
        if (!CountRemoteTreeAt(path.Child(name), depth + 1, listed, files, folders))
            return false;
    }
    return true;
}

bool CFtpClient::RemoveRemoteTreeAt(const CRemotePath& path, int depth, int& folders)
{
    if (!CheckTreeBounds(depth, folders))
        return false;
    if (!ReadRemoteFolder(path.Relative()))
        return false;
    const QStringList subfolders = m_aRemoteFolders;
    const QStringList files = m_aRemoteFiles;
    for (const QString& name : files) {
        if (!IsSafeFtpName(name))
            return RefuseServerName(name);
        if (!DeleteRemoteFile(path.Child(name).Relative()))
            return false;
    }
    for (const QString& name : subfolders) {
        if (!IsSafeFtpName(name))
            return RefuseServerName(name);
        if (!RemoveRemoteTreeAt(path.Child(name), depth + 1, folders))
            return false;
    }
    return RemoveRemoteFolder(path.Relative());
}

bool CFtpClient::MakeRemoteFolder(const QString& parent, const QString& name)
{
    if (HasFtpLineBreak(parent))
        return Refuse(parent);
    if (HasFtpLineBreak(name))
        return Refuse(name);
    // Servers take "/" only; the explorer's tree paths have "\".
    Command(QStringLiteral("CWD ") + CRemotePath::FromTree(parent).Absolute());
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
    Command(QStringLiteral("RNFR ") + CRemotePath::FromServer(oldPath).Absolute());
    if (!ReplyStartsWith(m_strReply, "350"))
        return false;
    Command(QStringLiteral("RNTO ") + CRemotePath::FromServer(newPath).Absolute());
    return ReplyStartsWith(m_strReply, "250");
}
