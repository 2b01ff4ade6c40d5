#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>

// What the test servers and the fault relay share: their processes report
// through their output within bounds, and never outlive their test.

// Stops process: by closing its input where that ends it, else by SIGTERM;
// killed when it does not end within 3 s.
inline void StopProcess(QProcess& process, bool closeInput = false)
{
    if (process.state() == QProcess::NotRunning)
        return;
    if (closeInput)
        process.closeWriteChannel();
    else
        process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

// The next line of the process's output that starts with prefix, without its
// line end; empty when none came within ms. Each line read is added to seen.
inline QByteArray WaitForLine(QProcess& process, const QByteArray& prefix, int ms, QByteArray* seen = nullptr)
{
    for (const QDeadlineTimer deadline(ms);;) {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine();
            if (seen)
                *seen += line;
            if (line.startsWith(prefix))
                return line.trimmed();
        }
        if (deadline.hasExpired() || !process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return QByteArray();
    }
}
