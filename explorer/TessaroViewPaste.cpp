// Copy and paste between the handheld's files, the FTP server and the
// instrument. PasteAction decides what a paste does; this carries it out.
#include "ExplorerClip.h"
#include "FtpNodes.h"
#include "PasteRules.h"
#include "TessaroView.h"

#include "ftp/FtpClient.h"
#include "ftp/FtpProtocol.h"
#include "platform/Clock.h"
#include "platform/LocalPaths.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>

namespace {

// A staging file of the explorer ("tempftp", "FTP-INSTRUMENT"). Nothing left
// from an earlier paste is taken for new data, and the file is gone when the
// paste ends, on success, failure or cancel.
class CStagingFile
{
public:
    explicit CStagingFile(const QString& name) : m_strPath(CLocalPaths::StagingPath(name)) { QFile::remove(m_strPath); }
    ~CStagingFile() { QFile::remove(m_strPath); }
    CStagingFile(const CStagingFile&) = delete;
    CStagingFile& operator=(const CStagingFile&) = delete;

    const QString& Path() const { return m_strPath; }

private:
    QString m_strPath;
};

// The native path of the copied local node; its names were checked at Copy.
bool ClipNativePath(const CExplorerClip& clip, QString& nativePath)
{
    if (CLocalPaths::ToNative(clip.m_strPath, nativePath))
        return true;
    ShowError(LoadString(IDS_PATH_LEAVES_ROOT).arg(clip.m_strPath));
    return false;
}

// A folder of a unique name made in a local folder for as long as it lives.
// It is not hidden: a server may leave hidden names out of its listings.
class CLocalProbe
{
public:
    explicit CLocalProbe(const QString& nativeFolder)
        : m_strName(QStringLiteral("tessaro-probe-") + QUuid::createUuid().toString(QUuid::Id128)),
          m_strPath(nativeFolder + QLatin1Char('/') + m_strName),
          m_bMade(QDir().mkdir(m_strPath))
    {}
    ~CLocalProbe()
    {
        if (m_bMade)
            QDir().rmdir(m_strPath);
    }
    CLocalProbe(const CLocalProbe&) = delete;
    CLocalProbe& operator=(const CLocalProbe&) = delete;

    bool IsMade() const { return m_bMade; }
    const QString& Name() const { return m_strName; }

private:
    QString m_strName;
    QString m_strPath;
    bool m_bMade;
};

} // namespace

bool CTessaroView::CanCopy(const CNodeData& data) const
{
    return CopySourceKind(data) != 0;
}

void CTessaroView::OnCopy()
{
    QTreeWidgetItem* node = currentItem();
    const CNodeData data = CNodeData::Of(node);
    m_clip.Clear();
    const quint32 kind = CopySourceKind(data);
    if (kind == 0)
        return;
    const bool remote = kind == NK_FTP_FOLDER || kind == NK_FTP_FILE;
    QString native;
    if (!IsInstrumentData(kind) && !remote && !LocalPath(node, native))
        return;
    m_clip.m_nSourceKind = kind;
    m_clip.m_bValid = 1;
    if (IsInstrumentData(kind)) {
        m_clip.m_nNumber = data.m_nNumber;
        return;
    }
    m_clip.m_strPath = remote ? FtpTreePath(node) : NodePath(node);
    m_clip.m_strLabel = node->text(0);
}

bool CTessaroView::CanPaste(const CNodeData& target) const
{
    return m_clip.m_bValid && PasteAction(m_clip.m_nSourceKind, target) != PA_NONE;
}

