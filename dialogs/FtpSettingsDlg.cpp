#include "FtpSettingsDlg.h"

#include "ControlId.h"
#include "platform/Profile.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

CFtpSettingsDlg::CFtpSettingsDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("FTP Settings"));
    m_settings.Load();
    m_strServerName = m_settings.m_strServerName;
    m_strUserName = m_settings.m_strUserName;
    m_strPassword = m_settings.m_strPassword;
    m_eEncryption = m_settings.m_eEncryption;
    m_bSftp = m_settings.m_bSftp;

    m_pServer = new QLineEdit(this);
    SetControlId(m_pServer, 1000, QStringLiteral("Ftp server"));
    m_pUser = new QLineEdit(this);
    SetControlId(m_pUser, 1001, QStringLiteral("User name"));
    m_pPassword = new QLineEdit(this);
    m_pPassword->setEchoMode(QLineEdit::Password);
    SetControlId(m_pPassword, 1002, QStringLiteral("Password"));
    m_pEncryption = new QComboBox(this);
    // In the order of EFtpEncryption; each entry carries its value.
    for (auto [value, text] :
         {std::pair(FTP_TLS_AUTO, IDS_FTP_TLS_AUTO), std::pair(FTP_TLS_REQUIRE, IDS_FTP_TLS_REQUIRE),
          std::pair(FTP_TLS_OFF, IDS_FTP_TLS_OFF)})
        m_pEncryption->addItem(LoadString(text), static_cast<int>(value));
    SetControlId(m_pEncryption, 1003, LoadString(IDS_FTP_ENCRYPTION));
    m_pProtocol = new QComboBox(this);
    m_pProtocol->addItems({LoadString(IDS_PROTOCOL_FTP), LoadString(IDS_PROTOCOL_SFTP)});
    SetControlId(m_pProtocol, 1004, LoadString(IDS_FTP_PROTOCOL));
    // TLS is FTP's; SSH encrypts every SFTP session.
    connect(m_pProtocol, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_pEncryption->setEnabled(index == 0); });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Ftp server"), m_pServer);
    form->addRow(QStringLiteral("User name"), m_pUser);
    form->addRow(QStringLiteral("Password"), m_pPassword);
    form->addRow(LoadString(IDS_FTP_PROTOCOL), m_pProtocol);
    form->addRow(LoadString(IDS_FTP_ENCRYPTION), m_pEncryption);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    SetControlId(buttons->button(QDialogButtonBox::Ok), 1, QStringLiteral("OK"));
    SetControlId(buttons->button(QDialogButtonBox::Cancel), 2, QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CFtpSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFtpSettingsDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

void CFtpSettingsDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        m_pServer->setText(m_strServerName);
        m_pUser->setText(m_strUserName);
        m_pPassword->setText(m_strPassword);
        m_pEncryption->setCurrentIndex(m_pEncryption->findData(static_cast<int>(m_eEncryption)));
        m_pProtocol->setCurrentIndex(m_bSftp ? 1 : 0);
        m_pEncryption->setEnabled(!m_bSftp);
    }
    QDialog::showEvent(event);
}

void CFtpSettingsDlg::accept()
{
    m_strServerName = m_pServer->text();
    m_strUserName = m_pUser->text();
    m_strPassword = m_pPassword->text();
    m_eEncryption = static_cast<EFtpEncryption>(m_pEncryption->currentData().toInt());
    m_settings.m_strServerName = m_strServerName;
    m_settings.m_strUserName = m_strUserName;
    m_settings.m_strPassword = m_strPassword;
    m_settings.m_eEncryption = m_eEncryption;
    m_bSftp = m_pProtocol->currentIndex() == 1;
    m_settings.m_bSftp = m_bSftp;
    if (!m_settings.Save()) {
        CServices::Prompt().MessageBox(LoadString(IDS_PROFILE_NOT_SAVED).arg(CProfile::FilePath()),
                                       LoadString(IDS_ERROR), MB_OK, MB_ICONERROR);
        return;
    }
    QDialog::accept();
}
