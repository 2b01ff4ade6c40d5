#pragma once

#include "platform/SerialDevice.h"

#include <QByteArrayList>
#include <QList>

class CRecordingProgress;
class CVirtualClock;

// A serial device for tests. It plays a script of replies tied to what the
// client writes, records every byte written and marks open, close and purge,
// and lets time pass on a virtual clock instead of waiting:
// - Expect(written, reply): when the next write equals `written` (an empty
//   `written` matches any write), `reply` becomes readable. Rules are used in
//   order; a write that does not match the next rule, or comes after the last
//   one, is recorded in m_mismatches and gets no reply.
// - Feed(bytes): bytes readable at once; FeedAt(time, bytes): readable from
//   that time on the virtual clock.
// - A read with nothing to give advances the clock by its time-out (or to the
//   next timed chunk when that comes sooner) and reports the time-out.
// - FeedEndless(pattern): an instrument that never stops sending (see there).
// - Failures: FailOpen, FailLineState, FailWriteLineState, and LoseAfter
//   (the device disappears once the client has written n times and read all
//   that was readable: reads and writes fail from then on).
class CScriptedSerialDevice : public CSerialDevice
{
public:
    explicit CScriptedSerialDevice(CVirtualClock* clock = nullptr);

    void Expect(const QByteArray& written, const QByteArray& reply = QByteArray());
    void Feed(const QByteArray& bytes);
    void FeedAt(qint64 time, const QByteArray& bytes);
    // Once the client has written `afterWrites` times and read all other
    // input, every read gets the next byte of `pattern`, repeated without end;
    // with periodMs each repetition arrives that long after the one before.
    // After m_nEndlessLimit bytes the stream falls silent, so that a link that
    // would read for ever still ends its test; m_nEndlessFed tells how far it got.
    void FeedEndless(const QByteArray& pattern, int periodMs = 0, int afterWrites = 0);
    // The device disappears after the client's n-th write (counted from 1)
    // once its reply has been read.
    void LoseAfter(int writes) { m_nLoseAfterWrites = writes; }
    bool AllExpected() const { return m_rules.isEmpty() && m_mismatches.isEmpty(); }

    bool Open(const QString& devicePath) override;
    bool ReadLineState(CSerialLineState& state) override;
    bool WriteLineState(const CSerialLineState& state) override;
    EReadResult Read(char& byte, int timeoutMs) override;
    bool Write(const QByteArray& bytes, int timeoutMs) override;
    void Purge() override;
    void Close() override;
    bool IsOpen() const override { return m_bOpen; }
    QString ErrorText() const override;

    // Set up before the test:
    bool m_bFailOpen = false;
    bool m_bFailLineState = false;
    bool m_bFailWriteLineState = false;
    CSerialLineState m_state{9600, 7, 2, 2, 1}; // what the device holds

    // Recorded:
    QByteArrayList m_events;     // each write's bytes, and "<open PATH>", "<close>", "<purge>"
    QByteArrayList m_writes;     // each write's bytes
    QByteArrayList m_mismatches; // writes that did not match the next rule
    QList<int> m_writeTimeouts;  // time-out given to each write
    int m_nReadTimeouts = 0;     // reads that found nothing
    int m_nOpens = 0;
    bool m_bLost = false;
    qint64 m_nEndlessLimit = 16 * 1024 * 1024;
    qint64 m_nEndlessFed = 0; // bytes of the endless stream made readable
    // Writes made while the user saw neither the wait cursor nor the Transfer
    // window (m_pProgress, when set): a conversation the user cannot see.
    const CRecordingProgress* m_pProgress = nullptr;
    int m_nUnseenWrites = 0;

private:
    struct CRule
    {
        QByteArray m_written;
        QByteArray m_reply;
    };
    struct CTimedChunk
    {
        qint64 m_nTime = 0;
        QByteArray m_bytes;
    };
    qint64 Now() const;
    void Deliver();
    bool DeliverEndless(int timeoutMs);

    CVirtualClock* m_pClock = nullptr;
    QList<CRule> m_rules;
    QList<CTimedChunk> m_timed;
    QByteArray m_input;
    bool m_bOpen = false;
    int m_nLoseAfterWrites = 0;
    bool m_bScripted = false;
    QByteArray m_endless;
    int m_nEndlessPeriodMs = 0;
    int m_nEndlessAfterWrites = 0;
    qint64 m_nEndlessNext = 0;
};
