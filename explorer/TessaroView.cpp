#include "TessaroView.h"

#include "CommandIds.h"
#include "LocalListing.h"

#include "ftp/FtpClient.h"
#include "platform/NetworkPresence.h"
#include "platform/Clock.h"
#include "platform/LocalPaths.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
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
    auto* item = new QTreeWidgetItem(QStringList(label));
    if (image >= 0)
        item->setIcon(0, m_images.Icon(image));
    data.Store(item);
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

QTreeWidgetItem* CTessaroView::AddPlaceholder(QTreeWidgetItem* parent, bool remote)
{
    return AddNode(parent, LoadString(IDS_PLACEHOLDER), remote ? CNodeImages::IMG_FILE : -1, CNodeData());
}

void CTessaroView::OnInitialUpdate()
{
    if (!m_images.IsBuilt())
        m_images.Build();
    clear();
    m_pPortRoot = AddNode(nullptr, LoadString(IDS_PORT_ROOT), CNodeImages::IMG_PORT, {NK_PORT, 0, false});
    AddNode(m_pPortRoot, LoadString(IDS_NO_INSTRUMENTS), -1, CNodeData());
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
            CServices::Prompt().MessageBox(LoadString(IDS_NAME_HAS_BACKSLASH).arg(name), QString(), MB_OK,
                                           MB_ICONERROR);
            return false;
        }
    }
    const QString path = node == m_pMyComputer ? QString() : NodePath(node);
    if (CLocalPaths::ToNative(path, nativePath))
        return true;
    CServices::Prompt().MessageBox(LoadString(IDS_PATH_LEAVES_ROOT).arg(path), QString(), MB_OK, MB_ICONERROR);
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
    const QList<CLocalEntry> entries = ListLocalEntries(native);
    const QIcon folderIcon = m_images.Icon(CNodeImages::IMG_FOLDER);
    const QIcon fileIcon = m_images.Icon(CNodeImages::IMG_FILE);
    const CNodeData folderData{NK_LOCAL_FOLDER, 0, false};
    const CNodeData fileData{NK_LOCAL_FILE, 0, false};
    const QString placeholder = LoadString(IDS_PLACEHOLDER);

    // Built detached and added in one call: a folder of 100,000 entries
    // then costs one model update instead of 100,000.
    QList<QTreeWidgetItem*> items;
    items.reserve(entries.size());
    for (const CLocalEntry& entry : entries) {
        auto* item = new QTreeWidgetItem(QStringList(entry.m_strName));
        item->setIcon(0, entry.m_bFolder ? folderIcon : fileIcon);
        (entry.m_bFolder ? folderData : fileData).Store(item);
        if (entry.m_bFolder)
            item->addChild(new QTreeWidgetItem(QStringList(placeholder)));
        items.append(item);
    }
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
        ConnectInstrument();
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
        return currentItem() && CanRefresh(data);
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

// ---- Instrument subtree -------------------------------------------------

void CTessaroView::AddTemplates(QTreeWidgetItem* parent, const QList<CNodeTemplate>& templates)
{
    for (const CNodeTemplate& draft : templates) {
        QTreeWidgetItem* item = AddNode(parent, draft.m_strLabel, draft.m_nImage, draft.m_data);
        AddTemplates(item, draft.m_children);
    }
}

QTreeWidgetItem* CTessaroView::AddFolderNode(QTreeWidgetItem* node, bool withFolder, int labelId, int image,
                                             const CNodeData& data)
{
    return withFolder ? AddNode(node, LoadString(labelId), image, data) : node;
}

bool CTessaroView::BuildJobNodes(QTreeWidgetItem* node, bool withFolder)
{
    QTreeWidgetItem* folder = AddFolderNode(node, withFolder, IDS_JOBS, CNodeImages::IMG_JOBS, {NK_JOBS, 0, false});
    if (!m_instrument.ListJobs())
        return false;
    AddTemplates(folder, JobNodes(m_instrument.m_jobs));
    return true;
}

bool CTessaroView::BuildFormatNodes(QTreeWidgetItem* node, bool withFolder)
{
    QTreeWidgetItem* folder =
        AddFolderNode(node, withFolder, IDS_FORMATS, CNodeImages::IMG_FORMATS, {NK_FORMATS, 0, false});
    if (!m_instrument.ListFormats())
        return false;
    AddTemplates(folder, FormatNodes(m_instrument.m_formats));
    return true;
}

