// The commands that act in place on one local or remote file or folder:
// Delete, New Folder, renaming by label editing, and View.
#include "FtpNodes.h"
#include "TessaroView.h"

#include "ftp/FtpClient.h"
#include "ftp/FtpProtocol.h"
#include "platform/LocalPaths.h"
#include "platform/LocalUtils.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>

namespace {

// A label holds at most this many characters.
constexpr int kMaxLabelLength = 99;

// Anything at the path, a link that points nowhere included.
bool EntryExists(const QString& nativePath)
{
    const QFileInfo info(nativePath);
    return info.exists() || info.isSymLink();
}

// A name that stays in the folder it is given for: not "." or "..", and no
// separator of either side that would make it a path.
bool IsPlainName(const QString& name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() == 0)
            return false;
    }
    return true;
}

// What the label editor's text renames to: its first line.
QString FirstLine(const QString& text)
{
    qsizetype end = 0;
    while (end < text.size() && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n'))
        ++end;
    return text.left(qMin<qsizetype>(end, kMaxLabelLength));
}

// Keeps a window from taking input while the editor runs: input given to a
// disabled window is dropped instead of being carried out afterwards.
class CInputBlock
{
public:
    explicit CInputBlock(QWidget* window) : m_pWindow(window), m_pFocus(QApplication::focusWidget())
    {
        m_pWindow->setEnabled(false);
    }
    ~CInputBlock()
    {
        QCoreApplication::processEvents();
        m_pWindow->setEnabled(true);
        if (m_pFocus)
            m_pFocus->setFocus();
    }
    CInputBlock(const CInputBlock&) = delete;
    CInputBlock& operator=(const CInputBlock&) = delete;

private:
    QWidget* m_pWindow;
    QPointer<QWidget> m_pFocus;
};

} // namespace

QString CTessaroView::LocalTreePath(const QTreeWidgetItem* node) const
{
    return node == m_pMyComputer ? QString() : NodePath(node);
}

// ---- Delete ---------------------------------------------------------------

bool CTessaroView::CanDelete(const QTreeWidgetItem* node) const
{
    // Deleting the root "FTP" would remove a folder named FTP at the server's
    // root; the root itself is never deleted.
    const CNodeData data = CNodeData::Of(node);
    return data.m_bHasData || (data.IsFileOrFolder() && node != m_pFtpRoot);
}

void CTessaroView::OnDelete()
{
    QTreeWidgetItem* node = currentItem();
    const CNodeData data = CNodeData::Of(node);
    if (data.m_bHasData) {
        m_instrumentTree.Erase(node);
        return;
    }
    switch (data.m_nKind) {
    case NK_LOCAL_FILE:
    case NK_LOCAL_FOLDER:
        DeleteLocal(node, data.Is(NK_LOCAL_FOLDER));
        break;
    case NK_FTP_FILE:
    case NK_FTP_FOLDER:
        if (node != m_pFtpRoot)
            DeleteRemote(node, data.Is(NK_FTP_FOLDER));
        break;
    default:
        break;
    }
}

void CTessaroView::DeleteLocal(QTreeWidgetItem* node, bool folder)
{
    QString path;
    if (!LocalPath(node, path))
        return;
    CWaitCursor wait;
    const QFileInfo info(path);
    bool deleted = false;
    if (info.isSymLink()) {
        // A link is removed itself; what it points to is never touched.
        deleted = QFile::remove(path);
    } else if (folder) {
        deleted = DeleteLocalTree(path);
    } else {
        // As in a folder tree, a read-only file is not deleted.
        deleted = (info.permissions() & QFileDevice::WriteOwner) && QFile::remove(path);
    }
    if (!deleted) {
        ShowError(LoadString(folder ? IDS_CANNOT_DELETE_FOLDER : IDS_CANNOT_DELETE_FILE));
        return;
    }
    Relist(node->parent());
}

void CTessaroView::DeleteRemote(QTreeWidgetItem* node, bool folder)
{
    if (!FtpLogOn())
        return;
    const QString path = FtpRemote(node).Relative();
    const QString parent = FtpRemote(node->parent()).Relative();
    const QString name = node->text(0);
    // A folder goes with everything in it, and Delete is also Ctrl+X, which
    // many press meaning Cut: a folder that holds anything is asked about.
    if (folder && !ConfirmRemoteTreeDelete(node->text(0), path))
        return;
    CWaitCursor wait;
    if (!m_ftpSession.Run([&](CFtpClient& client) {
            // Repeated after a lost connection: the first try may have
            // removed it, and a second DELE or RMD would then be refused.
            if (m_ftpSession.IsRepeat() && client.ReadRemoteFolder(parent) && !client.IsRemoteFile(name)
                && !client.IsRemoteFolder(name))
                return true;
            return folder ? client.RemoveRemoteTree(path) : client.DeleteRemoteFile(path);
        })) {
        wait.Restore();
        ShowError(FtpReplyText(m_ftpSession.Client().m_strReply));
        return;
    }
    Relist(node->parent());
}

