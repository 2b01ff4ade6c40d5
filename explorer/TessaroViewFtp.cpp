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

void CTessaroView::ReplaceFtpClient(std::unique_ptr<CFtpClient> client)
{
    if (!client)
        return;
    if (m_bLoggedOn)
        m_pFtpClient->LogOff();
    m_pFtpClient = std::move(client);
    m_bLoggedOn = 0;
}

bool CTessaroView::FtpLogOn()
{
    m_ftpSettings.Load();
    // A reply that came too late or never ended makes the client close its
    // control connection; the session is then over and a new logon follows.
    if (m_bLoggedOn && !m_pFtpClient->IsOpen())
        m_bLoggedOn = 0;
    if (m_bLoggedOn)
        return true;
    QString host;
    int port = 21;
    if (!SplitFtpServerName(m_ftpSettings.m_strServerName, host, port)) {
        CServices::Prompt().MessageBox(LoadString(IDS_BAD_FTP_SERVER), QString(), MB_OK, MB_ICONERROR);
        return false;
    }
    CFtpClient& client = *m_pFtpClient;
    const QString server = FtpServerKey(host, port);
    client.m_eEncryption = m_ftpSettings.m_eEncryption;
    client.m_strRememberedFingerprint = CFtpSettings::RememberedFingerprint(server);
    bool loggedOn = false;
    {
        // Connecting and each reply may take seconds on a slow link.
        CWaitCursor wait;
        loggedOn = client.LogOn(host, port, m_ftpSettings.m_strUserName, m_ftpSettings.m_strPassword, QString(),
                                QString(), QString(), QString(), 0, 0);
    }
    // A certificate the user trusted stays trusted, also when the logon
    // itself then failed.
    if (!client.m_strAcceptedFingerprint.isEmpty())
        CFtpSettings::RememberFingerprint(server, client.m_strAcceptedFingerprint);
    if (!loggedOn) {
        CServices::Prompt().MessageBox(FtpReplyText(client.m_strReply), QString(), MB_OK, MB_ICONNONE);
        return false;
    }
    m_bLoggedOn = 1;
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
    if (!m_pFtpClient->ListEntries(path, entries))
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
