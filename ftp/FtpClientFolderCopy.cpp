// Folder-tree copies of CFtpClient between a local folder and the server.
#include "FtpClient.h"

#include "FtpProtocol.h"

#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFileInfo>

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

void CFtpClient::NoteCopyFailure(const QString& text)
{
    if (m_bCopyComplete)
        m_strCopyFailure = text;
    m_bCopyComplete = false;
}

bool CFtpClient::EndCopy()
{
    m_aTransferFolders.clear();
    // The first thing that went wrong explains the copy better than the
    // last reply, which is usually a success.
    if (!m_bCopyComplete)
        m_strReply = m_strCopyFailure;
    return m_bCopyComplete;
}

bool CFtpClient::UploadFolder(const QString& localFolder, const QString& remoteParent, const QString& name)
{
    m_bCopyComplete = true;
    if (!MakeRemoteFolder(remoteParent, name)) {
        ReadRemoteFolder(remoteParent);
        if (!IsRemoteFolder(name))
            return false;
    }
    const QString remoteTop = remoteParent + QLatin1Char('\\') + name;
    const QString localTop = QDir::cleanPath(QDir::fromNativeSeparators(localFolder));
    m_aTransferFolders.clear();
    m_aTransferFolders.append(localTop);
    CreateRemoteSubfolders(localTop, remoteTop);

    // Copy of the list: the loop must not see later changes.
    const QStringList folders = m_aTransferFolders;
    for (const QString& folder : folders) {
        const QString relative = folder.mid(localTop.size() + 1);
        if (!UploadFolderFiles(folder, remoteTop + QLatin1Char('\\') + relative))
            return false;
    }
    return EndCopy();
}

void CFtpClient::CreateRemoteSubfolders(const QString& localFolder, const QString& remoteFolder)
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
        ReadRemoteFolder(remoteFolder);
        if (IsRemoteFolder(name) || MakeRemoteFolder(remoteFolder, name)) {
            m_aTransferFolders.append(folder + name);
            CreateRemoteSubfolders(folder + name, remoteFolder + QStringLiteral("//") + name);
        } else {
            NoteCopyFailure(m_strReply);
        }
    }
}

bool CFtpClient::UploadFolderFiles(const QString& localFolder, const QString& remoteFolder)
{
    const QString folder = WithSlash(localFolder, QLatin1Char('/'));
    // Without QDir::Hidden and QDir::System, hidden files and anything that
    // is not a regular file are left out.
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    const QString remote = WithSlash(remoteFolder, QLatin1Char('\\'));
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
        ReadRemoteFolder(remote);
        if (IsRemoteFile(name)) {
            const CFileExistAnswer answer = CServices::Prompt().AskFileExist(name);
            if (answer.m_bCancel)
                return false;
            if (answer.m_bSkip)
                continue;
        }
        if (!TransferFile(QLatin1Char('/') + FtpServerPath(remote + name), QDir::toNativeSeparators(folder + name),
                          m_bPassive, false)) {
            if (m_bCancelled)
                return false;
            NoteCopyFailure(m_strReply);
        }
    }
    return true;
}

bool CFtpClient::DownloadFolder(const QString& remoteFolder, const QString& localParent, const QString& name)
{
    m_bCopyComplete = true;
    const QString localTop = LocalJoin(localParent, name);
    QDir().mkdir(localTop);
    m_aTransferFolders.clear();
    m_aTransferFolders.append(remoteFolder);
    CollectRemoteSubfolders(remoteFolder);

    const QStringList folders = m_aTransferFolders;
    for (const QString& folder : folders) {
        QString relative = folder.mid(remoteFolder.size() + 1);
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString local = relative.isEmpty() ? localTop : LocalJoin(localTop, relative);
        QDir().mkdir(local);
        if (!DownloadFolderFiles(local, folder))
            return false;
    }
    return EndCopy();
}

void CFtpClient::CollectRemoteSubfolders(const QString& remoteFolder)
{
    QStringList subfolders;
    ListRemoteSubfolders(remoteFolder, subfolders);
    for (const QString& subfolder : subfolders) {
        m_aTransferFolders.append(subfolder);
        CollectRemoteSubfolders(subfolder);
    }
}

bool CFtpClient::DownloadFolderFiles(const QString& localFolder, const QString& remoteFolder)
{
    ReadRemoteFolder(remoteFolder);
    const QStringList files = m_aRemoteFiles;
    for (const QString& name : files) {
        bool ok = false;
        if (!IsSafeFtpName(name)) {
            // Such a name would write outside the target folder.
            m_strReply = LoadString(IDS_FTP_REFUSED_SERVER_NAME)
                             .arg(QString(name)
                                      .replace(QLatin1Char('\r'), QLatin1Char(' '))
                                      .replace(QLatin1Char('\n'), QLatin1Char(' ')));
        } else {
            ok = TransferFile(QLatin1Char('/') + FtpServerPath(remoteFolder + QLatin1Char('/') + name),
                              LocalJoin(localFolder, name), m_bPassive, true);
        }
        if (!ok) {
            NoteCopyFailure(m_strReply);
            if (!CServices::Prompt().AskError(m_strReply))
                return false;
        }
    }
    return true;
}
