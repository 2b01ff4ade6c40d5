#include "ConsoleProgress.h"

#include "TerminalText.h"

#include <cstdio>
#include <unistd.h>

CConsoleProgress::CConsoleProgress() : m_bTerminal(isatty(STDERR_FILENO) != 0) {}

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
