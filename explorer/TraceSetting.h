#pragma once

#include "platform/TraceFile.h"

#include <QObject>

class QAction;
class QMenu;

// The explorer's wire trace: a checkable item of a menu, kept in the profile
// ("Settings"/"Trace"), that writes the trace to CTraceFile::DefaultPath()
// while it is checked. Lives as long as the menu that holds its item.
class CTraceSetting : public QObject
{
    Q_OBJECT

public:
    // Adds the item to menu and starts the trace when the profile says so.
    explicit CTraceSetting(QMenu* menu);
    ~CTraceSetting() override;

    QAction* Action() const { return m_pAction; }

private:
    // Switches the trace; a file that cannot be written is said and the item
    // goes off again.
    void Switch(bool on);

    QAction* m_pAction = nullptr;
    CTraceFile m_file;
};
