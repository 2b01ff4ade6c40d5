#include "FocusReturn.h"

#include <QApplication>
#include <QWidget>

CFocusReturn::CFocusReturn(const QWidget* except) : m_pWidget(QApplication::focusWidget())
{
    if (m_pWidget && except && (m_pWidget == except || except->isAncestorOf(m_pWidget)))
        m_pWidget.clear();
}

CFocusReturn::~CFocusReturn()
{
    Restore();
}

void CFocusReturn::Restore()
{
    QWidget* widget = m_pWidget;
    m_pWidget.clear();
    if (!widget || !widget->isVisible() || !widget->isEnabled())
        return;
    QWidget* window = widget->window();
    // Another window that came up in the meantime keeps the focus.
    const QWidget* active = QApplication::activeWindow();
    if (active && active != window && active->isVisible())
        return;
    window->activateWindow();
    widget->setFocus(Qt::ActiveWindowFocusReason);
}
