#include "MainFrame.h"

#include "CommandIds.h"
#include "TessaroView.h"
#include "TraceSetting.h"

#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QAction>
#include <QMenuBar>
#include <QStatusBar>

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    m_pView = new CTessaroView(this);
    setCentralWidget(m_pView);

    QMenu* file = AddMenu(QStringLiteral("&File"));
    AddCommand(file, QStringLiteral("Refresh"), ID_FILE_REFRESH);
    AddCommand(file, QStringLiteral("New Folder"), ID_FILE_NEW_FOLDER);
    file->addSeparator();
    AddCommand(file, QStringLiteral("E&xit"), ID_APP_EXIT);

    QMenu* edit = AddMenu(QStringLiteral("&Edit"));
    AddCommand(edit, QStringLiteral("&Delete"), ID_EDIT_DELETE,
               {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    AddCommand(edit, QStringLiteral("&Copy"), ID_EDIT_COPY,
               {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    AddCommand(edit, QStringLiteral("&Paste"), ID_EDIT_PASTE,
               {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    AddCommand(edit, QStringLiteral("&View"), ID_EDIT_VIEW);

    QMenu* settings = AddMenu(QStringLiteral("Settings"));
    AddCommand(settings, QStringLiteral("Ftp settings..."), ID_SETTINGS_FTP);
    AddCommand(settings, QStringLiteral("Communication settings..."), ID_SETTINGS_COM);
    new CTraceSetting(settings);

    QMenu* connection = AddMenu(QStringLiteral("Connection"));
    AddCommand(connection, QStringLiteral("Connect"), ID_CONNECTION_CONNECT);
    AddCommand(connection, QStringLiteral("Disconect"), ID_CONNECTION_DISCONNECT);

    QMenu* help = AddMenu(QStringLiteral("&Help"));
    AddCommand(help, QStringLiteral("&About Tessaro..."), ID_APP_ABOUT);

    connect(m_pView, &CTessaroView::CommandStateChanged, this, &CMainFrame::UpdateNodeCommandUI);
    setWindowTitle(LoadString(IDS_APP_WINDOW_TITLE));
    statusBar()->setSizeGripEnabled(false);
    CServices::SetStatusHook([this](const QString& text) { ShowStatus(text); });
    resize(360, 520);
}

CMainFrame::~CMainFrame()
{
    CServices::SetStatusHook(nullptr);
}

void CMainFrame::ShowStatus(const QString& text)
{
    statusBar()->showMessage(text);
    statusBar()->repaint();
}

QMenu* CMainFrame::AddMenu(const QString& title)
{
    QMenu* menu = menuBar()->addMenu(title);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateCommandUI(menu->actions()); });
    return menu;
}

QAction* CMainFrame::AddCommand(QMenu* menu, const QString& text, int id, const QList<QKeySequence>& keys)
{
    QAction* action = menu->addAction(text);
    action->setData(id);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    if (id == ID_APP_EXIT)
        connect(action, &QAction::triggered, this, &QWidget::close);
    else
        connect(action, &QAction::triggered, this, [this, id] { m_pView->OnCommand(id); });
    m_commands.append(action);
    return action;
}

QAction* CMainFrame::Action(int id) const
{
    for (QAction* action : m_commands) {
        if (action->data().toInt() == id)
            return action;
    }
    return nullptr;
}

void CMainFrame::UpdateCommandUI()
{
    UpdateCommandUI(m_commands);
}

void CMainFrame::UpdateCommandUI(const QList<QAction*>& actions)
{
    for (QAction* action : actions) {
        if (m_commands.contains(action))
            action->setEnabled(m_pView->IsCommandEnabled(action->data().toInt()));
    }
}

void CMainFrame::UpdateNodeCommandUI()
{
    // Whether a dial-up connection is live is asked of the connection
    // manager, a process start each time: only when the menu opens.
    QList<QAction*> actions;
    for (QAction* action : m_commands) {
        const int id = action->data().toInt();
        if (id != ID_CONNECTION_CONNECT && id != ID_CONNECTION_DISCONNECT)
            actions.append(action);
    }
    UpdateCommandUI(actions);
}