bool CTessaroView::BuildCodeListNodes(QTreeWidgetItem* node, bool withFolder)
{
    QTreeWidgetItem* folder = AddFolderNode(node, withFolder, IDS_CODES, CNodeImages::IMG_CODES, {NK_CODES, 0, false});
    if (!m_instrument.ListCodeLists())
        return false;
    AddTemplates(folder, CodeListNodes(m_instrument.m_codeLists));
    return true;
}

void CTessaroView::BuildInstrumentTree(QTreeWidgetItem* portNode)
{
    DeleteChildren(portNode);
    if (BuildJobNodes(portNode, true) && BuildFormatNodes(portNode, true))
        BuildCodeListNodes(portNode, true);
}

void CTessaroView::ConnectInstrument()
{
    if (m_bInstrumentConnected)
        return;
    CWaitCursor wait;
    m_comSettings.Load();
    m_instrument.SetComSettings(m_comSettings);
    if (m_instrument.Connect() != CComInstrument::ConnectOk)
        return;
    if (!m_instrument.m_strName.isEmpty())
        m_pPortRoot->setText(0, m_pPortRoot->text(0) + m_instrument.m_strName);
    DeleteChildren(m_pPortRoot);
    m_bInstrumentConnected = 1;
    CServices::Clock().Sleep(100);
    if (BuildJobNodes(m_pPortRoot, true) && BuildFormatNodes(m_pPortRoot, true))
        BuildCodeListNodes(m_pPortRoot, true);
}

void CTessaroView::RebuildJobs(QTreeWidgetItem* jobsFolder)
{
    if (!jobsFolder)
        return;
    DeleteChildren(jobsFolder);
    BuildJobNodes(jobsFolder, false);
}

void CTessaroView::RebuildFormats(QTreeWidgetItem* formatsFolder)
{
    if (!formatsFolder)
        return;
    DeleteChildren(formatsFolder);
    BuildFormatNodes(formatsFolder, false);
}

void CTessaroView::RebuildCodeLists(QTreeWidgetItem* codesFolder)
{
    if (!codesFolder)
        return;
    DeleteChildren(codesFolder);
    BuildCodeListNodes(codesFolder, false);
}

QTreeWidgetItem* CTessaroView::JobsFolderOf(QTreeWidgetItem* node) const
{
    const CNodeData data = CNodeData::Of(node);
    if (data.Is(NK_JOB))
        return node->parent();
    if (data.Is(NK_FIXPOINTS) || data.Is(NK_MEASUREMENTS))
        return node->parent() ? node->parent()->parent() : nullptr;
    return nullptr;
}

bool CTessaroView::CanRefresh(const CNodeData& data) const
{
    switch (data.m_nKind) {
    case NK_PORT:
    case NK_JOBS:
    case NK_JOB:
    case NK_FORMAT:
    case NK_MEASUREMENTS:
    case NK_FIXPOINTS:
    case NK_CODES:
    case NK_CODELIST:
        return true;
    default:
        return false;
    }
}

void CTessaroView::OnRefresh()
{
    QTreeWidgetItem* node = currentItem();
    const CNodeData data = CNodeData::Of(node);
    CWaitCursor wait;
    switch (data.m_nKind) {
    case NK_PORT:
        BuildInstrumentTree(node);
        break;
    case NK_JOBS:
        RebuildJobs(node);
        break;
    case NK_JOB:
    case NK_FIXPOINTS:
    case NK_MEASUREMENTS:
        RebuildJobs(JobsFolderOf(node));
        break;
    case NK_FORMAT:
        // A single format is not refreshed on its own; only the folder is.
        if (data.IsFormatsFolder())
            RebuildFormats(node);
        break;
    case NK_CODES:
        RebuildCodeLists(node);
        break;
    case NK_CODELIST:
        RebuildCodeLists(node->parent());
        break;
    default:
        break;
    }
}

// ---- Instrument erase ----------------------------------------------------

void CTessaroView::EraseInstrumentItem(QTreeWidgetItem* node, const CNodeData& data)
{
    // The waits give the instrument time before it is listed again; they
    // happen whatever the erase returned.
    m_instrument.Erase(data.m_nNumber, static_cast<int>(data.m_nKind), 0);
    CWaitCursor wait;
    CServices::Clock().Sleep(10000);
    switch (data.m_nKind) {
    case NK_FORMAT:
        RebuildFormats(node->parent());
        break;
    case NK_CODELIST:
        RebuildCodeLists(node->parent());
        break;
    case NK_MEASUREMENTS:
    case NK_FIXPOINTS:
    case NK_JOB:
        RebuildJobs(JobsFolderOf(node));
        break;
    default:
        break;
    }
}
