#include "PtyPeer.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

CSimProcess::~CSimProcess()
{
    m_process.kill();
    m_process.waitForFinished(2000);
}

bool CSimProcess::Start(const QStringList& arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(INSTRUMENT_SIM), arguments);
    QElapsedTimer timer;
    timer.start();
    while (m_process.waitForStarted(5000) && !m_process.canReadLine() && timer.elapsed() < 5000)
        m_process.waitForReadyRead(100);
    const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    m_strDevice = line.mid(8);
    return line.startsWith(QLatin1String("device: "));
}

int CSimProcess::Stop()
{
    m_process.terminate();
    const bool clean = m_process.waitForFinished(5000) && m_process.exitStatus() == QProcess::NormalExit;
    return clean ? m_process.exitCode() : -1;
}

bool CPtyPeer::Open(const QString& device)
{
    m_nFd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    if (m_nFd < 0 || tcgetattr(m_nFd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    return tcsetattr(m_nFd, TCSANOW, &tio) == 0;
}

bool CPtyPeer::SetLine(unsigned speed, unsigned flags)
{
    termios tio{};
    if (tcgetattr(m_nFd, &tio) != 0)
        return false;
    tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB | PARODD | CSTOPB)) | flags;
    cfsetspeed(&tio, speed);
    return tcsetattr(m_nFd, TCSANOW, &tio) == 0;
}

void CPtyPeer::Close()
{
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = -1;
}

bool CPtyPeer::Write(const QByteArray& bytes)
{
    return ::write(m_nFd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
}

QByteArray CPtyPeer::ReadUntilQuiet(int quietMs, int limitMs)
{
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    char buffer[4096];
    pollfd pfd{m_nFd, POLLIN, 0};
    while (timer.elapsed() < limitMs && poll(&pfd, 1, quietMs) > 0) {
        const ssize_t count = ::read(m_nFd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        data.append(buffer, count);
    }
    return data;
}

QByteArray CPtyPeer::Ask(const QByteArray& command, int quietMs)
{
    return Write(command + "\r\n") ? ReadUntilQuiet(quietMs) : QByteArray("<write failed>");
}
