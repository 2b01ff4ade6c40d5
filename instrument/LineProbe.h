#pragma once

#include "DetectPlan.h"

#include <QByteArray>
#include <QString>

class CSerialDevice;

// One try of the instrument search: on one device, at one combination of
// line settings, the connection's own exchange: "a", close, 3000 ms, "c" and
// "c" (the second must be answered), close, 1000 ms, "%R1Q,5004:". Only a
// reply of the name request's form counts as an instrument: at wrong
// settings a line often brings noise, never that reply.
//
// Replies are read up to their CR; an LF that follows within 50 ms (the
// serial line's gap between two bytes of one reply) makes the end mark
// CR LF. So one try covers both end marks.
//
// Every step is bounded: a reply ends after 2002 ms without a byte, after
// 256 bytes or after 4004 ms in all. Pauses and reads go in slices of at
// most 100 ms with a cancel poll between them, so that Cancel ends the try
// at once. Nothing is shown: failures come back as outcomes.
class CLineProbe
{
public:
    enum EOutcome {
        PROBE_ANSWERED,    // a name reply came back; the fields below describe it
        PROBE_NO_ANSWER,   // silence, or replies that are not a name reply
        PROBE_REJECTED,    // the device does not take these line settings
        PROBE_UNAVAILABLE, // the device cannot be opened or failed; m_strError says why
        PROBE_CANCELLED,   // the user cancelled
    };

    static constexpr int kWakePauseMs = 3000;
    static constexpr int kIdentifyPauseMs = 1000;
    static constexpr int kLineFeedWaitMs = 50;
    static constexpr int kSliceMs = 100;
    static constexpr int kMaxReply = 256;

    explicit CLineProbe(CSerialDevice& device);
    ~CLineProbe();
    CLineProbe(const CLineProbe&) = delete;
    CLineProbe& operator=(const CLineProbe&) = delete;

    EOutcome Try(const QString& path, const DetectPlan::CLineTry& line);

    // After PROBE_ANSWERED:
    QString m_strEndMark;      // "\r\n" or "\r"
    bool m_bNameGiven = false; // the reply carried return code 0 and a name
    QString m_strName;
    // After PROBE_UNAVAILABLE:
    QString m_strError;

private:
    bool Open(const QString& path, const DetectPlan::CLineTry& line);
    bool Send(const QString& text);
    bool Pause(int ms);
    bool ReadReply(QByteArray& reply);
    bool ReadLineFeed(bool& lineFeed);
    bool Fail(EOutcome outcome);
    void TakeError();
    EOutcome Finish(EOutcome outcome);

    CSerialDevice& m_device;
    EOutcome m_outcome = PROBE_NO_ANSWER;
};
