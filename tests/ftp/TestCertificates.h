#pragma once

#include <QSslCertificate>
#include <QString>

// Certificates for the TLS tests, made by openssl in a folder of the test's:
// self-signed ones, and ones signed by a test authority. Unless told
// otherwise they name the server "localhost", 127.0.0.1 and ::1. All share
// one EC key, made once per program.
struct CTestCertificate
{
    QString m_strCertificate; // PEM file
    QString m_strKey;         // PEM file, no pass phrase (the shared key)
    QString m_strFingerprint; // as "openssl x509 -fingerprint -sha256" prints it
    QSslCertificate Load() const;
};

// False with problem set when openssl cannot make it. The subject is
// "/CN=localhost/O=Invented Survey Office " + name unless given.
bool MakeSelfSignedCertificate(const QString& folder, const QString& name, CTestCertificate& certificate,
                               QString& problem, const QString& subject = QString());
// A server certificate signed by authority (one made by
// MakeSelfSignedCertificate), for the names given ("DNS:host,IP:address"),
// by default localhost and the loopback addresses.
bool MakeSignedCertificate(const QString& folder, const QString& name, const CTestCertificate& authority,
                           CTestCertificate& certificate, QString& problem, const QString& names = QString());
