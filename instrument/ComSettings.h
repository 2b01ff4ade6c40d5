#pragma once

#include <QString>

// The serial-port settings, stored as integers in the profile section
// "COM_SETTINGS". Construction only zeroes the record; Load() gives a usable one.
class CComSettings
{
public:
    virtual ~CComSettings() = default;

    void Load();
    // Writes the six keys in one step; false when the profile was not written.
    bool Save() const;

    // Profile encodings of the end mark: 1 is CR LF, anything else CR.
    static QString EndMarkFromProfile(int value);
    static int EndMarkToProfile(const QString& endMark);

    qint32 BaudRate = 0;
    quint8 Parity = 0;   // 0 none, 1 odd, 2 even
    quint8 ByteSize = 0; // data bits
    quint8 StopBits = 0; // 0 one, 1 one and a half, 2 two
    qint32 ComPort = 0;  // n of "COM%d:"
    QString EndMark;     // "\r\n" or "\r"
};
