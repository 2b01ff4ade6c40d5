#pragma once

#include <QList>
#include <QString>

class QSslCertificate;
class QSslError;

// How the connections to the server are protected.
enum EFtpEncryption {
    FTP_TLS_AUTO,    // TLS when the server accepts "AUTH TLS", plain FTP otherwise
    FTP_TLS_REQUIRE, // TLS or nothing: no password and no data ever go out in the clear
    FTP_TLS_OFF,     // plain FTP only
};

// The words the profile stores: "auto", "require", "off".
QString FtpEncryptionName(EFtpEncryption encryption);
// False for any other word; encryption is left alone then.
bool ParseFtpEncryption(const QString& name, EFtpEncryption& encryption);

// The SHA-256 fingerprint of a certificate (of its DER form): 32 upper-case
// hex pairs joined by ":", as "openssl x509 -fingerprint -sha256" prints it.
QString FtpCertificateFingerprint(const QSslCertificate& certificate);

// A SHA-256 fingerprint as a user may give it: hex pairs with or without ":"
// or blanks, in any case, with or without "SHA256:" in front. Gives the same
// form as FtpCertificateFingerprint, or an empty string when the text is not
// 64 hex digits.
QString NormalizeFtpFingerprint(const QString& text);

// How a server's certificate is taken.
enum EFtpTrust {
    TRUST_ACCEPT,      // verified, or the fingerprint is one the user trusts
    TRUST_ASK_NEW,     // unverified, and nothing was trusted for this server yet
    TRUST_ASK_CHANGED, // unverified, and another certificate was trusted for this server
};

// verified: the certificate verified against the system's trust store for the
// server's name. remembered: the fingerprint trusted earlier for this server;
// trusted: one the user named for this connection. Fingerprints in the form of
// NormalizeFtpFingerprint; empty ones match nothing.
EFtpTrust DecideFtpTrust(bool verified, const QString& fingerprint, const QString& remembered, const QString& trusted);

// Subject, issuer, validity and fingerprint, one per line, for the question to
// the user. The names come from the server: control characters are shown as
// "?" and each name is cut to a readable length.
QString DescribeFtpCertificate(const QSslCertificate& certificate);

// Why a certificate did not verify, from the handshake's errors: "The
// certificate is self-signed, and untrusted; ...".
QString FtpCertificateProblems(const QList<QSslError>& errors);

// The name under which a server's certificate is remembered: "host:port",
// the host in lower case, an IPv6 address in brackets.
QString FtpServerKey(const QString& host, int port);
