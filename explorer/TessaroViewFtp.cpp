// The FTP side of the explorer's tree: logon, remote folder listings, log-off.
#include "FtpNodes.h"
#include "TessaroView.h"

#include "ftp/FtpClient.h"
#include "ftp/FtpProtocol.h"
#include "ftp/FtpSettings.h"
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
    if (!SplitFtpServerName(m_ftpSettings.m_strServerName, logon.m_strHost, logon.m_nPort)) {
        ShowError(LoadString(IDS_BAD_FTP_SERVER));
        return false;
    }
    logon.m_strUser = m_ftpSettings.m_strUserName;
    logon.m_strPassword = m_ftpSettings.m_strPassword;
    logon.m_eEncryption = m_ftpSettings.m_eEncryption;
    m_ftpSession.SetLogon(logon);
    bool loggedOn = false;
    {
        // Connecting and each reply may take seconds on a slow link.
        CWaitCursor wait;
        loggedOn = m_ftpSession.EnsureLoggedOn();
    }
    if (!loggedOn) {
        CServices::Prompt().MessageBox(FtpReplyText(m_ftpSession.Client().m_strReply), QString(), MB_OK, MB_ICONNONE);
        return false;
    }
    return true;
}

QTreeWidgetItem* CTessaroView::MakeItem(const CNodeTemplate& draft) const
{
    return MakeNodeItem(draft, m_images);
}

int CTessaroView::ListFtpFolder(QTreeWidgetItem* node, const QString& path)
{
    CWaitCursor wait;
    if (!FtpLogOn())
        return -1;
    QList<CFtpListEntry> entries;
    if (!m_ftpSession.Run([&](CFtpClient& client) { return client.ListEntries(path, entries); }))
        return -1;

    const QList<CNodeTemplate> drafts = FtpNodes(entries);
    // Built detached and added in one call: one model update for the folder.
    QList<QTreeWidgetItem*> items;
    items.reserve(drafts.size());
    for (const CNodeTemplate& draft : drafts)
        items.append(MakeItem(draft));
    node->addChildren(items);
    return static_cast<int>(items.size());
}

void CTessaroView::OpenFtpFolder(QTreeWidgetItem* node)
{
    DeleteChildren(node);
    if (ListFtpFolder(node, FtpTreePath(node)) < 0) {
        // Whatever a failed listing had begun is dropped: the placeholder
        // alone lets the folder be opened again later.
        DeleteChildren(node);
        node->addChild(MakeItem(FtpPlaceholder()));
    }
}
