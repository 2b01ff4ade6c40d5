#pragma once

#include "ExplorerClip.h"
#include "InstrumentTree.h"
#include "NodeData.h"
#include "NodeImages.h"
#include "NodeTemplate.h"

#include "ftp/FtpSession.h"
#include "ftp/FtpSettings.h"
#include "ftp/RemotePath.h"
#include "instrument/ComInstrument.h"
#include "platform/DialUpLink.h"

#include <QPersistentModelIndex>
#include <QTreeWidget>

#include <functional>
#include <memory>

class CFtpClient;

// The explorer's single tree: the handheld's files under "MyComputer", the
// instrument under "Port1:" and the FTP server under "FTP". It owns the state
// of a run and carries out the menu commands on the selected node.
class CTessaroView : public QTreeWidget
{
    Q_OBJECT

public:
    explicit CTessaroView(QWidget* parent = nullptr);
    ~CTessaroView() override;

    // Builds the image list and the three roots, and lists the top level of
    // the handheld's file system below "MyComputer".
    void OnInitialUpdate();

    QString NodePath(const QTreeWidgetItem* node) const;
    // The native path of a local node ("MyComputer" is the root): the one
    // way from tree labels to the file system. A name holding "\" (legal on
    // Linux) would read as a separator in the node path and lead somewhere
    // else, so such a node, or one below such a folder, is refused with a
    // message; the result never leaves the root.
    bool LocalPath(const QTreeWidgetItem* node, QString& nativePath) const;
    void DeleteChildren(QTreeWidgetItem* node);
    int ListLocalFolder(QTreeWidgetItem* node, const QString& path);

    QTreeWidgetItem* PortRoot() const { return m_instrumentTree.Root(); }
    QTreeWidgetItem* FtpRoot() const { return m_pFtpRoot; }
    QTreeWidgetItem* MyComputerRoot() const { return m_pMyComputer; }
    const CNodeImages& Images() const { return m_images; }

    // The FTP side of the tree. ListFtpFolder logs on once (the session),
    // enters the remote folder at the tree path and lists it below node: the
    // number of nodes added, -1 when logon, folder change or listing failed.
    // Every failure is told unless tellFailure is false (a command that has
    // already told why it failed).
    int ListFtpFolder(QTreeWidgetItem* node, const QString& path, bool tellFailure = true);
    // Lists a remote folder anew; a folder that cannot be listed keeps a
    // placeholder child so that it can be opened again.
    void OpenFtpFolder(QTreeWidgetItem* node, bool tellFailure = true);
    // The tree path of a remote node: empty for the root "FTP".
    QString FtpTreePath(const QTreeWidgetItem* node) const;
    // The server path of a remote node: the root for "FTP".
    CRemotePath FtpRemote(const QTreeWidgetItem* node) const;
    CFtpClient& FtpClient() { return m_ftpSession.Client(); }
    // Puts a new client in place; the old one is logged off when it was
    // logged on, and the next opening logs on again.
    void ReplaceFtpClient(std::unique_ptr<CFtpClient> client);
    bool LoggedOn() const { return m_ftpSession.IsLoggedOn(); }

    bool IsCommandEnabled(int id) const;
    void OnCommand(int id);

    // Whether this machine reaches a network without dialling (Connect is
    // offered only when it does not); replaceable for tests.
    std::function<bool()> m_fnHasRoutableAddress;
    const CDialUpLink& DialUpLink() const { return m_dialUpLink; }

    CComInstrument& Instrument() { return m_instrument; }
    const CExplorerClip& Clip() const { return m_clip; }
    bool InstrumentConnected() const { return m_instrumentTree.Connected(); }

