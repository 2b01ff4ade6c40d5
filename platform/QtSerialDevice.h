#pragma once

#include "SerialDevice.h"

#include <QSerialPort>

// CSerialDevice on QSerialPort, used blocking on the calling thread.
class CQtSerialDevice : public CSerialDevice
{
public:
    ~CQtSerialDevice() override { Close(); }

    bool Open(const QString& devicePath) override;
    bool ReadLineState(CSerialLineState& state) override;
    bool WriteLineState(const CSerialLineState& state) override;
    EReadResult Read(char& byte, int timeoutMs) override;
    bool Write(const QByteArray& bytes, int timeoutMs) override;
    void Purge() override;
    void Close() override;
    bool IsOpen() const override;
    QString ErrorText() const override;

private:
    void CloseSettingsFd();

    QSerialPort m_port;
    // The descriptor that read the device's own settings before the port was
    // opened; closed with the port.
    int m_nSettingsFd = -1;
    // Open() succeeded in reaching the device but could not read its settings.
    bool m_bNoLineState = false;
    // Why the last Open() failed: the device and the system's reason.
    QString m_strOpenError;
};
