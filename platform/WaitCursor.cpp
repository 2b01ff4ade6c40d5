#include "WaitCursor.h"

#include "Services.h"

namespace {
int g_depth = 0;
} // namespace

CWaitCursor::CWaitCursor()
{
    if (g_depth++ == 0 && CServices::WaitCursor())
        CServices::WaitCursor()(true);
}

CWaitCursor::~CWaitCursor()
{
    Restore();
}

CWaitCursor::CWaitCursor(const QString& status) : CWaitCursor()
{
    SetStatus(status);
}

void CWaitCursor::SetStatus(const QString& text)
{
    if (!m_bActive)
        return;
    if (!m_bStatus)
        m_strPreviousStatus = CServices::Status();
    m_bStatus = true;
    CServices::ShowStatus(text);
}

void CWaitCursor::Restore()
{
    if (!m_bActive)
        return;
    m_bActive = false;
    if (m_bStatus)
        CServices::ShowStatus(m_strPreviousStatus);
    if (--g_depth == 0 && CServices::WaitCursor())
        CServices::WaitCursor()(false);
}

int CWaitCursor::Depth()
{
    return g_depth;
}