    // Child labels of a node, in order (for tests and diagnostics).
    static QStringList ChildLabels(const QTreeWidgetItem* node);

signals:
    // A command's enabled state may have changed.
    void CommandStateChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // Label editing (F2 or a slow second click) opens only on a file or
    // folder, never on the root "FTP" and never while a command runs.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

protected slots:
    // The edited text is kept instead of written to the label; when the
    // editor has closed, RenameNode decides what the label shows. A cancelled
    // edit commits nothing and so renames nothing.
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private slots:
    void OnItemExpanding(QTreeWidgetItem* node);

private:
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& label, int image, const CNodeData& data);
    QTreeWidgetItem* MakeItem(const CNodeTemplate& draft) const;

    void RunCommand(int id);
    bool CanCopy(const CNodeData& data) const;
    bool CanPaste(const CNodeData& target) const;
    bool CanDelete(const QTreeWidgetItem* node) const;
    bool CanNewFolder(const CNodeData& data) const;
    bool CanRename(const QTreeWidgetItem* node) const;
    void OnRefresh();
    void OnDelete();
    void DeleteLocal(QTreeWidgetItem* node, bool folder);
    void DeleteRemote(QTreeWidgetItem* node, bool folder);
    // Counts what a remote folder holds and, when it holds anything, asks
    // whether it goes with all of it: true to delete.
    bool ConfirmRemoteTreeDelete(const QString& label, const QString& path);
    void OnNewFolder();
    void NewLocalFolder(QTreeWidgetItem* folder);
    void NewRemoteFolder(QTreeWidgetItem* folder);
    void RenameLocal(QTreeWidgetItem* node, const QString& name);
    void RenameRemote(QTreeWidgetItem* node, const QString& oldPath, const QString& newPath);
    void StartPendingEdit();
    // Renames the file or folder of a node to the first line of text, as the
    // end of a label edit does; the label changes only when that was done.
    void RenameNode(QTreeWidgetItem* node, const QString& text);
    void OnView();
    void OnCopy();
    void OnPaste();
    void ReceiveToServer(QTreeWidgetItem* target);
    void DownloadToInstrument(QTreeWidgetItem* target);
    void UploadFolder(QTreeWidgetItem* target);
    void DownloadFolder(QTreeWidgetItem* target);
    bool TransferFile(const QString& remotePath, const QString& nativePath, bool download);
    bool CopiesIntoItself(const QString& remoteFolder, const QString& nativeFolder, bool upload);
    // The server's listing of folder names a folder called name (only read).
    bool RemoteFolderHolds(const CRemotePath& folder, const QString& name);
    // Lists a local or remote folder anew; the roots "MyComputer" and "FTP"
    // list the top level. A remote folder that cannot be listed is told of
    // when tellFailure.
    void Relist(QTreeWidgetItem* node, bool tellFailure = true);
    // Relist, then opens the folder, so that a paste into a closed folder
    // shows what arrived.
    void RelistOpen(QTreeWidgetItem* folder, bool tellFailure = true);
    QString LocalTreePath(const QTreeWidgetItem* node) const;

    bool FtpLogOn();
    void OnFtpSettings();
    void OnCommunicationSettings();
    void OnAbout();
    void OnConnect();
    void OnDisconnect();

    CExplorerClip m_clip;
    CFtpSettings m_ftpSettings;
    CFtpSession m_ftpSession;
    CComInstrument m_instrument;
    CNodeImages m_images;
    CInstrumentTree m_instrumentTree{m_instrument, m_images};
    CDialUpLink m_dialUpLink;

    QTreeWidgetItem* m_pFtpRoot = nullptr;
    QTreeWidgetItem* m_pMyComputer = nullptr;

    struct CBusyGuard
    {
        explicit CBusyGuard(int& busy) : m_nBusy(busy) { ++m_nBusy; }
        ~CBusyGuard() { --m_nBusy; }
        CBusyGuard(const CBusyGuard&) = delete;
        CBusyGuard& operator=(const CBusyGuard&) = delete;
        int& m_nBusy;
    };
    // Set while a command or an opening runs: the Transfer window pumps
    // events, and a second command or opening must not delete the nodes the
    // first one still works on.
    int m_nBusy = 0;

    // The node whose label is being edited, and the text its editor
    // committed (null until it commits).
    QPersistentModelIndex m_editedIndex;
    QString m_strEditedText;
    bool m_bEditCommitted = false;
    // A node whose label editing starts once the running command has ended.
    QPersistentModelIndex m_pendingEdit;
};
