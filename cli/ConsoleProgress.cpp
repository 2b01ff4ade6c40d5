#include "ConsoleProgress.h"

#include "TerminalText.h"

#include <csignal>
#include <cstdio>

#include <signal.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void OnInterrupt(int signal)
{
    // Only what is safe in a signal handler: note the signal, or end at once
    // when one came before and the user does not want to wait.
    if (g_signal != 0)
        _exit(128 + signal);
    g_signal = signal;
}

} // namespace

CConsoleProgress::CConsoleProgress() : m_bTerminal(isatty(STDERR_FILENO) != 0) {}

void CConsoleProgress::CatchInterrupts()
{
    struct sigaction action
    {
    };
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Reads and waits go on after the handler; the transfer loops see the
    // signal at their next poll.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int CConsoleProgress::Interrupt()
{
    return g_signal;
}

bool CConsoleProgress::PollCancel()
{
    if (g_signal == 0)
        return false;
    Hide();
    return true;
}

void CConsoleProgress::Show()
{
    m_bShown = true;
    m_nBytes = 0;
    m_timer.start();
}

void CConsoleProgress::SetBytes(qint64 bytes)
{
    m_nBytes = bytes;
    if (m_bTerminal && m_bShown && m_timer.elapsed() >= 250) {
        m_timer.restart();
        Print();
    }
}

void CConsoleProgress::Print()
{
    std::fprintf(stderr, "\r%s: %lld bytes ", qPrintable(TerminalText(m_strText)), static_cast<long long>(m_nBytes));
    std::fflush(stderr);
}

void CConsoleProgress::Hide()
{
    if (m_bTerminal && m_bShown) {
        Print();
        std::fprintf(stderr, "\n");
    }
    m_bShown = false;
}
