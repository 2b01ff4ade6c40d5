#pragma once

#include <QMainWindow>

#include <map>

class CQuillonDoc;
class CQuillonView;
class QAction;
class QMenu;

// The editor's window: menu 128, the view, and the file commands with their
// prompts to save a changed document.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    explicit CMainFrame(QWidget* pParent = nullptr);

    CQuillonView* View() const { return m_pView; }
    CQuillonDoc* Document() const { return m_pDoc; }
    QAction* Action(int nId) const;

    bool OpenDocumentFile(const QString& strPath);
    bool SaveModified();

    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void CreateMenus();
    QAction* AddCommand(QMenu* pMenu, int nId, const QString& strText, const QKeySequence& shortcut);
    void UpdateTitle();
    void UpdateTextCommands();

    CQuillonView* m_pView;
    CQuillonDoc* m_pDoc;
    std::map<int, QAction*> m_actions;
};
