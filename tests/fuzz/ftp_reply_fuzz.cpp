#include "FuzzCheck.h"
#include "ftp/FtpReplyReader.h"

#include <algorithm>

// The length of the next unread line: up to its LF, or all when none has come.
static qsizetype NextLineLength(const QByteArray& rest)
{
    const qsizetype lf = rest.indexOf('\n');
    return lf < 0 ? rest.size() : lf + 1;
}

// A complete reply is one line, or runs from "xyz-" to the first "xyz ".
static void CheckCompleteReply(const QList<QByteArray>& lines)
{
    const QByteArray& first = lines.first();
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const bool multi = first.size() >= 4 && first.at(3) == '-' && std::all_of(first.begin(), first.begin() + 3, digit);
    const QByteArray end = first.left(3) + ' ';
    Check(multi || lines.size() == 1, "a single-line reply is one line");
    Check(!multi || (lines.size() >= 2 && lines.last().startsWith(end)),
          "a multi-line reply ends at its code and a blank");
    for (qsizetype i = 1; multi && i + 1 < lines.size(); ++i)
        Check(!lines.at(i).startsWith(end), "a multi-line reply ends at the first line that ends it");
}

// Feeds a byte stream in pieces at growing times under small limits and reads
// replies until the reader fails: lines are cut exactly after LF and never
// exceed their limit, no byte is lost or made up, the buffer stays bounded,
// and every failure is one that the bytes and the clock justify.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    CFtpReplyReader reader;
    const CFtpReplyReader::CLimits limits{
        input.ConsumeIntegralInRange<qsizetype>(4, 64), input.ConsumeIntegralInRange<qsizetype>(4, 256),
        input.ConsumeIntegralInRange<int>(1, 8), input.ConsumeIntegralInRange<qint64>(1, 1000)};
    reader.m_limits = limits;
    QByteArray fed, taken;
    qint64 now = 0, start = 0;
    qsizetype checked = 0; // lines of the current reply already looked at
    bool ended = false;
    reader.Begin(now);
    while (input.remaining_bytes() > 0) {
        now += input.ConsumeIntegralInRange<int>(0, 300);
        const QByteArray piece =
            QByteArray::fromStdString(input.ConsumeBytesAsString(input.ConsumeIntegralInRange<int>(0, 40)));
        if (!ended) {
            reader.Feed(piece);
            fed += piece;
            ended = input.ConsumeIntegralInRange<int>(0, 15) == 0;
            if (ended)
                reader.End();
        }
        const CFtpReplyReader::EStatus status = reader.ReadReply(now);
        const QList<QByteArray>& lines = reader.Lines();
        qsizetype replyBytes = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray& line = lines.at(i);
            replyBytes += line.size();
            if (i < checked)
                continue;
            Check(!line.isEmpty() && line.size() <= limits.m_nMaxLine, "a line is within its limit");
            const qsizetype lf = line.indexOf('\n');
            Check(lf == line.size() - 1 || (lf < 0 && ended), "a line ends at its LF, or at the end of the stream");
            taken += line;
        }
        checked = lines.size();
        Check(fed.startsWith(taken), "lines are the bytes fed, in order, none lost or added");
        Check(replyBytes <= limits.m_nMaxReplyBytes && lines.size() <= limits.m_nMaxLines, "a reply within limits");
        const QByteArray rest = fed.mid(taken.size());
        switch (status) {
        case CFtpReplyReader::RS_REPLY_READY:
            CheckCompleteReply(lines);
            start = now;
            checked = 0;
            reader.Begin(now);
            break;
        case CFtpReplyReader::RS_NEED_MORE:
            Check(!ended && reader.Buffered() == rest.size() && rest.indexOf('\n') < 0,
                  "more is needed only for a line");
            Check(rest.size() <= limits.m_nMaxLine, "the unread bytes stay within one line");
            Check(now - start < limits.m_nMaxMs, "more is waited for only within the time limit");
            break;
        case CFtpReplyReader::RS_LINE_TOO_LONG:
            Check(NextLineLength(rest) > limits.m_nMaxLine, "a line too long is longer than the limit");
            return 0;
        case CFtpReplyReader::RS_REPLY_TOO_LONG:
            Check(lines.size() >= limits.m_nMaxLines || replyBytes + NextLineLength(rest) > limits.m_nMaxReplyBytes,
                  "a reply too long is beyond a limit");
            return 0;
        case CFtpReplyReader::RS_TIMED_OUT:
            Check(!ended && now - start >= limits.m_nMaxMs && rest.indexOf('\n') < 0, "a time-out only when it is due");
            return 0;
        case CFtpReplyReader::RS_CLOSED:
            Check(ended && rest.isEmpty(), "closed only when the peer has gone and nothing is left");
            return 0;
        case CFtpReplyReader::RS_LINE_READY:
            Check(false, "ReadReply returns whole replies");
        }
    }
    return 0;
}
