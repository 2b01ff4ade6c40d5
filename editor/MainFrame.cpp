#include "MainFrame.h"

#include "EditorPrompts.h"
#include "EditorResource.h"
#include "QuillonDoc.h"
#include "QuillonView.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMenuBar>

// The window icon lives in this static library; its resource must be
// registered by hand, outside any namespace.
static void InitIconResource()
{
    Q_INIT_RESOURCE(quillon);
}

CMainFrame::CMainFrame(QWidget* pParent)
    : QMainWindow(pParent), m_pView(new CQuillonView(this)), m_pDoc(new CQuillonDoc(m_pView, this))
{
    InitIconResource();
    setWindowIcon(QIcon(QStringLiteral(":/icons/quillon.svg")));
    setCentralWidget(m_pView);
    CreateMenus();
    connect(m_pDoc, &CQuillonDoc::titleChanged, this, &CMainFrame::UpdateTitle);
    connect(m_pView, &QPlainTextEdit::textChanged, this, &CMainFrame::UpdateTextCommands);
    connect(m_pView, &QPlainTextEdit::undoAvailable, Action(ID_EDIT_UNDO), &QAction::setEnabled);
    connect(m_pView, &QPlainTextEdit::copyAvailable, Action(ID_EDIT_CUT), &QAction::setEnabled);
    connect(m_pView, &QPlainTextEdit::copyAvailable, Action(ID_EDIT_COPY), &QAction::setEnabled);
    m_pDoc->OnNewDocument();
    UpdateTextCommands();
    resize(640, 480);
}

QAction* CMainFrame::Action(int nId) const
{
    const auto it = m_actions.find(nId);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::CreateMenus()
{
    QMenu* pFile = menuBar()->addMenu(QStringLiteral("File"));
    connect(AddCommand(pFile, ID_FILE_NEW, QStringLiteral("New"), QKeySequence::New), &QAction::triggered, this,
            &CMainFrame::OnFileNew);
    connect(AddCommand(pFile, ID_FILE_OPEN, QStringLiteral("Open"), QKeySequence::Open), &QAction::triggered, this,
            &CMainFrame::OnFileOpen);
    connect(AddCommand(pFile, ID_FILE_SAVE, QStringLiteral("Save"), QKeySequence::Save), &QAction::triggered, this,
            &CMainFrame::OnFileSave);
    connect(AddCommand(pFile, ID_FILE_SAVE_AS, QStringLiteral("SaveAs"), QKeySequence::SaveAs), &QAction::triggered,
            this, &CMainFrame::OnFileSaveAs);
    pFile->addSeparator();
    connect(AddCommand(pFile, ID_APP_EXIT, QStringLiteral("Exit"), QKeySequence::Quit), &QAction::triggered, this,
            &CMainFrame::close);

    QMenu* pEdit = menuBar()->addMenu(QStringLiteral("Edit"));
    connect(AddCommand(pEdit, ID_EDIT_UNDO, QStringLiteral("Undo"), QKeySequence::Undo), &QAction::triggered, m_pView,
            &QPlainTextEdit::undo);
    pEdit->addSeparator();
    connect(AddCommand(pEdit, ID_EDIT_CUT, QStringLiteral("Cut"), QKeySequence::Cut), &QAction::triggered, m_pView,
            &QPlainTextEdit::cut);
    connect(AddCommand(pEdit, ID_EDIT_COPY, QStringLiteral("Copy"), QKeySequence::Copy), &QAction::triggered, m_pView,
            &CQuillonView::OnEditCopy);
    connect(AddCommand(pEdit, ID_EDIT_PASTE, QStringLiteral("Paste"), QKeySequence::Paste), &QAction::triggered,
            m_pView, &CQuillonView::OnEditPaste);
    pEdit->addSeparator();
    connect(AddCommand(pEdit, ID_EDIT_GOTO, QStringLiteral("Go to"), QKeySequence(Qt::CTRL | Qt::Key_G)),
            &QAction::triggered, m_pView, &CQuillonView::OnEditGoto);
    connect(AddCommand(pEdit, ID_EDIT_FIND, QStringLiteral("Find"), QKeySequence::Find), &QAction::triggered, m_pView,
            &CQuillonView::OnEditFind);
    connect(AddCommand(pEdit, ID_EDIT_REPLACE, QStringLiteral("&Replace"), QKeySequence(Qt::CTRL | Qt::Key_H)),
            &QAction::triggered, m_pView, &CQuillonView::OnEditReplace);

    Action(ID_EDIT_UNDO)->setEnabled(false);
    Action(ID_EDIT_CUT)->setEnabled(false);
    Action(ID_EDIT_COPY)->setEnabled(false);
}

QAction* CMainFrame::AddCommand(QMenu* pMenu, int nId, const QString& strText, const QKeySequence& shortcut)
{
    QAction* pAction = pMenu->addAction(strText);
    pAction->setData(nId);
    pAction->setShortcut(shortcut);
    m_actions[nId] = pAction;
    return pAction;
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(QStringLiteral("%1 - %2").arg(m_pDoc->GetTitle(), kAppName));
}

void CMainFrame::UpdateTextCommands()
{
    // Go to, Find and Replace need some text to work on.
    const bool bHasText = !m_pView->IsEmptyText();
    Action(ID_EDIT_GOTO)->setEnabled(bHasText);
    Action(ID_EDIT_FIND)->setEnabled(bHasText);
    Action(ID_EDIT_REPLACE)->setEnabled(bHasText);
}

bool CMainFrame::OpenDocumentFile(const QString& strPath)
{
    if (!SaveModified())
        return false;
    return m_pDoc->OnOpenDocument(strPath);
}

bool CMainFrame::SaveModified()
{
    if (!m_pDoc->IsModified())
        return true;
    const QString strName = m_pDoc->GetPathName().isEmpty() ? m_pDoc->GetTitle() : m_pDoc->GetPathName();
    const QMessageBox::StandardButton answer =
        EditorPrompts().m_fnAsk(this, QStringLiteral("Save changes to %1?").arg(strName),
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        return OnFileSave();
    return answer == QMessageBox::No;
}

void CMainFrame::OnFileNew()
{
    if (SaveModified())
        m_pDoc->OnNewDocument();
}

void CMainFrame::OnFileOpen()
{
    const QString strPathName = m_pDoc->GetPathName();
    const QString strStart = strPathName.isEmpty() ? QString() : QFileInfo(strPathName).absolutePath();
    const QString strPath = EditorPrompts().m_fnFileName(this, false, strStart);
    if (!strPath.isEmpty())
        OpenDocumentFile(strPath);
}

bool CMainFrame::OnFileSave()
{
    if (m_pDoc->GetPathName().isEmpty())
        return OnFileSaveAs();
    return m_pDoc->OnSaveDocument(m_pDoc->GetPathName());
}

bool CMainFrame::OnFileSaveAs()
{
    const QString strStart = m_pDoc->GetPathName().isEmpty() ? kUntitled : m_pDoc->GetPathName();
    const QString strPath = EditorPrompts().m_fnFileName(this, true, strStart);
    if (strPath.isEmpty())
        return false;
    return m_pDoc->OnSaveDocument(strPath);
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    if (SaveModified())
        pEvent->accept();
    else
        pEvent->ignore();
}
