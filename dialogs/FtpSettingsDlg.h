#pragma once

#include "ftp/FtpSettings.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

// "FTP Settings": server, user name and password of the FTP link, and whether
// it uses TLS. Loads the stored values when constructed and stores them
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
    bool m_bInitialised = false;
};
