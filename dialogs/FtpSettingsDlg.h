#pragma once

#include "ftp/FtpSettings.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

// "FTP Settings": server, user name and password of the FTP link, its
// protocol (FTP or SFTP) and whether FTP uses TLS. Loads the stored values when constructed and stores them
// itself on OK, unvalidated.
class CFtpSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CFtpSettingsDlg(QWidget* parent = nullptr);

    QString m_strServerName;
    QString m_strUserName;
    QString m_strPassword;
    EFtpEncryption m_eEncryption = FTP_TLS_AUTO; // the list 1003 "Encryption"
    bool m_bSftp = false;                        // the list 1004 "Protocol"
    CFtpSettings m_settings;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_pServer = nullptr;
    QLineEdit* m_pUser = nullptr;
    QLineEdit* m_pPassword = nullptr;
    QComboBox* m_pEncryption = nullptr;
    QComboBox* m_pProtocol = nullptr;
    bool m_bInitialised = false;
};
