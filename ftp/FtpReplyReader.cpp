#include "FtpReplyReader.h"

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "230-Welcome" opens a multi-line reply with the code "230".
QByteArray MultiLineCode(const QByteArray& line)
{
    if (line.size() < 4 || line.at(3) != '-' || !IsDigit(line.at(0)) || !IsDigit(line.at(1)) || !IsDigit(line.at(2)))
        return QByteArray();
    return line.left(3);
}

bool IsMultiLineEnd(const QByteArray& line, const QByteArray& code)
{
    return line.size() >= 4 && line.at(3) == ' ' && line.startsWith(code);
}

} // namespace

void CFtpReplyReader::Begin(qint64 nowMs)
{
    m_lines.clear();
    m_code.clear();
    m_nReplyBytes = 0;
    m_nStartMs = nowMs;
    m_bComplete = false;
}

void CFtpReplyReader::Feed(QByteArrayView bytes)
{
    if (HasFailed() || bytes.isEmpty())
        return;
    // Taken bytes are dropped before the buffer grows, so that it holds
    // little more than one line and one block of the socket.
    if (m_nPos > 0) {
        m_buffer.remove(0, m_nPos);
        m_nPos = 0;
    }
    m_buffer.append(bytes);
}

qint64 CFtpReplyReader::RemainingMs(qint64 nowMs) const
{
    return qMax<qint64>(0, m_nStartMs + m_limits.m_nMaxMs - nowMs);
}

void CFtpReplyReader::Reset()
{
    const CLimits limits = m_limits;
    *this = CFtpReplyReader();
    m_limits = limits;
}

CFtpReplyReader::EStatus CFtpReplyReader::Fail(EStatus failure)
{
    m_failure = failure;
    m_buffer.clear();
    m_nPos = 0;
    return failure;
}

CFtpReplyReader::EStatus CFtpReplyReader::Take(qsizetype end)
{
    const qsizetype length = end - m_nPos;
    if (length > m_limits.m_nMaxLine)
        return Fail(RS_LINE_TOO_LONG);
    m_nReplyBytes += length;
    if (m_nReplyBytes > m_limits.m_nMaxReplyBytes || m_lines.size() >= m_limits.m_nMaxLines)
        return Fail(RS_REPLY_TOO_LONG);
    QByteArray line = m_buffer.mid(m_nPos, length);
    m_nPos = end;
    if (m_lines.isEmpty()) {
        m_code = MultiLineCode(line);
        m_bComplete = m_code.isEmpty();
    } else {
        m_bComplete = IsMultiLineEnd(line, m_code);
    }
    m_lines.append(std::move(line));
    return RS_LINE_READY;
}

CFtpReplyReader::EStatus CFtpReplyReader::ReadLine(qint64 nowMs)
{
    if (HasFailed())
        return m_failure;
    if (m_bComplete)
        return RS_REPLY_READY; // Begin starts the next reply
    const qsizetype lf = m_buffer.indexOf('\n', m_nPos);
    if (lf >= 0)
        return Take(lf + 1);
    if (Buffered() > m_limits.m_nMaxLine)
        return Fail(RS_LINE_TOO_LONG);
    if (m_bEnded) {
        // The peer has gone: what is left is the last line, if anything.
        if (Buffered() > 0)
            return Take(m_buffer.size());
        return Fail(RS_CLOSED);
    }
    // Time counts only while bytes are missing: a reply that is complete in
    // what has arrived is taken even when it was read late.
    if (nowMs - m_nStartMs >= m_limits.m_nMaxMs)
        return Fail(RS_TIMED_OUT);
    return RS_NEED_MORE;
}

CFtpReplyReader::EStatus CFtpReplyReader::ReadReply(qint64 nowMs)
{
    while (!m_bComplete) {
        const EStatus status = ReadLine(nowMs);
        if (status != RS_LINE_READY)
            return status;
    }
    return RS_REPLY_READY;
}
