#pragma once

#include <QSslCertificate>
#include <QString>

// Certificates for the TLS tests, made by openssl in a folder of the test's:
// self-signed ones, and a test authority with a certificate it signed. All
// name the server "localhost" and 127.0.0.1; each has a fresh key.
struct CTestCertificate
{
    QString m_strCertificate; // PEM file
    QString m_strKey;         // PEM file, no pass phrase
    QString m_strFingerprint; // as "openssl x509 -fingerprint -sha256" prints it
    QSslCertificate Load() const;
};

// False with problem set when openssl cannot make it. The organisation is
// "Invented Survey Office " + name unless given.
bool MakeSelfSignedCertificate(const QString& folder, const QString& name, CTestCertificate& certificate,
                               QString& problem, const QString& organisation = QString());
// A test authority (name + "-ca") and a server certificate signed by it.
bool MakeAuthoritySignedCertificate(const QString& folder, const QString& name, CTestCertificate& authority,
                                    CTestCertificate& certificate, QString& problem);
