#pragma once

#include "platform/RemoteAccess.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;

// "Connect": the user picks one of the machine's dial-up connections, types
// or recalls its user name and password, and dials. The user name, and on
// request the password, are remembered per connection in the profile
// section "DIAL_UP_SETTINGS", written only after a successful dial. A failed
// dial leaves the dialog open; the dialled connection's handle stays in
// m_hConnection whatever the result, for the caller to keep.
class CConnectDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CConnectDlg(QWidget* parent = nullptr);

    static QString TrimRight(const QString& text);

    QString m_strEntryName;
    QString m_strUserName;
    QString m_strPassword;
    int m_nSavePassword = 0;
    CRemoteAccess::Handle m_hConnection = 0;
    // Sounded when the connection has come up.
    std::function<void()> m_fnBeep;

public slots:
    void accept() override;

private:
    void OnInitDialog();
    void OnSelChange();
    // Controls to members, as the dialog's data exchange does on OK.
    void TakeData();
    void LoadCredentials(const QString& entryName);
    void SaveCredentials();
    bool Dial();

    QComboBox* m_pConnections = nullptr;
    QLineEdit* m_pUserName = nullptr;
    QLineEdit* m_pPassword = nullptr;
    QCheckBox* m_pSavePassword = nullptr;
};
