#include "TessaroView.h"

#include "CommandIds.h"
#include "LocalListing.h"

#include "ftp/FtpClient.h"
#include "platform/LocalPaths.h"
#include "platform/NetworkPresence.h"
#include "platform/Prompt.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

#include <QHeaderView>
#include <QMouseEvent>

CTessaroView::CTessaroView(QWidget* parent) : QTreeWidget(parent), m_fnHasRoutableAddress(HasRoutableAddress)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    // F2, or a second click on the selected node after the double-click time.
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemExpanded, this, &CTessaroView::OnItemExpanding);
    connect(this, &QTreeWidget::currentItemChanged, this, &CTessaroView::CommandStateChanged);
}

CTessaroView::~CTessaroView()
{
    // QUIT, when a logon opened the session, while the whole view still stands.
    m_ftpSession.LogOff();
}

QTreeWidgetItem* CTessaroView::AddNode(QTreeWidgetItem* parent, const QString& label, int image, const CNodeData& data)
{
    QTreeWidgetItem* item = MakeNodeItem({label, image, data, {}, {}}, m_images);
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

void CTessaroView::OnInitialUpdate()
{
    if (!m_images.IsBuilt())
        m_images.Build();
    clear();
    addTopLevelItem(m_instrumentTree.MakeRoot());
    m_pFtpRoot = AddNode(nullptr, LoadString(IDS_FTP_ROOT), CNodeImages::IMG_FTP, {NK_FTP_FOLDER, 0, false});
    AddNode(m_pFtpRoot, LoadString(IDS_NOT_CONNECTED), CNodeImages::IMG_FILE, CNodeData());
    m_pMyComputer = AddNode(nullptr, LoadString(IDS_MY_COMPUTER), CNodeImages::IMG_MY_COMPUTER, CNodeData());
    ListLocalFolder(m_pMyComputer, QString());
}

QString CTessaroView::NodePath(const QTreeWidgetItem* node) const
{
    QString path;
    for (const QTreeWidgetItem* it = node; it; it = it->parent()) {
        QString label = it->text(0);
        if (!label.endsWith(QLatin1Char('\\')) && !path.isEmpty())
            label += QLatin1Char('\\');
        path.prepend(label);
    }
    const qsizetype first = path.indexOf(QLatin1Char('\\'));
    if (first >= 2)
        path.remove(0, first + 1);
    return path;
}

bool CTessaroView::LocalPath(const QTreeWidgetItem* node, QString& nativePath) const
{
    for (const QTreeWidgetItem* it = node; it && it != m_pMyComputer; it = it->parent()) {
        const QString name = it->text(0);
        if (name.contains(QLatin1Char('\\'))) {
            ShowError(LoadString(IDS_NAME_HAS_BACKSLASH).arg(name));
            return false;
        }
    }
    const QString path = node == m_pMyComputer ? QString() : NodePath(node);
    if (CLocalPaths::ToNative(path, nativePath))
        return true;
    ShowError(LoadString(IDS_PATH_LEAVES_ROOT).arg(path));
    return false;
}

void CTessaroView::DeleteChildren(QTreeWidgetItem* node)
{
    if (!node || node->childCount() == 0)
        return;
    const QList<QTreeWidgetItem*> children = node->takeChildren();
    qDeleteAll(children);
}

int CTessaroView::ListLocalFolder(QTreeWidgetItem* node, const QString& path)
{
    QString native;
    if (!CLocalPaths::ToNative(path, native))
        return 0;
    const QList<QTreeWidgetItem*> items = MakeNodeItems(LocalNodes(ListLocalEntries(native)), m_images);
    node->addChildren(items);
    return static_cast<int>(items.size());
}

void CTessaroView::OnItemExpanding(QTreeWidgetItem* node)
{
    if (m_nBusy)
        return;
    CBusyGuard busy(m_nBusy);
    const CNodeData data = CNodeData::Of(node);
    if (data.Is(NK_LOCAL_FOLDER)) {
        CWaitCursor wait;
        DeleteChildren(node);
        QString native;
        if (LocalPath(node, native))
            ListLocalFolder(node, NodePath(node));
    } else if (data.Is(NK_FTP_FOLDER)) {
        OpenFtpFolder(node);
    } else if (data.Is(NK_PORT)) {
        m_instrumentTree.Connect();
    }
    emit CommandStateChanged();
}

void CTessaroView::mousePressEvent(QMouseEvent* event)
{
    // A right click (tap-and-hold on the handheld) is consumed and does nothing.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

QStringList CTessaroView::ChildLabels(const QTreeWidgetItem* node)
{
    QStringList labels;
    for (int i = 0; node && i < node->childCount(); ++i)
        labels.append(node->child(i)->text(0));
    return labels;
}

bool CTessaroView::IsCommandEnabled(int id) const
{
    if (m_nBusy)
        return false;
    const CNodeData data = CNodeData::Of(currentItem());
    switch (id) {
    case ID_SETTINGS_FTP:
    case ID_SETTINGS_COM:
    case ID_APP_ABOUT:
    case ID_APP_EXIT:
        return true;
    case ID_FILE_REFRESH:
        return currentItem() && CInstrumentTree::CanRefresh(data);
    case ID_EDIT_DELETE:
        return currentItem() && CanDelete(currentItem());
    case ID_EDIT_COPY:
        return currentItem() && CanCopy(data);
    case ID_EDIT_PASTE:
        return currentItem() && CanPaste(data);
    case ID_FILE_NEW_FOLDER:
        return currentItem() && CanNewFolder(data);
    case ID_EDIT_VIEW:
        return currentItem() && data.Is(NK_LOCAL_FILE);
    case ID_CONNECTION_CONNECT:
        return !m_dialUpLink.IsConnected() && !m_fnHasRoutableAddress();
    case ID_CONNECTION_DISCONNECT:
        return m_dialUpLink.IsConnected();
    default:
        return false;
    }
}

void CTessaroView::OnCommand(int id)
{
    if (!IsCommandEnabled(id))
        return;
    {
        CBusyGuard busy(m_nBusy);
        RunCommand(id);
    }
    StartPendingEdit();
    emit CommandStateChanged();
}

void CTessaroView::RunCommand(int id)
{
    switch (id) {
    case ID_FILE_REFRESH:
        OnRefresh();
        break;
    case ID_EDIT_DELETE:
        OnDelete();
        break;
    case ID_EDIT_COPY:
        OnCopy();
        break;
    case ID_EDIT_PASTE:
        OnPaste();
        break;
    case ID_FILE_NEW_FOLDER:
        OnNewFolder();
        break;
    case ID_EDIT_VIEW:
        OnView();
        break;
    case ID_CONNECTION_CONNECT:
        OnConnect();
        break;
    case ID_CONNECTION_DISCONNECT:
        OnDisconnect();
        break;
    case ID_SETTINGS_FTP:
        OnFtpSettings();
        break;
    case ID_SETTINGS_COM:
        OnCommunicationSettings();
        break;
    case ID_APP_ABOUT:
        OnAbout();
        break;
    default:
        break;
    }
}

void CTessaroView::OnRefresh()
{
    m_instrumentTree.Refresh(currentItem());
}
