#include "ComPort.h"

#include "ComSettings.h"
#include "platform/Bytes.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/Prompt.h"
#include "platform/QtSerialDevice.h"
#include "platform/SerialDevice.h"
#include "platform/Services.h"
#include "platform/SystemReason.h"
#include "platform/Trace.h"
#include "resources/StringTable.h"

namespace {
QString g_deviceOverride;
}

CComPort::CComPort() = default;

CComPort::~CComPort()
{
    Close();
}

void CComPort::SetSettings(const CComSettings& settings)
{
    BaudRate = settings.BaudRate;
    Parity = settings.Parity;
    ByteSize = settings.ByteSize;
    StopBits = settings.StopBits;
    ComPort = settings.ComPort;
    EndMark = settings.EndMark;
}

void CComPort::SetDevice(CSerialDevice* device)
{
    if (m_pDevice)
        m_pDevice->Close();
    else if (m_ownDevice)
        m_ownDevice->Close();
    m_bOpen = 0;
    m_pDevice = device;
}

CSerialDevice& CComPort::Device()
{
    if (m_pDevice)
        return *m_pDevice;
    if (!m_ownDevice)
        m_ownDevice = std::make_unique<CQtSerialDevice>();
    return *m_ownDevice;
}

QString CComPort::DevicePath(int comPort)
{
    if (!g_deviceOverride.isEmpty())
        return g_deviceOverride;
    return MappedPath(comPort);
}

QString CComPort::MappedPath(int comPort)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comPort);
#else
    return CProfile::ReadString(QStringLiteral("COM_DEVICES"), QStringLiteral("COM%1").arg(comPort),
                                QStringLiteral("/dev/ttyS%1").arg(comPort - 1));
#endif
}

void CComPort::SetDeviceOverride(const QString& path)
{
    g_deviceOverride = path;
}

bool CComPort::Open()
{
    CSerialDevice& device = Device();
    device.Close();
    m_bDeviceLost = false;
    m_bLineCut = false;
    m_bCrBeforeCut = false;
    if (!device.Open(DevicePath(ComPort))) {
        const QString reason = device.ErrorText();
        CTrace::Note(reason);
        CServices::Prompt().MessageBox(CSystemReason::Append(LoadString(IDS_COM_INVALID_HANDLE), reason),
                                       LoadString(IDS_ERROR), MB_OK, MB_ICONNONE);
        return false;
    }
    CSerialLineState state;
    if (!device.ReadLineState(state)) {
        Close();
        CServices::Prompt().MessageBox(LoadString(IDS_CANNOT_OPEN_COM), LoadString(IDS_ERROR), MB_OK, MB_ICONNONE);
        return false;
    }
    state.m_nBaudRate = BaudRate;
    state.m_nByteSize = ByteSize;
    state.m_nParity = Parity;
    state.m_nStopBits = StopBits;
    if (!device.WriteLineState(state)) {
        Close();
        return false;
    }
    m_bOpen = 1;
    return true;
}

void CComPort::Close()
{
    Device().Close();
    m_bOpen = 0;
}

// The device failed while open: say so once and close it, so that the
// operation in progress ends at its next read or write instead of hanging.
void CComPort::ReportLost()
{
    if (m_bDeviceLost)
        return;
    m_bDeviceLost = true;
    QString text = LoadString(IDS_COMMUNICATION_ERROR);
    const QString detail = Device().ErrorText();
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    Device().Close();
    CServices::Prompt().MessageBox(text, LoadString(IDS_ERROR), MB_OK, MB_ICONERROR);
}

bool CComPort::Write(const char* bytes, int count)
{
    return Write(QByteArray(bytes, count));
}

bool CComPort::Write(const QByteArray& bytes)
{
    if (!m_bOpen || m_bDeviceLost || !Device().IsOpen())
        return false;
    CTrace::SerialSent(bytes);
    if (Device().Write(bytes, kWriteTimeoutConstMs + static_cast<int>(bytes.size())))
        return true;
    // A few bytes that cannot leave within two seconds: the device is gone.
    ReportLost();
    return false;
}

QString CComPort::ReadLine()
{
    const QString line = ReadBytesOfLine();
    CTrace::SerialReceived(ToBytes(line), m_bTimedOut != 0);
    return line;
}

QString CComPort::ReadBytesOfLine()
{
    QString line;
    const bool crLf = EndMark == QLatin1String("\r\n");
    bool crSeen = crLf && m_bCrBeforeCut;
    m_bCrBeforeCut = false;
    m_bLineCut = false;
    const CClock& clock = CServices::Clock();
    const qint64 start = clock.Now();
    for (;;) {
        m_bTimedOut = 0;
        if (!m_bOpen || m_bDeviceLost || !Device().IsOpen()) {
            m_bTimedOut = 1;
            return line;
        }
        char byte = 0;
        const CSerialDevice::EReadResult result = Device().Read(byte, kReadTimeoutMs);
        if (result != CSerialDevice::READ_BYTE) {
            if (result == CSerialDevice::READ_FAILED)
                ReportLost();
            m_bTimedOut = 1;
            return line;
        }
        const unsigned char value = static_cast<unsigned char>(byte);
        line += QChar(value);
        // "\r\n": a CR directly followed by LF; "\r": the CR alone.
        if (crLf ? value == 10 && crSeen : value == 13)
            return line;
        crSeen = value == 13;
        // Every byte counts against the bounds, CRs included.
        if (line.size() >= kMaxLineLength || clock.Now() - start >= kMaxLineTimeMs) {
            m_bLineCut = true;
            m_bCrBeforeCut = crSeen;
            return line;
        }
    }
}

void CComPort::Purge()
{
    m_bCrBeforeCut = false;
    if (m_bOpen && !m_bDeviceLost && Device().IsOpen())
        Device().Purge();
}
