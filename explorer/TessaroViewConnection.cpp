// The commands that act on no node: the two settings dialogs and the About box.
#include "TessaroView.h"

#include "dialogs/AboutDlg.h"
#include "dialogs/ComSettingsDlg.h"
#include "dialogs/FtpSettingsDlg.h"

void CTessaroView::OnFtpSettings()
{
    CFtpSettingsDlg dlg(this);
    if (dlg.exec() == QDialog::Accepted)
        m_ftpSettings.Load();
}

void CTessaroView::OnCommunicationSettings()
{
    CComSettingsDlg dlg(this);
    if (dlg.exec() == QDialog::Accepted)
        m_comSettings.Load();
}

void CTessaroView::OnAbout()
{
    CAboutDlg dlg(this);
    dlg.exec();
}
