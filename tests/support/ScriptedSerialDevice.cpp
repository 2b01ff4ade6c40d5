#include "ScriptedSerialDevice.h"

#include "RecordingProgress.h"

#include "platform/Clock.h"
#include "platform/WaitCursor.h"

#include <algorithm>

CScriptedSerialDevice::CScriptedSerialDevice(CVirtualClock* clock) : m_pClock(clock) {}

void CScriptedSerialDevice::Expect(const QByteArray& written, const QByteArray& reply)
{
    m_rules.append({written, reply});
    m_bScripted = true;
}

void CScriptedSerialDevice::Feed(const QByteArray& bytes)
{
    m_input += bytes;
}

void CScriptedSerialDevice::FeedAt(qint64 time, const QByteArray& bytes)
{
    qsizetype i = 0;
    while (i < m_timed.size() && m_timed.at(i).m_nTime <= time)
        ++i;
    m_timed.insert(i, {time, bytes});
}

void CScriptedSerialDevice::FeedEndless(const QByteArray& pattern, int periodMs, int afterWrites)
{
    m_endless = pattern;
    m_nEndlessPeriodMs = periodMs;
    m_nEndlessAfterWrites = afterWrites;
    m_nEndlessNext = Now();
}

// Makes the next repetition of the endless stream readable when it arrives
// within timeoutMs, letting the clock run to that moment.
bool CScriptedSerialDevice::DeliverEndless(int timeoutMs)
{
    if (m_endless.isEmpty() || m_writes.size() < m_nEndlessAfterWrites || m_nEndlessFed >= m_nEndlessLimit
        || !m_timed.isEmpty())
        return false;
    const qint64 arrival = std::max(m_nEndlessNext, Now());
    if (arrival > Now() + timeoutMs)
        return false;
    if (m_pClock)
        m_pClock->Advance(arrival - Now());
    m_input += m_endless;
    m_nEndlessFed += m_endless.size();
    m_nEndlessNext = arrival + m_nEndlessPeriodMs;
    return true;
}

qint64 CScriptedSerialDevice::Now() const
{
    return m_pClock ? m_pClock->Now() : 0;
}

// Moves the timed chunks that are due into the input.
void CScriptedSerialDevice::Deliver()
{
    while (!m_timed.isEmpty() && m_timed.first().m_nTime <= Now())
        m_input += m_timed.takeFirst().m_bytes;
}

bool CScriptedSerialDevice::Open(const QString& devicePath)
{
    if (m_bFailOpen || m_bLost)
        return false;
    m_bOpen = true;
    ++m_nOpens;
    m_events.append("<open " + devicePath.toUtf8() + ">");
    return true;
}

bool CScriptedSerialDevice::ReadLineState(CSerialLineState& state)
{
    if (!m_bOpen || m_bFailLineState)
        return false;
    state = m_state;
    return true;
}

bool CScriptedSerialDevice::WriteLineState(const CSerialLineState& state)
{
    if (!m_bOpen || m_bFailWriteLineState)
        return false;
    m_state = state;
    return true;
}

CSerialDevice::EReadResult CScriptedSerialDevice::Read(char& byte, int timeoutMs)
{
    if (!m_bOpen || m_bLost)
        return READ_FAILED;
    Deliver();
    if (m_input.isEmpty() && m_nLoseAfterWrites > 0 && m_writes.size() >= m_nLoseAfterWrites) {
        m_bLost = true;
        return READ_FAILED;
    }
    if (m_input.isEmpty() && !m_timed.isEmpty() && m_timed.first().m_nTime <= Now() + timeoutMs) {
        // The next chunk arrives while this read waits.
        if (m_pClock)
            m_pClock->Advance(m_timed.first().m_nTime - Now());
        Deliver();
    }
    if (m_input.isEmpty())
        DeliverEndless(timeoutMs);
    if (m_input.isEmpty()) {
        ++m_nReadTimeouts;
        if (m_pClock)
            m_pClock->Advance(timeoutMs);
        return READ_TIMED_OUT;
    }
    byte = m_input.at(0);
    m_input.remove(0, 1);
    return READ_BYTE;
}

bool CScriptedSerialDevice::Write(const QByteArray& bytes, int timeoutMs)
{
    if (!m_bOpen || m_bLost)
        return false;
    if (CWaitCursor::Depth() == 0 && !(m_pProgress && m_pProgress->m_bVisible))
        ++m_nUnseenWrites;
    if (m_input.isEmpty() && m_nLoseAfterWrites > 0 && m_writes.size() >= m_nLoseAfterWrites) {
        m_bLost = true;
        return false;
    }
    m_events.append(bytes);
    m_writes.append(bytes);
    m_writeTimeouts.append(timeoutMs);
    if (m_rules.isEmpty()) {
        // Once a conversation is scripted, a write beyond its end is one too many.
        if (m_bScripted)
            m_mismatches.append(bytes);
        return true;
    }
    const CRule& rule = m_rules.first();
    if (!rule.m_written.isEmpty() && rule.m_written != bytes) {
        m_mismatches.append(bytes);
        return true;
    }
    m_input += rule.m_reply;
    m_rules.removeFirst();
    return true;
}

void CScriptedSerialDevice::Purge()
{
    m_events.append("<purge>");
    Deliver();
    m_input.clear();
}

void CScriptedSerialDevice::Close()
{
    if (!m_bOpen)
        return;
    m_bOpen = false;
    m_events.append("<close>");
}

QString CScriptedSerialDevice::ErrorText() const
{
    return m_bLost ? QStringLiteral("The device has disappeared") : QString();
}
