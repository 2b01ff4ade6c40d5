#include "FtpSettings.h"

#include "platform/Profile.h"

namespace {

const char* const kSection = "FTP";

// One key per server; "/" and "\" would nest sections in the profile.
QString CertificateKey(const QString& serverKey)
{
    QString key = QStringLiteral("Certificate ") + serverKey;
    return key.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
}

} // namespace

CFtpSettings::~CFtpSettings() = default;

void CFtpSettings::Load()
{
    m_strServerName = CProfile::ReadString(kSection, QStringLiteral("ServerName"));
    m_strUserName = CProfile::ReadString(kSection, QStringLiteral("UserName"));
    m_strPassword = CProfile::ReadString(kSection, QStringLiteral("Password"));
    m_eEncryption = FTP_TLS_AUTO;
    if (!ParseFtpEncryption(
            CProfile::ReadString(kSection, QStringLiteral("Encryption"), FtpEncryptionName(FTP_TLS_AUTO)),
            m_eEncryption))
        m_eEncryption = FTP_TLS_REQUIRE;
    m_bSftp = CProfile::ReadString(kSection, QStringLiteral("Protocol"))
                  .trimmed()
                  .compare(QLatin1String("SFTP"), Qt::CaseInsensitive)
        == 0;
}

bool CFtpSettings::Save() const
{
    return CProfile::WriteSection(
        kSection,
        {{QStringLiteral("ServerName"), m_strServerName},
         {QStringLiteral("UserName"), m_strUserName},
         {QStringLiteral("Password"), m_strPassword},
         {QStringLiteral("Encryption"), FtpEncryptionName(m_eEncryption)},
         {QStringLiteral("Protocol"), m_bSftp ? QStringLiteral("SFTP") : QStringLiteral("FTP")}});
}

QString CFtpSettings::RememberedFingerprint(const QString& serverKey)
{
    return NormalizeFtpFingerprint(CProfile::ReadString(kSection, CertificateKey(serverKey)));
}

void CFtpSettings::RememberFingerprint(const QString& serverKey, const QString& fingerprint)
{
    CProfile::WriteString(kSection, CertificateKey(serverKey), NormalizeFtpFingerprint(fingerprint));
}
