#pragma once

#include <QString>

class CProgress;

// Shows the Transfer window for one transfer and hides it again on every way
// out of the scope, so that no failure path can leave it on the screen.
class CProgressScope
{
public:
    // Shows the window of CServices::Progress() with the text and 0 bytes.
    explicit CProgressScope(const QString& text);
    ~CProgressScope();
    CProgressScope(const CProgressScope&) = delete;
    CProgressScope& operator=(const CProgressScope&) = delete;

    CProgress* operator->() const { return &m_progress; }

    // Hides the window now, e.g. before a message about the transfer's end.
    void Hide();
    // The window is already gone (the user cancelled and it hid itself):
    // the end of the scope leaves it alone.
    void MarkHidden();

private:
    CProgress& m_progress;
    bool m_bShown = true;
};
