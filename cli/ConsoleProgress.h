#pragma once

#include "platform/Progress.h"

#include <QElapsedTimer>

// The "Transfer" window of the command line: one progress line on stderr,
// rewritten at most a few times a second, and only when stderr is a terminal.
// It never cancels (Ctrl+C ends the program).
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
    bool PollCancel() override { return false; }
    void Hide() override;

private:
    void Print();

    bool m_bTerminal = false;
    bool m_bShown = false;
    qint64 m_nBytes = 0;
    QString m_strText;
    QElapsedTimer m_timer;
};
