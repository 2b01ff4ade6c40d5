#pragma once

#include "FtpTls.h"

#include <QString>

// The FTP server, user and password of the explorer, kept in the profile
// section "FTP". The profile file is readable by its owner only.
//
// "Encryption" holds "auto" (TLS when the server offers it; also what a
// profile without the key means), "require" or "off". A value that is none of
// these reads as "require": a damaged setting never lets a password go out
// in the clear. The fingerprints of certificates the user trusted are kept
// per server ("host:port") in the same section. "Protocol" holds "FTP" (also
// what a missing or damaged value means) or "SFTP"; over SFTP the server
// name's port is 22 unless named, and host keys are kept in ~/.ssh/known_hosts.
class CFtpSettings
{
public:
    virtual ~CFtpSettings();

    void Load();
    // Writes the five keys in one step; false when the profile was not written.
    bool Save() const;

    // The fingerprint trusted for a server, empty when none; remembering
    // writes it to the profile at once.
    static QString RememberedFingerprint(const QString& serverKey);
    static void RememberFingerprint(const QString& serverKey, const QString& fingerprint);

    QString m_strServerName;
    QString m_strUserName;
    QString m_strPassword;
    EFtpEncryption m_eEncryption = FTP_TLS_AUTO;
    bool m_bSftp = false;
};
