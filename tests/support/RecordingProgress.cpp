#include "RecordingProgress.h"

void CRecordingProgress::Show()
{
    m_bVisible = true;
    m_bCancelled = false;
    ++m_nShows;
}

bool CRecordingProgress::PollCancel()
{
    ++m_nPolls;
    if (m_nCancelAtPoll > 0 && m_nPolls >= m_nCancelAtPoll)
        m_bCancelled = true;
    if (m_bCancelled)
        m_bVisible = false;
    return m_bCancelled;
}

void CRecordingProgress::Hide()
{
    m_bVisible = false;
    ++m_nHides;
}
