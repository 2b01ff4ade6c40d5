#include "Services.h"

#include "Clock.h"
#include "NmcliRemoteAccess.h"
#include "Progress.h"
#include "Prompt.h"
#include "Trace.h"
#include "resources/StringTable.h"

#include <cstdio>

namespace {

// Without a user interface nobody can answer: show the text, decline.
class CDeclinePrompt : public CPrompt
{
public:
    int MessageBox(const QString& text, const QString& caption, int buttons, int) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return buttons == MB_YESNO ? IDNO : IDOK;
    }
    bool AskName(CNameRequest&) override { return false; }
    CFileExistAnswer AskFileExist(const QString&) override
    {
        CFileExistAnswer a;
        a.m_bCancel = true;
        return a;
    }
    bool AskError(const QString& text) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(LoadString(IDS_ERROR)), qPrintable(text));
        return false;
    }
    bool AskDataDownload(CDataDownloadRequest&) override { return false; }
};

CRealClock g_realClock;
CDeclinePrompt g_declinePrompt;
CNullProgress g_nullProgress;
CNmcliRemoteAccess g_nmcliRemoteAccess;
CTrace g_noTrace;

CClock* g_clock = nullptr;
CPrompt* g_prompt = nullptr;
CProgress* g_progress = nullptr;
CRemoteAccess* g_remoteAccess = nullptr;
CTrace* g_trace = nullptr;
CServices::WaitCursorHook g_waitCursor = nullptr;
CServices::StatusHook g_status;
QString g_statusText;

} // namespace

CClock& CServices::Clock()
{
    return g_clock ? *g_clock : g_realClock;
}
CPrompt& CServices::Prompt()
{
    return g_prompt ? *g_prompt : g_declinePrompt;
}
CProgress& CServices::Progress()
{
    return g_progress ? *g_progress : g_nullProgress;
}

CRemoteAccess& CServices::RemoteAccess()
{
    return g_remoteAccess ? *g_remoteAccess : g_nmcliRemoteAccess;
}

void CServices::SetClock(CClock* clock)
{
    g_clock = clock;
}
void CServices::SetPrompt(CPrompt* prompt)
{
    g_prompt = prompt;
}
void CServices::SetProgress(CProgress* progress)
{
    g_progress = progress;
}

void CServices::SetRemoteAccess(CRemoteAccess* remoteAccess)
{
    g_remoteAccess = remoteAccess;
}

CTrace& CServices::Trace()
{
    return g_trace ? *g_trace : g_noTrace;
}

void CServices::SetTrace(CTrace* trace)
{
    g_trace = trace;
}

void CServices::SetWaitCursorHook(WaitCursorHook hook)
{
    g_waitCursor = hook;
}
CServices::WaitCursorHook CServices::WaitCursor()
{
    return g_waitCursor;
}

void CServices::SetStatusHook(StatusHook hook)
{
    g_status = std::move(hook);
}
void CServices::ShowStatus(const QString& text)
{
    g_statusText = text;
    if (g_status)
        g_status(text);
}
QString CServices::Status()
{
    return g_statusText;
}

CScopedServices::CScopedServices(CClock* clock, CPrompt* prompt, CProgress* progress)
    : m_pClock(g_clock), m_pPrompt(g_prompt), m_pProgress(g_progress)
{
    if (clock)
        g_clock = clock;
    if (prompt)
        g_prompt = prompt;
    if (progress)
        g_progress = progress;
}

CScopedServices::~CScopedServices()
{
    g_clock = m_pClock;
    g_prompt = m_pPrompt;
    g_progress = m_pProgress;
}
