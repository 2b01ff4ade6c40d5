#pragma once

#include "ftp/FtpSettings.h"

#include <QDialog>

class QLineEdit;

// "FTP Settings": server, user name and password of the FTP link. Loads the
// stored values when constructed and stores them itself on OK, unvalidated.
class CFtpSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CFtpSettingsDlg(QWidget* parent = nullptr);

    QString m_strServerName;
    QString m_strUserName;
    QString m_strPassword;
    CFtpSettings m_settings;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_pServer = nullptr;
    QLineEdit* m_pUser = nullptr;
    QLineEdit* m_pPassword = nullptr;
    bool m_bInitialised = false;
};
