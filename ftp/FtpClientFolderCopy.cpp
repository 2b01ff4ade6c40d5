// Folder-tree copies of CFtpClient between a local folder and the server.
#include "FtpClient.h"

#include "FtpProtocol.h"
#include "RemotePath.h"

#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

QString WithSlash(const QString& folder, QChar separator)
{
    return folder.endsWith(separator) ? folder : folder + separator;
}

QString LocalJoin(const QString& folder, const QString& name)
{
    return QDir::toNativeSeparators(WithSlash(QDir::fromNativeSeparators(folder), QLatin1Char('/')) + name);
}

} // namespace

CFtpClient::CCopyScope::CCopyScope(CFtpClient& client) : m_client(client)
{
    m_client.m_bCopying = true;
    m_client.m_bCopyComplete = true;
    m_client.m_strCopyFailure.clear();
    m_client.m_bCopyReachedEnd = false;
    m_client.m_nCopySkipped = 0;
    m_client.m_nCopyFailed = 0;
    m_client.m_knownFolders.clear();
}

CFtpClient::CCopyScope::~CCopyScope()
{
    m_client.m_bCopying = false;
    m_client.m_knownFolders.clear();
}

QString CFtpClient::FolderNotRead(const QString& remoteFolder) const
{
    // m_strReply holds why: the server's reply or the client's own text.
    return LoadString(IDS_FTP_FOLDER_NOT_READ).arg(remoteFolder, m_strReply.trimmed());
}

void CFtpClient::NoteCopyFailure(const QString& text)
{
    ++m_nCopyFailed;
    if (m_bCopyComplete)
        m_strCopyFailure = text;
    m_bCopyComplete = false;
}

bool CFtpClient::EndCopy()
{
    m_bCopyReachedEnd = true;
    m_aTransferFolders.clear();
    // The first thing that went wrong explains the copy better than the
    // last reply, which is usually a success.
    if (!m_bCopyComplete)
        m_strReply = m_strCopyFailure;
    return m_bCopyComplete;
}

bool CFtpClient::UploadFolder(const QString& localFolder, const QString& remoteParent, const QString& name)
{
    const CCopyScope scope(*this);
    if (!MakeRemoteFolder(remoteParent, name)) {
        const QString made = m_strReply;
        if (!ReadRemoteFolder(remoteParent))
            return false;
        if (!IsRemoteFolder(name)) {
            m_strReply = made;
            return false;
        }
    }
    const CRemotePath remoteTop = CRemotePath::FromTree(remoteParent).Child(name);
    const QString localTop = QDir::cleanPath(QDir::fromNativeSeparators(localFolder));
    m_aTransferFolders.clear();
    m_aTransferFolders.append(localTop);
    if (!CreateRemoteSubfolders(localTop, remoteTop))
        return false;

    // Copy of the list: the loop must not see later changes.
    const QStringList folders = m_aTransferFolders;
    for (const QString& folder : folders) {
        const QString relative = folder.mid(localTop.size() + 1);
        if (!UploadFolderFiles(folder, remoteTop.Descendant(relative)))
            return false;
    }
    return EndCopy();
}

bool CFtpClient::CreateRemoteSubfolders(const QString& localFolder, const CRemotePath& remoteFolder)
{
    const QString folder = WithSlash(localFolder, QLatin1Char('/'));
    // Hidden and system folders are copied too; links are not followed, so a
    // link cycle cannot make the copy endless.
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name.isEmpty())
            continue;
        if (!IsSafeFtpName(name)) {
            NoteCopyFailure(LoadString(IDS_FTP_REFUSED_LOCAL_NAME).arg(name));
            continue;
        }
        // A folder that cannot be listed may still be made; "MKD" fails
        // harmlessly when it is there already.
        if (!ReadCopyFolder(remoteFolder) && (m_bCancelled || !IsOpen()))
            return false;
        const bool made = !IsRemoteFolder(name) && MakeRemoteFolder(remoteFolder.Relative(), name);
        if (made)
            NoteRemoteEntry(remoteFolder, name, true);
        if (made || IsRemoteFolder(name)) {
            m_aTransferFolders.append(folder + name);
            if (!CreateRemoteSubfolders(folder + name, remoteFolder.Child(name)))
                return false;
        } else {
            NoteCopyFailure(m_strReply);
        }
    }
    return true;
}

bool CFtpClient::UploadFolderFiles(const QString& localFolder, const CRemotePath& remoteFolder)
{
    const QString folder = WithSlash(localFolder, QLatin1Char('/'));
    // Without QDir::Hidden and QDir::System, hidden files and anything that
    // is not a regular file are left out.
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name.isEmpty())
            continue;
        // Checked before anything is sent: a name that holds "/" or a line
        // break on the wire would write elsewhere or smuggle in a command.
        if (!IsSafeFtpName(name)) {
            NoteCopyFailure(LoadString(IDS_FTP_REFUSED_LOCAL_NAME).arg(name));
            continue;
        }
        // Without the listing nobody knows whether the file would overwrite
        // one on the server: it is not sent.
        if (!ReadCopyFolder(remoteFolder)) {
            if (m_bCancelled)
                return false;
            m_strReply = FolderNotRead(remoteFolder.FolderForm());
            NoteCopyFailure(m_strReply);
            if (!IsOpen())
                return false;
            continue;
        }
        if (IsRemoteFile(name)) {
            const CFileExistAnswer answer = CServices::Prompt().AskFileExist(name);
            if (answer.m_bCancel)
                return false;
            if (answer.m_bSkip) {
                ++m_nCopySkipped;
                continue;
            }
        }
        const bool sent = TransferFile(remoteFolder.Child(name).Absolute(), QDir::toNativeSeparators(folder + name),
                                       m_bPassive, false);
        // A failed upload may have left part of the file behind.
        NoteRemoteEntry(remoteFolder, name, false);
        if (!sent) {
            if (m_bCancelled)
                return false;
            NoteCopyFailure(m_strReply);
            if (!IsOpen())
                return false;
        }
    }
    return true;
}

