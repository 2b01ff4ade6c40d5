#pragma once

#include <QList>
#include <QtGlobal>

// The fixed pauses of the protocols go through this service so that tests can
// replace real sleeping with a virtual clock.
class CClock
{
public:
    virtual ~CClock() = default;
    virtual void Sleep(int ms) = 0;
    // Milliseconds on this clock's own time line.
    virtual qint64 Now() const = 0;
};

class CRealClock : public CClock
{
public:
    CRealClock();
    void Sleep(int ms) override;
    qint64 Now() const override;

private:
    qint64 m_nStart = 0;
};

// Never sleeps: it records every requested pause and advances its time line.
class CVirtualClock : public CClock
{
public:
    void Sleep(int ms) override;
    qint64 Now() const override { return m_nNow; }
    // Time passing without a pause, e.g. a read that waited for its time-out.
    void Advance(qint64 ms) { m_nNow += ms; }

    QList<int> m_pauses;
    qint64 m_nNow = 0;
};
