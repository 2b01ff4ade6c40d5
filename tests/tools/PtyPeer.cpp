#include "PtyPeer.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

CSimProcess::~CSimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool CSimProcess::Start(const QStringList& arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(INSTRUMENT_SIM), arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine() && m_process.state() == QProcess::Running && timer.elapsed() < 5000)
        m_process.waitForReadyRead(100);
    const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (!line.startsWith(QLatin1String("device: ")))
        return false;
    m_strDevice = line.mid(8);
    return true;
}

int CSimProcess::Stop()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000) || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}

bool CPtyPeer::Open(const QString& device)
{
    m_nFd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_nFd < 0)
        return false;
    termios tio{};
    tcgetattr(m_nFd, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_nFd, TCSANOW, &tio);
    return true;
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
    while (timer.elapsed() < limitMs) {
        pollfd pfd{m_nFd, POLLIN, 0};
        if (poll(&pfd, 1, quietMs) <= 0)
            break;
        char buffer[4096];
        const ssize_t count = ::read(m_nFd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        data.append(buffer, count);
    }
    return data;
}

QByteArray CPtyPeer::Ask(const QByteArray& command, int quietMs)
{
    if (!Write(command + "\r\n"))
        return QByteArray("<write failed>");
    return ReadUntilQuiet(quietMs);
}