bool CFtpClient::DownloadFolder(const QString& remoteFolder, const QString& localParent, const QString& name)
{
    const CCopyScope scope(*this);
    const CRemotePath top = CRemotePath::FromTree(remoteFolder);
    m_aTransferFolders.clear();
    m_aTransferFolders.append(top.Relative());
    // The whole tree is known before anything is created: a top folder
    // that cannot be read, a tree without end or a cancel leave nothing.
    QSet<QString> seen{top.Relative()};
    if (!CollectRemoteSubfolders(top, 0, seen))
        return false;

    const QString localTop = LocalJoin(localParent, name);
    QDir().mkdir(localTop);
    const QStringList folders = m_aTransferFolders;
    for (const QString& folder : folders) {
        // The names below the top are plain names (the listing refused any
        // other), so the folder's path reads back as it was written.
        const CRemotePath remote = CRemotePath::FromServer(folder);
        const QString relative = remote.Names().mid(top.Names().size()).join(QLatin1Char('/'));
        const QString local = relative.isEmpty() ? localTop : LocalJoin(localTop, relative);
        QDir().mkdir(local);
        if (!DownloadFolderFiles(local, remote))
            return false;
    }
    return EndCopy();
}

bool CFtpClient::CollectRemoteSubfolders(const CRemotePath& remoteFolder, int depth, QSet<QString>& seen)
{
    QStringList subfolders;
    if (!ListCopySubfolders(remoteFolder, subfolders)) {
        // An unreadable folder is not an empty one: the top folder fails the
        // copy, a folder below it is asked about like a failed file.
        if (m_bCancelled)
            return false;
        m_strReply = FolderNotRead(remoteFolder.Relative());
        if (depth == 0 || !IsOpen())
            return false;
        NoteCopyFailure(m_strReply);
        m_aTransferFolders.removeAll(remoteFolder.Relative());
        return CServices::Prompt().AskError(m_strReply);
    }
    for (const QString& subfolder : subfolders) {
        // A server that lists a folder twice, or lists the same folders in
        // every folder, must not make the copy endless.
        if (seen.contains(subfolder))
            continue;
        if (depth + 1 >= m_nMaxCopyDepth) {
            m_strReply = LoadString(IDS_FTP_TREE_TOO_DEEP).arg(m_nMaxCopyDepth);
            return false;
        }
        if (m_aTransferFolders.size() >= m_nMaxCopyFolders) {
            m_strReply = LoadString(IDS_FTP_TREE_TOO_LARGE).arg(m_nMaxCopyFolders);
            return false;
        }
        seen.insert(subfolder);
        m_aTransferFolders.append(subfolder);
        if (!CollectRemoteSubfolders(CRemotePath::FromServer(subfolder), depth + 1, seen))
            return false;
    }
    return true;
}

bool CFtpClient::DownloadFolderFiles(const QString& localFolder, const CRemotePath& remoteFolder)
{
    if (!ReadCopyFolder(remoteFolder)) {
        if (m_bCancelled)
            return false;
        m_strReply = FolderNotRead(remoteFolder.Relative());
        NoteCopyFailure(m_strReply);
        return IsOpen() && CServices::Prompt().AskError(m_strReply);
    }
    const QStringList files = m_aRemoteFiles;
    for (const QString& name : files) {
        bool ok = false;
        if (!IsSafeFtpName(name)) {
            // Such a name would write outside the target folder.
            RefuseServerName(name);
        } else {
            ok = TransferFile(remoteFolder.Child(name).Absolute(), LocalJoin(localFolder, name), m_bPassive, true);
        }
        if (!ok) {
            NoteCopyFailure(m_strReply);
            if (!IsOpen() || !CServices::Prompt().AskError(m_strReply))
                return false;
        }
    }
    return true;
}

bool CFtpClient::ReadCopyFolder(const CRemotePath& folder)
{
    if (m_eCopyMode == COPY_AS_EXPLORER)
        return ReadRemoteFolder(folder.Relative());
    const auto known = m_knownFolders.constFind(folder.Relative());
    if (known != m_knownFolders.constEnd()) {
        m_aRemoteFolders = known->m_aFolders;
        m_aRemoteFiles = known->m_aFiles;
        return true;
    }
    if (!ReadRemoteFolder(folder.Relative()))
        return false;
    m_knownFolders.insert(folder.Relative(), CKnownFolder{m_aRemoteFolders, m_aRemoteFiles});
    return true;
}

bool CFtpClient::ListCopySubfolders(const CRemotePath& folder, QStringList& subfolders)
{
    if (m_eCopyMode == COPY_AS_EXPLORER)
        return ListRemoteSubfolders(folder.Relative(), subfolders);
    // The same listing gives the files of the folder later.
    subfolders.clear();
    if (!ReadCopyFolder(folder))
        return false;
    for (const QString& name : std::as_const(m_aRemoteFolders)) {
        if (IsSafeFtpName(name))
            subfolders.append(folder.Child(name).Relative());
    }
    return true;
}

void CFtpClient::NoteRemoteEntry(const CRemotePath& folder, const QString& name, bool isFolder)
{
    const auto known = m_knownFolders.find(folder.Relative());
    if (known == m_knownFolders.end())
        return;
    QStringList& names = isFolder ? known->m_aFolders : known->m_aFiles;
    if (!names.contains(name))
        names.append(name);
}
