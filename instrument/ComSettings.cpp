#include "ComSettings.h"

#include "platform/Profile.h"

namespace {
const QString kSection = QStringLiteral("COM_SETTINGS");
}

QString CComSettings::EndMarkFromProfile(int value)
{
    return value == 1 ? QStringLiteral("\r\n") : QStringLiteral("\r");
}

int CComSettings::EndMarkToProfile(const QString& endMark)
{
    return endMark == QLatin1String("\r\n") ? 1 : 2;
}

void CComSettings::Load()
{
    BaudRate = CProfile::ReadInt(kSection, QStringLiteral("BaudRate"), 19200);
    Parity = static_cast<quint8>(CProfile::ReadInt(kSection, QStringLiteral("Parity"), 0));
    ByteSize = static_cast<quint8>(CProfile::ReadInt(kSection, QStringLiteral("ByteSize"), 8));
    StopBits = static_cast<quint8>(CProfile::ReadInt(kSection, QStringLiteral("StopBits"), 0));
    ComPort = CProfile::ReadInt(kSection, QStringLiteral("ComPorts"), 1);
    EndMark = EndMarkFromProfile(CProfile::ReadInt(kSection, QStringLiteral("EndMark"), 1));
}

bool CComSettings::Save() const
{
    return CProfile::WriteSection(kSection,
                                  {{QStringLiteral("BaudRate"), BaudRate},
                                   {QStringLiteral("Parity"), Parity},
                                   {QStringLiteral("ByteSize"), ByteSize},
                                   {QStringLiteral("StopBits"), StopBits},
                                   {QStringLiteral("ComPorts"), ComPort},
                                   {QStringLiteral("EndMark"), EndMarkToProfile(EndMark)}});
}
