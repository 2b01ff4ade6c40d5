#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Splits the bytes of an FTP control connection into reply lines and whole
// replies: one line, or every line from "xyz-" up to the line "xyz ". It
// knows no sockets and no clock: the caller feeds the bytes as they arrive
// and says what time it is, so that every rule can be tested with real lines
// and fuzzed.
//
// A line ends at LF; a CR before it stays part of the line, as does a CR
// anywhere else. When the peer has closed the connection (End), the bytes
// after the last LF make one last line.
//
// Every reply is bounded: each line in length, the reply in bytes, in lines
// and in time from Begin to its last line. Once a limit is hit or the peer
// has gone, the reader stays failed: the connection is out of step and is
// closed by its owner, who then calls Reset.
class CFtpReplyReader
{
public:
    struct CLimits
    {
        qsizetype m_nMaxLine = 8192; // bytes of one line, its line end included
        qsizetype m_nMaxReplyBytes = 64 * 1024;
        int m_nMaxLines = 1000;
        qint64 m_nMaxMs = 30000; // from Begin to the reply's last line
    };

    enum EStatus {
        RS_NEED_MORE,      // feed more bytes, or End, then ask again
        RS_LINE_READY,     // ReadLine: one more line of the reply
        RS_REPLY_READY,    // ReadReply: the reply is complete
        RS_LINE_TOO_LONG,  // a line longer than m_nMaxLine
        RS_REPLY_TOO_LONG, // more than m_nMaxReplyBytes or m_nMaxLines
        RS_TIMED_OUT,      // more bytes were needed after m_nMaxMs
        RS_CLOSED,         // the peer closed before the reply was complete
    };

    CLimits m_limits;

    // Starts a new reply at nowMs (milliseconds on any steady time line).
    // Bytes already fed and not yet taken belong to it.
    void Begin(qint64 nowMs);
    void Feed(QByteArrayView bytes);
    // The peer closed the connection: no more bytes will come.
    void End() { m_bEnded = true; }

    // Takes one more line of the current reply.
    EStatus ReadLine(qint64 nowMs);
    // Takes lines until the current reply is complete.
    EStatus ReadReply(qint64 nowMs);

    // The lines of the current reply, line ends kept.
    const QList<QByteArray>& Lines() const { return m_lines; }
    bool IsReplyComplete() const { return m_bComplete; }
    // Time left for the current reply; never below 0.
    qint64 RemainingMs(qint64 nowMs) const;
    // Bytes fed and not yet taken as lines.
    qsizetype Buffered() const { return m_buffer.size() - m_nPos; }
    bool HasFailed() const { return m_failure != RS_NEED_MORE; }

    // Forgets everything: for a new connection.
    void Reset();

private:
    EStatus Fail(EStatus failure);
    EStatus Take(qsizetype end);

    QByteArray m_buffer;
    qsizetype m_nPos = 0; // start of the bytes not yet taken
    QList<QByteArray> m_lines;
    QByteArray m_code; // of a multi-line reply; empty for a single line
    qsizetype m_nReplyBytes = 0;
    qint64 m_nStartMs = 0;
    bool m_bComplete = false;
    bool m_bEnded = false;
    EStatus m_failure = RS_NEED_MORE;
};
