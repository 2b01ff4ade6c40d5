#pragma once

#include "SerialDevice.h"

#include <QSerialPort>

// CSerialDevice on QSerialPort, used blocking on the calling thread.
class CQtSerialDevice : public CSerialDevice
{
public:
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
    QSerialPort m_port;
    // Open() succeeded in reaching the device but could not read its settings.
    bool m_bNoLineState = false;
};
