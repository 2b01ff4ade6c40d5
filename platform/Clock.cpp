#include "Clock.h"

#include <QDateTime>
#include <QThread>

CRealClock::CRealClock() : m_nStart(QDateTime::currentMSecsSinceEpoch()) {}

void CRealClock::Sleep(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

qint64 CRealClock::Now() const
{
    return QDateTime::currentMSecsSinceEpoch() - m_nStart;
}

void CVirtualClock::Sleep(int ms)
{
    m_pauses.append(ms);
    m_nNow += ms;
}
