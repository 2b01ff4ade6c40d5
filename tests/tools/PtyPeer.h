#pragma once

#include "support/TestFiles.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// The simulator program run for one test; killed if still running at the end.
class CSimProcess
{
public:
    ~CSimProcess();
    // Starts the simulator and reads its device line; false when it failed.
    bool Start(const QStringList& arguments);
    // SIGTERM; the exit code, or -1 when it did not end cleanly.
    int Stop();
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
    bool Open(const QString& device);
    // Sets the line's speed (a termios speed code such as B4800) and the
    // character-size, parity and stop-bit flags of c_cflag.
    bool SetLine(unsigned speed, unsigned flags);
    void Close();
    bool Write(const QByteArray& bytes);
    // Everything that arrives until the line has been quiet for quietMs.
    QByteArray ReadUntilQuiet(int quietMs, int limitMs = 5000);
    // Writes a command and CR LF; what came back.
    QByteArray Ask(const QByteArray& command, int quietMs = 250);

private:
    int m_nFd = -1;
};
