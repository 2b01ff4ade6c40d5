#include "ConnectDlg.h"

#include "ComSettingsDlg.h"
#include "ControlId.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kSection = QStringLiteral("DIAL_UP_SETTINGS");
const QString kUserNameKey = QStringLiteral("_DIAL_UP_USER_NAME");
const QString kPasswordKey = QStringLiteral("_DIAL_UP_PWD");
// Longest user name and password a dial request carries.
const int kMaxCredential = 256;

void Message(const QString& text)
{
    CServices::Prompt().MessageBox(text, AppTitle(), MB_OK, MB_ICONNONE);
}

} // namespace

CConnectDlg::CConnectDlg(QWidget* parent) : QDialog(parent), m_fnBeep([] { QApplication::beep(); })
{
    setWindowTitle(QStringLiteral("Connect"));

    m_pConnections = new QComboBox(this);
    m_pConnections->setEditable(false);
    SetControlId(m_pConnections, 1026, QStringLiteral("Dial-Up Networking connection"));
    m_pUserName = new QLineEdit(this);
    m_pUserName->setMaxLength(kMaxCredential);
    SetControlId(m_pUserName, 1028, QStringLiteral("User name:"));
    m_pPassword = new QLineEdit(this);
    m_pPassword->setMaxLength(kMaxCredential);
    m_pPassword->setEchoMode(QLineEdit::Password);
    SetControlId(m_pPassword, 1029, QStringLiteral("Password:"));
    m_pSavePassword = new QCheckBox(QStringLiteral("Save password"), this);
    SetControlId(m_pSavePassword, 1037, QStringLiteral("Save password"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("User name:"), m_pUserName);
    form->addRow(QStringLiteral("Password:"), m_pPassword);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* connectButton = buttons->addButton(QStringLiteral("Connect"), QDialogButtonBox::AcceptRole);
    connectButton->setDefault(true);
    SetControlId(connectButton, 1, QStringLiteral("Connect"));
    SetControlId(buttons->addButton(QDialogButtonBox::Cancel), 2, QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CConnectDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CConnectDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Choose the Dial-Up Networking connection"), this));
    layout->addWidget(m_pConnections);
    layout->addLayout(form);
    layout->addWidget(m_pSavePassword);
    layout->addWidget(buttons);
    setMinimumWidth(320);

    OnInitDialog();
    connect(m_pConnections, &QComboBox::currentIndexChanged, this, &CConnectDlg::OnSelChange);
}

QString CConnectDlg::TrimRight(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

void CConnectDlg::OnInitDialog()
{
    QStringList names;
    if (!CServices::RemoteAccess().ListConnections(names)) {
        Message(LoadString(IDS_NO_CONNECTIONS));
        return;
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].isEmpty())
            continue;
        CComSettingsDlg::AddSorted(m_pConnections, names[i]);
        if (i == 0)
            m_strEntryName = names[i];
    }
    if (m_pConnections->count() == 0)
        return;
    CComSettingsDlg::SelectPrefix(m_pConnections, m_strEntryName);
    if (m_pConnections->currentIndex() < 0)
        return;
    LoadCredentials(m_pConnections->currentText());
    if (!m_pPassword->text().isEmpty())
        m_pSavePassword->setChecked(true);
}

void CConnectDlg::OnSelChange()
{
    TakeData();
    LoadCredentials(m_strEntryName);
}

void CConnectDlg::TakeData()
{
    m_strEntryName = m_pConnections->currentText();
    m_strUserName = m_pUserName->text();
    m_strPassword = m_pPassword->text();
    m_nSavePassword = m_pSavePassword->isChecked() ? 1 : 0;
}

void CConnectDlg::LoadCredentials(const QString& entryName)
{
    const QString entry = TrimRight(entryName);
    m_pUserName->setText(CProfile::ReadString(kSection, entry + kUserNameKey));
    m_pPassword->setText(CProfile::ReadString(kSection, entry + kPasswordKey));
}

void CConnectDlg::SaveCredentials()
{
    const QString entry = TrimRight(m_strEntryName);
    // An empty password forgets one saved before.
    CProfile::WriteSection(
        kSection,
        {{entry + kUserNameKey, m_strUserName}, {entry + kPasswordKey, m_nSavePassword ? m_strPassword : QString()}});
}

void CConnectDlg::accept()
{
    TakeData();
    if (!Dial())
        return;
    QDialog::accept();
    SaveCredentials();
}

bool CConnectDlg::Dial()
{
    CRemoteAccess& remoteAccess = CServices::RemoteAccess();
    for (;;) {
        int result = 0;
        {
            CWaitCursor wait;
            TakeData();
            result = remoteAccess.Dial(m_strEntryName, m_strUserName, m_strPassword, m_hConnection);
        }
        switch (result) {
        case CRemoteAccess::DIAL_PORT_IN_USE:
            if (CServices::Prompt().MessageBox(LoadString(IDS_PORT_IN_USE), AppTitle(), MB_YESNO, MB_ICONQUESTION)
                != IDYES)
                return false;
            remoteAccess.HangUp(m_hConnection);
            continue;
        case CRemoteAccess::DIAL_LINK_FAILED:
            Message(LoadString(IDS_CONNECTION_ERROR));
            return false;
        case CRemoteAccess::DIAL_CONNECTED:
            m_fnBeep();
            CServices::Clock().Sleep(5000);
            Message(LoadString(IDS_CONNECTION_OPENED));
            CServices::Clock().Sleep(3000);
            return true;
        default:
            Message(QStringLiteral("Connection error %1").arg(result));
            return false;
        }
    }
}
