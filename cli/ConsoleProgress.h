#pragma once

#include "platform/Progress.h"

#include <QElapsedTimer>

// The "Transfer" window of the command line: one progress line on stderr,
// rewritten at most a few times a second, and only when stderr is a terminal.
// Its Cancel is Ctrl+C or SIGTERM: once CatchInterrupts has run, the first
// such signal is only noted and the cancel poll reports it, so the transfer
// ends as a cancelled one (temporary files removed, the server told); a
// second signal ends the program at once.
class CConsoleProgress : public CProgress
{
public:
    CConsoleProgress();
    void Show() override;
    void SetText(const QString& text) override { m_strText = text; }
    void SetBytes(qint64 bytes) override;
    void SetRange(int) override {}
    void SetPos(int) override {}
    void Step() override {}
    void ProgressOff() override {}
    bool PollCancel() override;
    void Hide() override;

    static void CatchInterrupts();
    // The signal that asked to cancel (SIGINT, SIGTERM), 0 while none came.
    static int Interrupt();

private:
    void Print();

    bool m_bTerminal = false;
    bool m_bShown = false;
    qint64 m_nBytes = 0;
    QString m_strText;
    QElapsedTimer m_timer;
};
