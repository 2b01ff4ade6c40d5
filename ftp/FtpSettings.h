#pragma once

#include <QString>

// The FTP server, user and password of the explorer, kept in the profile
// section "FTP". The profile file is readable by its owner only.
class CFtpSettings
{
public:
    virtual ~CFtpSettings();

    void Load();
    void Save() const;

    QString m_strServerName;
    QString m_strUserName;
    QString m_strPassword;
};
