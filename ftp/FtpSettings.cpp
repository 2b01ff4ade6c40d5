#include "FtpSettings.h"

#include "platform/Profile.h"

namespace {
const char* const kSection = "FTP";
}

CFtpSettings::~CFtpSettings() = default;

void CFtpSettings::Load()
{
    m_strServerName = CProfile::ReadString(kSection, QStringLiteral("ServerName"));
    m_strUserName = CProfile::ReadString(kSection, QStringLiteral("UserName"));
    m_strPassword = CProfile::ReadString(kSection, QStringLiteral("Password"));
}

void CFtpSettings::Save() const
{
    CProfile::WriteString(kSection, QStringLiteral("ServerName"), m_strServerName);
    CProfile::WriteString(kSection, QStringLiteral("UserName"), m_strUserName);
    CProfile::WriteString(kSection, QStringLiteral("Password"), m_strPassword);
}
