#pragma once

#include <QString>

#include <functional>

class CClock;
class CPrompt;
class CProgress;
class CRemoteAccess;
class CTrace;

// The platform services that the core reaches without knowing who provides
// them: the programs install real ones (dialogs, the Transfer window, real
// sleeping), tests install scripted ones and a virtual clock. Nothing is owned
// here; whoever installs a service keeps it alive while it is installed.
class CServices
{
public:
    static CClock& Clock();
    static CPrompt& Prompt();
    static CProgress& Progress();
    // Dial-up networking; NetworkManager's nmcli unless another is installed.
    static CRemoteAccess& RemoteAccess();
    // The wire trace; by default a sink that keeps nothing.
    static CTrace& Trace();

    // nullptr restores the default: real sleeping, a prompt that prints to
    // stderr and answers No/Cancel, a progress service that shows nothing,
    // remote access through nmcli,
    // no trace.
    static void SetClock(CClock* clock);
    static void SetPrompt(CPrompt* prompt);
    static void SetProgress(CProgress* progress);
    static void SetRemoteAccess(CRemoteAccess* remoteAccess);
    static void SetTrace(CTrace* trace);

    // Called with true/false when the first wait cursor starts / the last ends.
    using WaitCursorHook = void (*)(bool busy);
    static void SetWaitCursorHook(WaitCursorHook hook);
    static WaitCursorHook WaitCursor();

    // Where a long operation that shows no Transfer window says what it is
    // doing (the window's status line); nothing is shown without a hook.
    using StatusHook = std::function<void(const QString& text)>;
    static void SetStatusHook(StatusHook hook);
    static void ShowStatus(const QString& text);
    // The status text shown last.
    static QString Status();
};

// Installs services for one scope (a test) and puts the previous ones back.
class CScopedServices
{
public:
    CScopedServices(CClock* clock, CPrompt* prompt, CProgress* progress);
    ~CScopedServices();
    CScopedServices(const CScopedServices&) = delete;
    CScopedServices& operator=(const CScopedServices&) = delete;

private:
    CClock* m_pClock;
    CPrompt* m_pPrompt;
    CProgress* m_pProgress;
};
