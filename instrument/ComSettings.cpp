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

void CComSettings::Save() const
{
    CProfile::WriteInt(kSection, QStringLiteral("BaudRate"), BaudRate);
    CProfile::WriteInt(kSection, QStringLiteral("Parity"), Parity);
    CProfile::WriteInt(kSection, QStringLiteral("ByteSize"), ByteSize);
    CProfile::WriteInt(kSection, QStringLiteral("StopBits"), StopBits);
    CProfile::WriteInt(kSection, QStringLiteral("ComPorts"), ComPort);
    CProfile::WriteInt(kSection, QStringLiteral("EndMark"), EndMarkToProfile(EndMark));
}
