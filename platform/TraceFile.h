#pragma once

#include "Trace.h"

#include <QFile>

// The trace sink of the programs: each record on a line of its own, stamped
// with the local time to the millisecond, written at once so that a trace
// survives a crash. A file is rotated when it would grow past m_nMaxBytes:
// the old one becomes "<path>.1" (one generation is kept). The path "-"
// writes to stderr.
class CTraceFile : public CTrace
{
public:
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

    ~CTraceFile() override { Close(); }

    // False, with the system's reason in error, when the file cannot be
    // opened for appending (its folder is created when missing).
    bool Open(const QString& path, QString* error = nullptr);
    void Close();
    bool IsOn() const override { return m_bStderr || m_file.isOpen(); }
    void Record(const QString& text) override;

    // Where the explorer keeps its trace: $XDG_STATE_HOME/tessaro/trace.log,
    // by default ~/.local/state/tessaro/trace.log.
    static QString DefaultPath();

    qint64 m_nMaxBytes = kMaxBytes;

private:
    void Rotate();

    QFile m_file;
    bool m_bStderr = false;
};
