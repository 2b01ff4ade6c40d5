#pragma once

#include "support/TestFiles.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// The simulator program run for one test; killed if still running at the end.
class CSimProcess
{
public:
    ~CSimProcess()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    // Starts the simulator and reads its device line; false when it failed.
    bool Start(const QStringList& arguments)
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
    // SIGTERM; the exit code, or -1 when it did not end cleanly.
    int Stop()
    {
        m_process.terminate();
        const bool clean = m_process.waitForFinished(5000) && m_process.exitStatus() == QProcess::NormalExit;
        return clean ? m_process.exitCode() : -1;
    }
    QString Device() const { return m_strDevice; }

private:
    QProcess m_process;
    QString m_strDevice;
};

// The handheld's end of the line, with plain POSIX calls in raw mode.
class CPtyPeer
{
public:
    ~CPtyPeer() { Close(); }
    bool Open(const QString& device)
    {
        m_nFd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (m_nFd < 0 || tcgetattr(m_nFd, &tio) != 0)
            return false;
        cfmakeraw(&tio);
        return tcsetattr(m_nFd, TCSANOW, &tio) == 0;
    }
    void Close()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
        m_nFd = -1;
    }
    bool Write(const QByteArray& bytes)
    {
        return ::write(m_nFd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    // Everything that arrives until the line has been quiet for quietMs.
    QByteArray ReadUntilQuiet(int quietMs, int limitMs = 5000)
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
    // Writes a command and CR LF; what came back.
    QByteArray Ask(const QByteArray& command, int quietMs = 250)
    {
        return Write(command + "\r\n") ? ReadUntilQuiet(quietMs) : QByteArray("<write failed>");
    }

private:
    int m_nFd = -1;
};
