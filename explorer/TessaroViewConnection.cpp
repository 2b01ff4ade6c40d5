// The commands that act on no node: the two settings dialogs, the dial-up
// connection and the About box.
#include "TessaroView.h"

#include "dialogs/AboutDlg.h"
#include "dialogs/ComSettingsDlg.h"
#include "dialogs/ConnectDlg.h"
#include "dialogs/FtpSettingsDlg.h"
#include "ftp/FtpClient.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

void CTessaroView::OnFtpSettings()
{
    CFtpSettingsDlg dlg(this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const CFtpSettings before = m_ftpSettings;
    m_ftpSettings.Load();
    if (m_ftpSettings.m_strServerName == before.m_strServerName && m_ftpSettings.m_strUserName == before.m_strUserName
        && m_ftpSettings.m_strPassword == before.m_strPassword && m_ftpSettings.m_eEncryption == before.m_eEncryption
        && m_ftpSettings.m_bSftp == before.m_bSftp)
        return;
    // Another server or account: the session and the folders of the old one
    // end, and "FTP" shows as before its first opening.
    {
        CWaitCursor wait;
        m_ftpSession.LogOff();
    }
    m_pFtpRoot->setExpanded(false);
    DeleteChildren(m_pFtpRoot);
    m_pFtpRoot->addChild(MakeItem({LoadString(IDS_NOT_CONNECTED), CNodeImages::IMG_FILE, CNodeData(), {}, {}}));
}

void CTessaroView::OnCommunicationSettings()
{
    // The settings take effect at the next connection, which loads them.
    CComSettingsDlg dlg(this);
    dlg.exec();
}

void CTessaroView::OnAbout()
{
    CAboutDlg dlg(this);
    dlg.exec();
}

void CTessaroView::OnConnect()
{
    CConnectDlg dlg(this);
    if (dlg.exec() == QDialog::Accepted) {
        // The old session ran over the network as it was before the dial: it
        // is dropped without QUIT, and the next opening of "FTP" logs the new
        // client on.
        m_ftpSession.DropClient();
    }
    // A dial that failed may still have left a connection to hang up.
    if (dlg.m_hConnection != 0)
        m_dialUpLink.m_hConnection = dlg.m_hConnection;
}

void CTessaroView::OnDisconnect()
{
    CWaitCursor wait; // taking the link down may take seconds
    m_dialUpLink.HangUp();
}