void CTessaroView::OnPaste()
{
    QTreeWidgetItem* target = currentItem();
    const quint32 source = m_clip.m_nSourceKind;
    QString native; // of the local side: the target folder, or the copied file or folder
    switch (PasteAction(source, CNodeData::Of(target))) {
    case PA_UPLOAD_FOLDER:
        UploadFolder(target);
        break;
    case PA_DOWNLOAD_FOLDER:
        DownloadFolder(target);
        break;
    case PA_RECEIVE_TO_FOLDER:
        if (!LocalPath(target, native))
            break;
        m_instrument.Receive(native, m_clip.m_nNumber, static_cast<int>(source), 0);
        RelistOpen(target);
        break;
    case PA_RECEIVE_TO_SERVER:
        ReceiveToServer(target);
        break;
    case PA_DOWNLOAD_FILE:
        if (!LocalPath(target, native))
            break;
        TransferFile(CRemotePath::FromTree(m_clip.m_strPath).Absolute(), native + QLatin1Char('/') + m_clip.m_strLabel,
                     true);
        RelistOpen(target);
        break;
    case PA_DOWNLOAD_TO_INSTRUMENT:
        DownloadToInstrument(target);
        break;
    case PA_UPLOAD_FILE:
        if (!ClipNativePath(m_clip, native))
            break;
        // A failed upload has told why; a listing failing for the same reason is not told again.
        RelistOpen(target, TransferFile(FtpRemote(target).Child(m_clip.m_strLabel).Absolute(), native, false));
        break;
    case PA_SEND_FILE:
        if (ClipNativePath(m_clip, native))
            m_instrumentTree.Send(native, QString(), target);
        break;
    case PA_NONE:
        break;
    }
}

bool CTessaroView::TransferFile(const QString& remotePath, const QString& nativePath, bool download)
{
    if (!FtpLogOn())
        return false;
    if (!download && !IsFtpSendableName(remotePath)) {
        ShowError(LoadString(IDS_FTP_NAME_NOT_SENDABLE).arg(remotePath));
        return false;
    }
    // A transfer resumes or starts over by itself after a lost connection.
    if (m_ftpSession.Run(
            [&](CFtpClient& client) { return client.TransferFile(remotePath, nativePath, false, download); },
            CFtpSession::NEVER_REPEAT))
        return true;
    // A cancel was the user's own doing; any other failure is told.
    const CFtpClient& client = m_ftpSession.Client();
    if (!client.m_bCancelled)
        ShowError(FtpReplyText(client.m_strReply));
    return false;
}

void CTessaroView::ReceiveToServer(QTreeWidgetItem* target)
{
    CStagingFile staging(QStringLiteral("tempftp"));
    // A receive that fails or is cancelled uploads nothing.
    const int kind = static_cast<int>(m_clip.m_nSourceKind);
    if (!m_instrument.Receive(QStringLiteral("must not be empty"), m_clip.m_nNumber, kind, 1))
        return;
    if (!QFileInfo(staging.Path()).isFile())
        return;
    RelistOpen(target,
               TransferFile(FtpRemote(target).Child(m_instrument.m_strStagingName).Absolute(), staging.Path(), false));
}

void CTessaroView::DownloadToInstrument(QTreeWidgetItem* target)
{
    CStagingFile staging(QStringLiteral("FTP-INSTRUMENT"));
    // A download that failed or was cancelled stops here: the instrument is
    // never sent an older copy, an empty file, or nothing.
    if (!TransferFile(CRemotePath::FromTree(m_clip.m_strPath).Absolute(), staging.Path(), true))
        return;
    m_instrumentTree.Send(staging.Path(), m_clip.m_strLabel, target);
}

void CTessaroView::UploadFolder(QTreeWidgetItem* target)
{
    QString local;
    if (!ClipNativePath(m_clip, local))
        return;
    const QString remoteParent = FtpTreePath(target);
    if (!IsFtpSendableName(m_clip.m_strLabel)) {
        ShowError(LoadString(IDS_FTP_NAME_NOT_SENDABLE).arg(m_clip.m_strLabel));
        return;
    }
    if (!FtpLogOn())
        return;
    if (CopiesIntoItself(remoteParent, local, true)) {
        ShowError(LoadString(IDS_PASTE_INTO_ITSELF));
        return;
    }
    // A folder copy is not repeated: it would ask again about every file.
    m_ftpSession.Run([&](CFtpClient& client) { return client.UploadFolder(local, remoteParent, m_clip.m_strLabel); },
                     CFtpSession::NEVER_REPEAT);
    RelistOpen(target);
}

