#include "FtpTls.h"

#include "resources/StringTable.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSslCertificate>
#include <QSslError>

namespace {

// Longest name of a subject or issuer shown to the user.
constexpr qsizetype kMaxShownName = 200;

QString Printable(const QString& text)
{
    QString shown;
    for (QChar c : text.left(kMaxShownName))
        shown += c.unicode() < 0x20 || c.unicode() == 0x7F || !c.isPrint() ? QLatin1Char('?') : c;
    if (text.size() > kMaxShownName)
        shown += QStringLiteral("...");
    return shown;
}

// "CN=host, O=Office, C=XX" from the parts a certificate names.
QString DistinguishedName(const QSslCertificate& certificate, bool subject)
{
    static const struct
    {
        QSslCertificate::SubjectInfo m_info;
        const char* m_szLabel;
    } parts[] = {
        {QSslCertificate::CommonName, "CN"},          {QSslCertificate::OrganizationalUnitName, "OU"},
        {QSslCertificate::Organization, "O"},         {QSslCertificate::LocalityName, "L"},
        {QSslCertificate::StateOrProvinceName, "ST"}, {QSslCertificate::CountryName, "C"},
    };
    QStringList names;
    for (const auto& part : parts) {
        const QStringList values = subject ? certificate.subjectInfo(part.m_info) : certificate.issuerInfo(part.m_info);
        for (const QString& value : values)
            names.append(QLatin1String(part.m_szLabel) + QLatin1Char('=') + value);
    }
    return Printable(names.join(QStringLiteral(", ")));
}

} // namespace

QString FtpEncryptionName(EFtpEncryption encryption)
{
    switch (encryption) {
    case FTP_TLS_REQUIRE:
        return QStringLiteral("require");
    case FTP_TLS_OFF:
        return QStringLiteral("off");
    case FTP_TLS_AUTO:
        break;
    }
    return QStringLiteral("auto");
}

bool ParseFtpEncryption(const QString& name, EFtpEncryption& encryption)
{
    for (EFtpEncryption candidate : {FTP_TLS_AUTO, FTP_TLS_REQUIRE, FTP_TLS_OFF}) {
        if (name.trimmed().compare(FtpEncryptionName(candidate), Qt::CaseInsensitive) == 0) {
            encryption = candidate;
            return true;
        }
    }
    return false;
}

QString FtpCertificateFingerprint(const QSslCertificate& certificate)
{
    const QByteArray digest = certificate.digest(QCryptographicHash::Sha256);
    return certificate.isNull() ? QString() : QString::fromLatin1(digest.toHex(':').toUpper());
}

QString NormalizeFtpFingerprint(const QString& text)
{
    QString hex = text.trimmed();
    if (hex.startsWith(QLatin1String("SHA256:"), Qt::CaseInsensitive)
        || hex.startsWith(QLatin1String("SHA-256:"), Qt::CaseInsensitive))
        hex = hex.mid(hex.indexOf(QLatin1Char(':')) + 1);
    hex.remove(QLatin1Char(':')).remove(QLatin1Char(' '));
    if (hex.size() != 64)
        return QString();
    for (QChar c : hex) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
              || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return QString();
    }
    return QString::fromLatin1(QByteArray::fromHex(hex.toLatin1()).toHex(':').toUpper());
}

EFtpTrust DecideFtpTrust(bool verified, const QString& fingerprint, const QString& remembered, const QString& trusted)
{
    if (verified)
        return TRUST_ACCEPT;
    if (!fingerprint.isEmpty() && (fingerprint == remembered || fingerprint == trusted))
        return TRUST_ACCEPT;
    return remembered.isEmpty() ? TRUST_ASK_NEW : TRUST_ASK_CHANGED;
}

QString DescribeFtpCertificate(const QSslCertificate& certificate)
{
    return LoadString(IDS_FTP_CERT_DETAILS)
        .arg(DistinguishedName(certificate, true), DistinguishedName(certificate, false),
             certificate.effectiveDate().toUTC().toString(Qt::ISODate),
             certificate.expiryDate().toUTC().toString(Qt::ISODate), FtpCertificateFingerprint(certificate));
}

QString FtpCertificateProblems(const QList<QSslError>& errors)
{
    QStringList problems;
    for (const QSslError& error : errors) {
        if (!problems.contains(error.errorString()))
            problems.append(error.errorString());
    }
    return problems.join(QStringLiteral("; "));
}

QString FtpServerKey(const QString& host, int port)
{
    const QString name = host.trimmed().toLower();
    return (name.contains(QLatin1Char(':')) ? QLatin1Char('[') + name + QLatin1Char(']') : name) + QLatin1Char(':')
        + QString::number(port);
}
