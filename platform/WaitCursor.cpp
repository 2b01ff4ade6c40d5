#include "WaitCursor.h"

#include "Services.h"

namespace {
int g_depth = 0;
}

CWaitCursor::CWaitCursor()
{
    if (g_depth++ == 0 && CServices::WaitCursor())
        CServices::WaitCursor()(true);
}

CWaitCursor::~CWaitCursor()
{
    Restore();
}

void CWaitCursor::Restore()
{
    if (!m_bActive)
        return;
    m_bActive = false;
    if (--g_depth == 0 && CServices::WaitCursor())
        CServices::WaitCursor()(false);
}

int CWaitCursor::Depth()
{
    return g_depth;
}
