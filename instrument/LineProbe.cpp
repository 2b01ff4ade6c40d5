#include "LineProbe.h"

#include "ComPort.h"
#include "Protocol.h"
#include "platform/Bytes.h"
#include "platform/Clock.h"
#include "platform/Progress.h"
#include "platform/SerialDevice.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <algorithm>

using DetectPlan::CLineTry;

namespace {

// A reply begins within one read time-out of the request; 256 bytes take
// 2.3 s even at 1200 bit/s, so twice the time-out bounds any honest reply.
constexpr int kReplyLimitMs = 2 * CComPort::kReadTimeoutMs;

qint64 Now()
{
    return CServices::Clock().Now();
}

} // namespace

CLineProbe::CLineProbe(CSerialDevice& device) : m_device(device) {}

CLineProbe::~CLineProbe()
{
    m_device.Close();
}

CLineProbe::EOutcome CLineProbe::Try(const QString& path, const CLineTry& line)
{
    m_outcome = PROBE_NO_ANSWER;
    m_strEndMark.clear();
    m_bNameGiven = false;
    m_strName.clear();
    m_strError.clear();

    // The wake-up: "a" alone, then the instrument needs its time.
    if (!Open(path, line) || !Send(QStringLiteral("a")))
        return Finish(m_outcome);
    m_device.Close();
    QByteArray reply;
    if (!Pause(kWakePauseMs) || !Open(path, line) || !Send(QString(Protocol::kWake)) || !ReadReply(reply)
        || !Send(QString(Protocol::kWake)) || !ReadReply(reply))
        return Finish(m_outcome);
    m_device.Close();
    if (reply.isEmpty())
        return Finish(PROBE_NO_ANSWER);

    // The name request, after the pause the connection makes too.
    if (!Pause(kIdentifyPauseMs) || !Open(path, line) || !Send(QStringLiteral("%R1Q,5004:")) || !ReadReply(reply))
        return Finish(m_outcome);
    bool lineFeed = false;
    if (reply.endsWith('\r') && !ReadLineFeed(lineFeed))
        return Finish(m_outcome);
    m_device.Close();

    const std::optional<Protocol::CIdentifyReply> identify = Protocol::ParseIdentifyReply(FromBytes(reply));
    // A name reply cut off without its CR is noise that happens to begin right.
    if (!identify || !reply.endsWith('\r'))
        return Finish(PROBE_NO_ANSWER);
    m_strEndMark = lineFeed ? QStringLiteral("\r\n") : QStringLiteral("\r");
    m_bNameGiven = identify->m_bOk;
    m_strName = identify->m_strName;
    return Finish(PROBE_ANSWERED);
}

CLineProbe::EOutcome CLineProbe::Finish(EOutcome outcome)
{
    m_device.Close();
    m_outcome = outcome;
    return outcome;
}

bool CLineProbe::Fail(EOutcome outcome)
{
    m_outcome = outcome;
    return false;
}

void CLineProbe::TakeError()
{
    m_strError = m_device.ErrorText();
    if (m_strError.isEmpty())
        m_strError = LoadString(IDS_CANNOT_OPEN_COM);
}

bool CLineProbe::Open(const QString& path, const CLineTry& line)
{
    if (!m_device.Open(path)) {
        TakeError();
        return Fail(PROBE_UNAVAILABLE);
    }
    CSerialLineState state;
    if (!m_device.ReadLineState(state)) {
        TakeError();
        m_device.Close();
        return Fail(PROBE_UNAVAILABLE);
    }
    state.m_nBaudRate = line.BaudRate;
    state.m_nByteSize = line.ByteSize;
    state.m_nParity = line.Parity;
    state.m_nStopBits = line.StopBits;
    if (!m_device.WriteLineState(state)) {
        m_device.Close();
        return Fail(PROBE_REJECTED);
    }
    // Whatever a former try left on the line is not an answer to this one.
    m_device.Purge();
    return true;
}

bool CLineProbe::Send(const QString& text)
{
    const QByteArray bytes = ToBytes(text + QLatin1String("\r\n"));
    if (m_device.Write(bytes, CComPort::kWriteTimeoutConstMs + static_cast<int>(bytes.size())))
        return true;
    TakeError();
    return Fail(PROBE_UNAVAILABLE);
}

bool CLineProbe::Pause(int ms)
{
    const qint64 end = Now() + ms;
    for (;;) {
        if (CServices::Progress().PollCancel())
            return Fail(PROBE_CANCELLED);
        const qint64 left = end - Now();
        if (left <= 0)
            return true;
        CServices::Clock().Sleep(static_cast<int>(std::min<qint64>(left, kSliceMs)));
    }
}

// Bytes up to and with the first CR; an LF before the first byte is the end
// of the previous reply's CR LF and is dropped. Empty after silence.
bool CLineProbe::ReadReply(QByteArray& reply)
{
    reply.clear();
    const qint64 start = Now();
    qint64 lastByte = start;
    for (;;) {
        if (CServices::Progress().PollCancel())
            return Fail(PROBE_CANCELLED);
        const qint64 left = std::min(lastByte + CComPort::kReadTimeoutMs, start + kReplyLimitMs) - Now();
        if (left <= 0)
            return true;
        char byte = 0;
        const CSerialDevice::EReadResult result =
            m_device.Read(byte, static_cast<int>(std::min<qint64>(left, kSliceMs)));
        if (result == CSerialDevice::READ_FAILED) {
            TakeError();
            return Fail(PROBE_UNAVAILABLE);
        }
        if (result == CSerialDevice::READ_TIMED_OUT)
            continue;
        lastByte = Now();
        if (byte == '\n' && reply.isEmpty())
            continue;
        reply += byte;
        if (byte == '\r' || reply.size() >= kMaxReply)
            return true;
    }
}

bool CLineProbe::ReadLineFeed(bool& lineFeed)
{
    char byte = 0;
    const CSerialDevice::EReadResult result = m_device.Read(byte, kLineFeedWaitMs);
    if (result == CSerialDevice::READ_FAILED) {
        TakeError();
        return Fail(PROBE_UNAVAILABLE);
    }
    lineFeed = result == CSerialDevice::READ_BYTE && byte == '\n';
    return true;
}
