// The FTP side of the explorer's tree: logon, remote folder listings, log-off.
#include "FtpNodes.h"
#include "TessaroView.h"

#include "ftp/FtpClient.h"
#include "ftp/FtpProtocol.h"
#include "ftp/FtpSettings.h"
#include "platform/ProgressScope.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

QString CTessaroView::FtpTreePath(const QTreeWidgetItem* node) const
{
    // The root's node path is its label; a folder called "FTP" right below the
    // root has the same node path, so the root is told apart by identity.
    return node == m_pFtpRoot ? QString() : NodePath(node);
}

CRemotePath CTessaroView::FtpRemote(const QTreeWidgetItem* node) const
{
    return CRemotePath::FromTree(FtpTreePath(node));
}

void CTessaroView::ReplaceFtpClient(std::unique_ptr<CFtpClient> client)
{
    m_ftpSession.ReplaceClient(std::move(client));
}

bool CTessaroView::FtpLogOn()
{
    m_ftpSettings.Load();
    if (m_ftpSession.IsReady())
        return true;
    CFtpSession::CLogon logon;
    // SFTP's servers listen on port 22 unless the name says otherwise.
    if (!SplitFtpServerName(m_ftpSettings.m_strServerName, logon.m_strHost, logon.m_nPort,
                            m_ftpSettings.m_bSftp ? 22 : 21)) {
        ShowError(LoadString(IDS_BAD_FTP_SERVER));
        return false;
    }
    logon.m_strUser = m_ftpSettings.m_strUserName;
    logon.m_strPassword = m_ftpSettings.m_strPassword;
    logon.m_eEncryption = m_ftpSettings.m_eEncryption;
    logon.m_bSftp = m_ftpSettings.m_bSftp;
    m_ftpSession.SetLogon(logon);
    bool loggedOn = false;
    {
        // Connecting and each reply may take seconds on a slow link, and a
        // server may never answer: the Transfer window offers Cancel.
        const QString server = m_ftpSettings.m_strServerName.trimmed();
        CWaitCursor wait(LoadString(IDS_STATUS_LOGGING_ON).arg(server));
        CProgressScope window(server);
        loggedOn = m_ftpSession.EnsureLoggedOn();
        if (m_ftpSession.Client().m_bCancelled)
            window.MarkHidden(); // PollCancel has hidden it
    }
    if (!loggedOn) {
        // A cancel was the user's own doing; any other failure is told.
        if (!m_ftpSession.Client().m_bCancelled)
            CServices::Prompt().MessageBox(FtpReplyText(m_ftpSession.Client().m_strReply), QString(), MB_OK,
                                           MB_ICONNONE);
        return false;
    }
    return true;
}

QTreeWidgetItem* CTessaroView::MakeItem(const CNodeTemplate& draft) const
{
    return MakeNodeItem(draft, m_images);
}

int CTessaroView::ListFtpFolder(QTreeWidgetItem* node, const QString& path, bool tellFailure)
{
    CWaitCursor wait;
    if (!FtpLogOn())
        return -1;
    wait.SetStatus(LoadString(IDS_STATUS_OPENING_FOLDER).arg(CRemotePath::FromTree(path).Absolute()));
    QList<CFtpListEntry> entries;
    if (!m_ftpSession.Run([&](CFtpClient& client) { return client.ListEntries(path, entries); })) {
        // A folder that went away or a dropped connection must not look
        // like an empty folder: the server's or the client's reason is told.
        const CFtpClient& client = m_ftpSession.Client();
        if (tellFailure && !client.m_bCancelled) {
            wait.Restore();
            ShowError(FtpReplyText(client.m_strReply));
        }
        return -1;
    }

    const QList<CNodeTemplate> drafts = FtpNodes(entries);
    // Built detached and added in one call: one model update for the folder.
    QList<QTreeWidgetItem*> items;
    items.reserve(drafts.size());
    for (const CNodeTemplate& draft : drafts)
        items.append(MakeItem(draft));
    node->addChildren(items);
    return static_cast<int>(items.size());
}

void CTessaroView::OpenFtpFolder(QTreeWidgetItem* node, bool tellFailure)
{
    DeleteChildren(node);
    if (ListFtpFolder(node, FtpTreePath(node), tellFailure) < 0) {
        // Whatever a failed listing had begun is dropped: the placeholder
        // alone lets the folder be opened again later.
        DeleteChildren(node);
        node->addChild(MakeItem(FtpPlaceholder()));
    }
}