bool CTessaroView::ConfirmRemoteTreeDelete(const QString& label, const QString& path)
{
    int files = 0;
    int folders = 0;
    bool counted = false;
    {
        CWaitCursor wait(LoadString(IDS_STATUS_COUNTING).arg(label));
        counted = m_ftpSession.Run([&](CFtpClient& client) { return client.CountRemoteTree(path, files, folders); });
    }
    // What cannot be counted could not be removed either.
    if (!counted) {
        ShowError(FtpReplyText(m_ftpSession.Client().m_strReply));
        return false;
    }
    if (files == 0 && folders == 0)
        return true;
    const QString question =
        LoadString(IDS_CONFIRM_FOLDER_DELETE).arg(label, QString::number(files), QString::number(folders));
    return CServices::Prompt().MessageBox(question, QString(), MB_YESNO, MB_ICONQUESTION) == IDYES;
}

// ---- New Folder -----------------------------------------------------------

bool CTessaroView::CanNewFolder(const CNodeData& data) const
{
    return data.Is(NK_LOCAL_FOLDER) || data.Is(NK_FTP_FOLDER);
}

void CTessaroView::OnNewFolder()
{
    QTreeWidgetItem* folder = currentItem();
    if (CNodeData::Of(folder).Is(NK_LOCAL_FOLDER))
        NewLocalFolder(folder);
    else if (CNodeData::Of(folder).Is(NK_FTP_FOLDER))
        NewRemoteFolder(folder);
}

void CTessaroView::NewLocalFolder(QTreeWidgetItem* folder)
{
    QString parent;
    if (!LocalPath(folder, parent))
        return;
    const QDir parentDir(parent);
    const QString base = LoadString(IDS_NEW_FOLDER);
    QString name = base;
    for (int n = 2; EntryExists(parentDir.filePath(name)); ++n)
        name = QStringLiteral("%1(%2)").arg(base).arg(n);
    if (!parentDir.mkdir(name)) {
        ShowError(LoadString(IDS_CANNOT_CREATE_FOLDER));
        return;
    }
    QTreeWidgetItem* created = nullptr;
    if (folder->isExpanded()) {
        created = AddNode(folder, name, CNodeImages::IMG_FOLDER, {NK_LOCAL_FOLDER, 0, false});
    } else {
        // A closed folder holds only its placeholder: it is listed and opened
        // so that the new folder's label can be seen while it is edited.
        Relist(folder);
        folder->setExpanded(true);
        for (int i = 0; i < folder->childCount() && !created; ++i)
            created = folder->child(i)->text(0) == name ? folder->child(i) : nullptr;
    }
    if (created)
        m_pendingEdit = QPersistentModelIndex(indexFromItem(created));
}

void CTessaroView::NewRemoteFolder(QTreeWidgetItem* folder)
{
    CNameRequest request;
    request.m_strTitle = LoadString(IDS_ENTER_FOLDER_NAME);
    request.m_strName = LoadString(IDS_NEW_FOLDER);
    // The one empty "existing" name refuses an empty answer.
    request.m_existingNames = QStringList(QString());
    if (!CServices::Prompt().AskName(request))
        return;
    const QString name = request.m_strName;
    if (!IsPlainName(name)) {
        ShowError(LoadString(IDS_NOT_PLAIN_NAME).arg(name));
        return;
    }
    if (!IsFtpSendableName(name)) {
        ShowError(LoadString(IDS_FTP_NAME_NOT_SENDABLE).arg(name));
        return;
    }
    if (!FtpLogOn())
        return;
    CWaitCursor wait;
    const QString parent = FtpRemote(folder).Relative();
    if (!m_ftpSession.Run([&](CFtpClient& client) { return client.MakeRemoteFolder(parent, name); })) {
        ShowError(FtpReplyText(m_ftpSession.Client().m_strReply));
        return;
    }
    Relist(folder);
    folder->setExpanded(true);
}

// ---- Renaming by label editing ---------------------------------------------

bool CTessaroView::CanRename(const QTreeWidgetItem* node) const
{
    // The root "FTP" is no folder of its own on the server: renaming it would
    // rename a folder named FTP at the server's root.
    return node && !m_nBusy && node != m_pFtpRoot && CNodeData::Of(node).IsFileOrFolder();
}

bool CTessaroView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (!CanRename(itemFromIndex(index)))
        return false;
    if (!QTreeWidget::edit(index, trigger, event))
        return false;
    // A second click only arms a timer; the editor opens when it runs out.
    if (auto* editor = qobject_cast<QLineEdit*>(indexWidget(index))) {
        editor->setMaxLength(kMaxLabelLength);
        m_editedIndex = QPersistentModelIndex(index);
        m_bEditCommitted = false;
    }
    return true;
}

