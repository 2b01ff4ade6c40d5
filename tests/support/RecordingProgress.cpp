#include "RecordingProgress.h"

void CRecordingProgress::Show()
{
    m_bVisible = true;
    m_bProgressOff = false;
    m_bCancelled = false;
    ++m_nShows;
}

void CRecordingProgress::Step()
{
    if (!m_bProgressOff)
        ++m_nSteps;
}

bool CRecordingProgress::PollCancel()
{
    ++m_nPolls;
    if (m_nCancelAtPoll > 0 && m_nPolls >= m_nCancelAtPoll)
        m_bCancelled = true;
    if (m_bCancelled) {
        m_bProgressOff = false;
        m_bVisible = false;
    }
    return m_bCancelled;
}

void CRecordingProgress::Hide()
{
    m_bProgressOff = false;
    m_bVisible = false;
    ++m_nHides;
}
