#pragma once

#include <QMainWindow>

class CTessaroView;
class QAction;
class QMenu;

// The one window: menu bar 128 and the tree view that fills it.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CTessaroView* View() const { return m_pView; }
    // The action of a command id, or nullptr.
    QAction* Action(int id) const;

public slots:
    // Enables every command by its rule.
    void UpdateCommandUI();
    // The same for the commands that depend on the selected node.
    void UpdateNodeCommandUI();

private:
    // Shows what a long operation is doing; painted at once, since the
    // operation blocks the thread that would otherwise paint it.
    void ShowStatus(const QString& text);
    void UpdateCommandUI(const QList<QAction*>& actions);
    QMenu* AddMenu(const QString& title);
    QAction* AddCommand(QMenu* menu, const QString& text, int id, const QList<QKeySequence>& keys = {});

    CTessaroView* m_pView = nullptr;
    QList<QAction*> m_commands;
};
