#pragma once

#include <QString>

#include <memory>

class CComSettings;
class CSerialDevice;

// The serial port of the instrument: applies the user's line settings to the
// device "COM%d:", writes raw bytes and reads one reply line at a time up to
// the end mark. Every protocol operation opens it, talks, and closes it again.
//
// The device behind "COMn:" is found by DevicePath(); tests hand in a scripted
// device with SetDevice().
//
// A device that fails while open (USB adapter pulled, pseudo-terminal gone) is
// reported once with "Communication error" and closed; from then on reads
// return at once as timed out and writes fail, so the running operation ends
// within its next steps. DeviceLost() tells the operations apart from a
// normal silence.
class CComPort
{
public:
    // Read time-out for one byte: read total constant 2000 ms + 2 ms per byte.
    static constexpr int kReadTimeoutMs = 2002;
    // Write time-out: 2000 ms + 1 ms per byte.
    static constexpr int kWriteTimeoutConstMs = 2000;
    // A line that grows to this many characters, or is still arriving after
    // this long, without its end mark is returned as it is (m_bLineCut set);
    // the next ReadLine goes on with the rest. So neither a run of CRs nor a
    // trickle of bytes keeps a read going: one ReadLine ends within
    // kMaxLineTimeMs plus one byte's time-out.
    static constexpr int kMaxLineLength = 4096;
    static constexpr int kMaxLineTimeMs = 30000;

    CComPort();
    virtual ~CComPort();
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;

    // Copies BaudRate, Parity, ByteSize, StopBits, ComPort and EndMark.
    virtual void SetSettings(const CComSettings& settings);

    // Opens and configures the device. Failures: "COM Invalid handle" (device
    // cannot be opened) or "Can not open COM port" (line state unreadable),
    // both with caption "Error"; a rejected line state fails silently.
    bool Open();
    // Harmless when closed.
    void Close();
    // One write of exactly these bytes; false when it failed or the port is closed.
    bool Write(const char* bytes, int count);
    bool Write(const QByteArray& bytes);
    // Reads bytes until the end mark ("\r\n": CR directly followed by LF;
    // "\r": CR) or until a read brings nothing (m_bTimedOut = 1). The end mark
    // stays in the line; every byte becomes the character of the same value.
    QString ReadLine();
    // Aborts pending transfers and drops buffered input.
    void Purge();

    bool DeviceLost() const { return m_bDeviceLost; }

    // Uses this device instead of the Qt serial port (not owned; nullptr goes
    // back to the Qt serial port).
    void SetDevice(CSerialDevice* device);

    // The device that stands for "COM<n>:": the override when one is set
    // (the command line's --device), on Windows "COM<n>", else the profile's
    // "COM_DEVICES"/"COM<n>", by default /dev/ttyS<n-1>.
    static QString DevicePath(int comPort);
    // The device that the profile gives "COM<n>:", leaving the override aside.
    static QString MappedPath(int comPort);
    // Empty path: no override.
    static void SetDeviceOverride(const QString& path);

    int m_bTimedOut = 0;
    qint32 BaudRate = 0;
    quint8 Parity = 0;
    quint8 ByteSize = 0;
    quint8 StopBits = 0;
    qint32 ComPort = 0;
    QString EndMark;
    int m_bOpen = 0;
    // The last ReadLine stopped at kMaxLineLength or kMaxLineTimeMs, not at
    // an end mark.
    bool m_bLineCut = false;

private:
    CSerialDevice& Device();
    void ReportLost();
    // ReadLine without the trace.
    QString ReadBytesOfLine();

    std::unique_ptr<CSerialDevice> m_ownDevice;
    CSerialDevice* m_pDevice = nullptr;
    bool m_bDeviceLost = false;
    // A cut line ended with CR: with the end mark CR LF an LF first thing in
    // the next read completes that end mark.
    bool m_bCrBeforeCut = false;
};
