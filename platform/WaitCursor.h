#pragma once

#include <QString>

// Shows the wait cursor for its lifetime; nested guards show it once. With a
// status text, the window's status line says what is going on meanwhile
// (CServices::ShowStatus), and shows the text before it again at the end.
class CWaitCursor
{
public:
    CWaitCursor();
    explicit CWaitCursor(const QString& status);
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

    // Ends this guard's wait cursor early (as the protocol steps that turn the
    // cursor off before they return); the destructor then does nothing.
    void Restore();
    // A new status text for the rest of this guard's wait.
    void SetStatus(const QString& text);
    // The status text shown when this guard ends, instead of the one before.
    void SetFinalStatus(const QString& text)
    {
        m_bStatus = true;
        m_strPreviousStatus = text;
    }

    static int Depth();

private:
    bool m_bActive = true;
    bool m_bStatus = false;
    QString m_strPreviousStatus;
};
