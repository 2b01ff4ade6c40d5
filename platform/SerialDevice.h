#pragma once

#include <QByteArray>
#include <QString>

// The line settings of a serial device that CComPort changes. Flow control is
// read with the rest and written back unchanged.
struct CSerialLineState
{
    qint32 m_nBaudRate = 0;
    quint8 m_nByteSize = 0; // data bits
    quint8 m_nParity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    quint8 m_nStopBits = 0; // 0 one, 1 one and a half, 2 two
    int m_nFlowControl = 0; // the device's own value, never changed by the link
};

// The serial device services the instrument link needs: open a device
// exclusively, read and write its line state, read one byte with a time-out,
// write, purge and close. QtSerialDevice is the real one, ScriptedSerialDevice
// the one of the tests.
class CSerialDevice
{
public:
    enum EReadResult {
        READ_BYTE,      // one byte was read
        READ_TIMED_OUT, // no byte within the time-out
        READ_FAILED     // the device reported an error (gone, not open)
    };

    virtual ~CSerialDevice() = default;

    // Opens an existing device for reading and writing, not shared. False when
    // the device is missing or in use (the "invalid handle" case).
    virtual bool Open(const QString& devicePath) = 0;
    // False when the device is open but its line state cannot be read.
    virtual bool ReadLineState(CSerialLineState& state) = 0;
    // False when the device rejects the state.
    virtual bool WriteLineState(const CSerialLineState& state) = 0;
    // Reads at most one byte, waiting up to timeoutMs for it.
    virtual EReadResult Read(char& byte, int timeoutMs) = 0;
    // Writes all bytes within timeoutMs; false on an error or time-out.
    virtual bool Write(const QByteArray& bytes, int timeoutMs) = 0;
    // Aborts pending transfers and drops buffered input (not the output).
    virtual void Purge() = 0;
    // Harmless when not open.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Text of the last device error, for messages; after a failed Open()
    // the device's path and the system's reason.
    virtual QString ErrorText() const = 0;
};
