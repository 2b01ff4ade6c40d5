#include "ProgressScope.h"

#include "Progress.h"
#include "Services.h"

CProgressScope::CProgressScope(const QString& text) : m_progress(CServices::Progress())
{
    m_progress.Show();
    m_progress.SetText(text);
    m_progress.SetBytes(0);
}

CProgressScope::~CProgressScope()
{
    Hide();
}

void CProgressScope::Hide()
{
    if (m_bShown)
        m_progress.Hide();
    m_bShown = false;
}

void CProgressScope::MarkHidden()
{
    m_bShown = false;
}
