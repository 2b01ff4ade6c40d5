#include "QtSerialDevice.h"

#include "SystemReason.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The device's own flow control as the line state carries it: RTS/CTS, and
// XON/XOFF for what the device sends and for what it receives.
constexpr int kFlowRtsCts = 1;
constexpr int kFlowXonXoffOut = 2;
constexpr int kFlowXonXoffIn = 4;

int FlowFlags(const termios& tio)
{
    return ((tio.c_cflag & CRTSCTS) ? kFlowRtsCts : 0) | ((tio.c_iflag & IXON) ? kFlowXonXoffOut : 0)
        | ((tio.c_iflag & IXOFF) ? kFlowXonXoffIn : 0);
}

void SetFlowFlags(termios& tio, int nFlags)
{
    tio.c_cflag = (nFlags & kFlowRtsCts) ? (tio.c_cflag | CRTSCTS) : (tio.c_cflag & ~tcflag_t(CRTSCTS));
    tio.c_iflag = (nFlags & kFlowXonXoffOut) ? (tio.c_iflag | IXON) : (tio.c_iflag & ~tcflag_t(IXON));
    tio.c_iflag = (nFlags & kFlowXonXoffIn) ? (tio.c_iflag | IXOFF) : (tio.c_iflag & ~tcflag_t(IXOFF));
}

// Sets the flow control of an open descriptor to nFlags unless it already is.
bool ApplyFlowFlags(int fd, int nFlags)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    if (FlowFlags(tio) == nFlags)
        return true;
    SetFlowFlags(tio, nFlags);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

QSerialPort::Parity ToQtParity(quint8 parity)
{
    switch (parity) {
    case 1:
        return QSerialPort::OddParity;
    case 2:
        return QSerialPort::EvenParity;
    case 3:
        return QSerialPort::MarkParity;
    case 4:
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

quint8 FromQtParity(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::OddParity:
        return 1;
    case QSerialPort::EvenParity:
        return 2;
    case QSerialPort::MarkParity:
        return 3;
    case QSerialPort::SpaceParity:
        return 4;
    default:
        return 0;
    }
}

QSerialPort::StopBits ToQtStopBits(quint8 stopBits)
{
    switch (stopBits) {
    case 1:
        return QSerialPort::OneAndHalfStop;
    case 2:
        return QSerialPort::TwoStop;
    default:
        return QSerialPort::OneStop;
    }
}

quint8 FromQtStopBits(QSerialPort::StopBits stopBits)
{
    switch (stopBits) {
    case QSerialPort::OneAndHalfStop:
        return 1;
    case QSerialPort::TwoStop:
        return 2;
    default:
        return 0;
    }
}

} // namespace

bool CQtSerialDevice::Open(const QString& devicePath)
{
    Close();
    m_bNoLineState = false;
    m_strOpenError.clear();
    // QSerialPort clears the flow control when it opens a port: the device's
    // own settings are read first and put back. The descriptor that read them
    // is closed only after the port: closed before, it would drop the line's
    // DTR; closed between, it would look like the port's close to a watcher
    // of the device that took both opens for one.
    m_nSettingsFd = ::open(QFile::encodeName(devicePath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int openErrno = m_nSettingsFd < 0 ? errno : 0;
    termios before{};
    const bool bFlowKnown = m_nSettingsFd >= 0 && ::tcgetattr(m_nSettingsFd, &before) == 0;
    m_port.setPortName(devicePath);
    if (m_port.open(QIODevice::ReadWrite)) {
        if (bFlowKnown)
            ApplyFlowFlags(int(m_port.handle()), FlowFlags(before));
        return true;
    }
    CloseSettingsFd();
    // The system's own reason where it has one; a device that opens but is
    // locked or held exclusively by another program has only Qt's.
    m_strOpenError = openErrno != 0 ? CSystemReason::DeviceReason(devicePath, openErrno)
                                    : QStringLiteral("%1: %2").arg(devicePath, m_port.errorString());
    // QSerialPort reads the terminal settings while opening; a device that
    // exists and is free but refuses that is the "cannot read line state" case.
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        return false;
    default:
        m_bNoLineState = true;
        return true;
    }
}

bool CQtSerialDevice::ReadLineState(CSerialLineState& state)
{
    if (m_bNoLineState || !m_port.isOpen())
        return false;
    state.m_nBaudRate = m_port.baudRate();
    state.m_nByteSize = static_cast<quint8>(m_port.dataBits());
    state.m_nParity = FromQtParity(m_port.parity());
    state.m_nStopBits = FromQtStopBits(m_port.stopBits());
    termios tio{};
    if (::tcgetattr(int(m_port.handle()), &tio) != 0)
        return false;
    state.m_nFlowControl = FlowFlags(tio);
    return true;
}

bool CQtSerialDevice::WriteLineState(const CSerialLineState& state)
{
    if (!m_port.isOpen())
        return false;
    bool ok = m_port.setBaudRate(state.m_nBaudRate);
    ok = m_port.setDataBits(static_cast<QSerialPort::DataBits>(state.m_nByteSize)) && ok;
    ok = m_port.setParity(ToQtParity(state.m_nParity)) && ok;
    ok = m_port.setStopBits(ToQtStopBits(state.m_nStopBits)) && ok;
    // Never through QSerialPort::setFlowControl(): it knows no RTS/CTS and
    // XON/XOFF together and would clear what it does not know.
    return ApplyFlowFlags(int(m_port.handle()), state.m_nFlowControl) && ok;
}

CSerialDevice::EReadResult CQtSerialDevice::Read(char& byte, int timeoutMs)
{
    if (!m_port.isOpen())
        return READ_FAILED;
    QDeadlineTimer deadline(timeoutMs);
    while (m_port.bytesAvailable() == 0) {
        if (m_port.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            continue;
        const QSerialPort::SerialPortError error = m_port.error();
        if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
            return READ_FAILED;
        m_port.clearError();
        if (deadline.hasExpired())
            return READ_TIMED_OUT;
    }
    return m_port.getChar(&byte) ? READ_BYTE : READ_FAILED;
}

bool CQtSerialDevice::Write(const QByteArray& bytes, int timeoutMs)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(bytes) != bytes.size())
        return false;
    QDeadlineTimer deadline(timeoutMs);
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            return false;
    }
    return true;
}

void CQtSerialDevice::Purge()
{
    if (m_port.isOpen())
        m_port.clear(QSerialPort::Input);
}

void CQtSerialDevice::Close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
    CloseSettingsFd();
}

void CQtSerialDevice::CloseSettingsFd()
{
    if (m_nSettingsFd >= 0)
        ::close(m_nSettingsFd);
    m_nSettingsFd = -1;
}

bool CQtSerialDevice::IsOpen() const
{
    return m_port.isOpen();
}

QString CQtSerialDevice::ErrorText() const
{
    return m_strOpenError.isEmpty() ? m_port.errorString() : m_strOpenError;
}
