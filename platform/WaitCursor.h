#pragma once

// Shows the wait cursor for its lifetime; nested guards show it once.
class CWaitCursor
{
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

    // Ends this guard's wait cursor early (as the protocol steps that turn the
    // cursor off before they return); the destructor then does nothing.
    void Restore();

    static int Depth();

private:
    bool m_bActive = true;
};