void CTessaroView::commitData(QWidget* editor)
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line || !m_editedIndex.isValid() || indexWidget(m_editedIndex) != editor)
        return;
    m_strEditedText = line->text();
    m_bEditCommitted = true;
}

void CTessaroView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool edited = m_editedIndex.isValid() && indexWidget(m_editedIndex) == editor;
    const QPersistentModelIndex index = m_editedIndex;
    const bool committed = edited && m_bEditCommitted;
    if (edited) {
        m_editedIndex = QPersistentModelIndex();
        m_bEditCommitted = false;
    }
    QTreeWidget::closeEditor(editor, hint);
    if (committed && index.isValid())
        RenameNode(itemFromIndex(index), m_strEditedText);
}

void CTessaroView::StartPendingEdit()
{
    const QPersistentModelIndex index = m_pendingEdit;
    m_pendingEdit = QPersistentModelIndex();
    if (QTreeWidgetItem* node = index.isValid() ? itemFromIndex(index) : nullptr) {
        setCurrentItem(node);
        scrollToItem(node);
        editItem(node);
    }
}

void CTessaroView::RenameNode(QTreeWidgetItem* node, const QString& text)
{
    if (!CanRename(node))
        return;
    const QString name = FirstLine(text);
    // An emptied or unchanged label renames nothing.
    if (name.isEmpty() || name == node->text(0))
        return;
    if (!IsPlainName(name)) {
        ShowError(LoadString(IDS_NOT_PLAIN_NAME).arg(name));
        return;
    }
    {
        CBusyGuard busy(m_nBusy);
        const QString oldPath = NodePath(node);
        const qsizetype cut = oldPath.lastIndexOf(QLatin1Char('\\'));
        const QString newPath = cut > 0 ? oldPath.left(cut + 1) + name : name;
        if (CNodeData::Of(node).Is(NK_LOCAL_FILE) || CNodeData::Of(node).Is(NK_LOCAL_FOLDER))
            RenameLocal(node, name);
        else
            RenameRemote(node, oldPath, newPath);
    }
    emit CommandStateChanged();
}

void CTessaroView::RenameLocal(QTreeWidgetItem* node, const QString& name)
{
    QString from;
    if (!LocalPath(node, from))
        return;
    // The new name is a plain name: it stays in the folder of the old one.
    const QString to = QFileInfo(from).dir().filePath(name);
    // Never onto an existing entry: a file system may replace it silently.
    if (EntryExists(to))
        return;
    const bool moved = CNodeData::Of(node).Is(NK_LOCAL_FILE) ? QFile::rename(from, to) : QDir().rename(from, to);
    if (moved)
        node->setText(0, name);
}

void CTessaroView::RenameRemote(QTreeWidgetItem* node, const QString& oldPath, const QString& newPath)
{
    const QString name = newPath.mid(newPath.lastIndexOf(QLatin1Char('\\')) + 1);
    if (!IsFtpSendableName(name)) {
        ShowError(LoadString(IDS_FTP_NAME_NOT_SENDABLE).arg(name));
        return;
    }
    if (!FtpLogOn())
        return;
    CWaitCursor wait;
    // Servers rename onto an existing file or empty folder and so destroy
    // it; a name the folder already holds is refused first.
    bool taken = false;
    const QString oldName = node->text(0);
    const bool renamed = m_ftpSession.Run([&](CFtpClient& client) {
        client.ReadRemoteFolder(FtpRemote(node->parent()).Relative());
        taken = client.IsRemoteFile(name) || client.IsRemoteFolder(name);
        // Repeated after a lost connection: the RNTO may have got through.
        if (m_ftpSession.IsRepeat() && taken && !client.IsRemoteFile(oldName) && !client.IsRemoteFolder(oldName)) {
            taken = false;
            return true;
        }
        return !taken
            && client.RenameRemote(CRemotePath::FromTree(oldPath).Relative(),
                                   CRemotePath::FromTree(newPath).Relative());
    });
    if (taken) {
        ShowError(LoadString(IDS_DUPLICATE_NAME));
        return;
    }
    if (!renamed) {
        ShowError(FtpReplyText(m_ftpSession.Client().m_strReply));
        return;
    }
    node->setText(0, name);
}

// ---- View -----------------------------------------------------------------

void CTessaroView::OnView()
{
    QString path;
    if (!LocalPath(currentItem(), path))
        return;
    CInputBlock block(window());
    // The editor's result is not looked at: it reports on its own.
    RunProgram(QStringLiteral("Quillon.exe"), QLatin1Char('"') + path + QLatin1Char('"'));
}
