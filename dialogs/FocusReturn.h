#pragma once

#include <QPointer>

class QWidget;

// Gives the keyboard focus back to the widget that had it (the explorer's
// tree) when a window that took it (the Transfer window, a prompt) goes.
// Hiding an active window does not always hand the focus back: the window
// system may leave it on the hidden window, and the main window then takes no
// keys at all although it looks active.
class CFocusReturn
{
public:
    // Remembers the focus widget of now, unless it lies in `except`.
    explicit CFocusReturn(const QWidget* except = nullptr);
    ~CFocusReturn();
    CFocusReturn(const CFocusReturn&) = delete;
    CFocusReturn& operator=(const CFocusReturn&) = delete;

    // Activates the remembered widget's window and focuses the widget, if it
    // is still there and can take the focus; forgets it afterwards.
    void Restore();

private:
    QPointer<QWidget> m_pWidget;
};