void CTessaroView::DownloadFolder(QTreeWidgetItem* target)
{
    QString local;
    if (!LocalPath(target, local) || !FtpLogOn())
        return;
    if (CopiesIntoItself(m_clip.m_strPath, local, false)) {
        ShowError(LoadString(IDS_PASTE_INTO_ITSELF));
        return;
    }
    m_ftpSession.Run(
        [&](CFtpClient& client) { return client.DownloadFolder(m_clip.m_strPath, local, m_clip.m_strLabel); },
        CFtpSession::NEVER_REPEAT);
    RelistOpen(target);
}

// A folder copy between this machine and the server reads one folder and
// writes into another; when the server shares a folder of this machine, the
// two can be the same place, which no comparison of paths shows. Such a copy
// would grow without end or overwrite its own source. Nothing is written to
// the server to find out (an account may make folders it cannot remove): a
// probe folder with a unique name is made in nativeFolder, on this side, and
// looked for in listings of the server, which are only read:
// - upload of nativeFolder into remoteFolder: the probe shows in
//   remoteFolder/label (the copy would land on its source) or in
//   remoteFolder or a folder above it (it would land inside its source);
// - download of remoteFolder into nativeFolder: the probe shows in the
//   folder above remoteFolder (the copy would land on its source), or below
//   remoteFolder along the names that lead from a folder above nativeFolder
//   down to it (nativeFolder is remoteFolder or inside it).
// The probe is removed on every way out. Where none can be made here, a
// download could not write here either; an upload's source is then taken as
// not shared.
bool CTessaroView::CopiesIntoItself(const QString& remoteFolder, const QString& nativeFolder, bool upload)
{
    CWaitCursor wait;
    const CLocalProbe probe(nativeFolder);
    if (!probe.IsMade())
        return false;
    const CRemotePath remote = CRemotePath::FromTree(remoteFolder);
    QList<CRemotePath> candidates;
    if (upload) {
        candidates.append(remote.Child(m_clip.m_strLabel));
        for (CRemotePath folder = remote;; folder = folder.Parent()) {
            candidates.append(folder);
            if (folder.IsRoot())
                break;
        }
    } else {
        candidates.append(remote.Parent());
        QStringList below; // names from a folder above nativeFolder down to it
        QDir dir(QFileInfo(nativeFolder).canonicalFilePath());
        for (int depth = 0; depth < CFtpClient::kMaxCopyDepth; ++depth) {
            if (std::all_of(below.cbegin(), below.cend(), IsFtpSendableName))
                candidates.append(remote.Descendant(below.join(QLatin1Char('/'))));
            below.prepend(dir.dirName());
            if (!dir.cdUp())
                break;
        }
    }
    for (const CRemotePath& folder : candidates) {
        if (RemoteFolderHolds(folder, probe.Name()))
            return true;
    }
    return false;
}

bool CTessaroView::RemoteFolderHolds(const CRemotePath& folder, const QString& name)
{
    QList<CFtpListEntry> entries;
    if (!m_ftpSession.Run([&](CFtpClient& client) { return client.ListEntries(folder.Relative(), entries); }))
        return false;
    for (const CFtpListEntry& entry : entries) {
        if (entry.m_bFolder && entry.m_strName == name)
            return true;
    }
    return false;
}

void CTessaroView::Relist(QTreeWidgetItem* node, bool tellFailure)
{
    CWaitCursor wait;
    if (CNodeData::Of(node).Is(NK_FTP_FOLDER)) {
        OpenFtpFolder(node, tellFailure);
        return;
    }
    DeleteChildren(node);
    ListLocalFolder(node, LocalTreePath(node));
}

void CTessaroView::RelistOpen(QTreeWidgetItem* folder, bool tellFailure)
{
    Relist(folder, tellFailure);
    // The command runs busy: the expansion lists nothing a second time.
    folder->setExpanded(true);
}
