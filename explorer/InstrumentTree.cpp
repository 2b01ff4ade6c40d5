#include "InstrumentTree.h"

#include "InstrumentNodes.h"
#include "NodeImages.h"

#include "instrument/ComSettings.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

#include <QTreeWidgetItem>

namespace {

// How long the instrument is given to store what it was sent before it is
// listed again; 0 for a node no file is sent to.
int SendPauseMs(quint32 kind)
{
    switch (kind) {
    case NK_JOB:
    case NK_FIXPOINTS:
        return 5000;
    case NK_CODELIST:
        return 4000;
    case NK_FORMAT:
        return 6000;
    default:
        return 0;
    }
}

int TableStatus(CComInstrument::ETable table)
{
    switch (table) {
    case CComInstrument::TABLE_JOBS:
        return IDS_STATUS_LISTING_JOBS;
    case CComInstrument::TABLE_FORMATS:
        return IDS_STATUS_LISTING_FORMATS;
    default:
        return IDS_STATUS_LISTING_CODES;
    }
}

void DeleteChildren(QTreeWidgetItem* node)
{
    qDeleteAll(node->takeChildren());
}

} // namespace

CInstrumentTree::CInstrumentTree(CComInstrument& instrument, const CNodeImages& images)
    : m_instrument(instrument), m_images(images)
{}

QTreeWidgetItem* CInstrumentTree::MakeRoot()
{
    CNodeTemplate root{LoadString(IDS_PORT_ROOT), CNodeImages::IMG_PORT, {NK_PORT, 0, false}, {}, {}};
    root.m_children.append({LoadString(IDS_NO_INSTRUMENTS), -1, CNodeData(), {}, {}});
    m_pRoot = MakeNodeItem(root, m_images);
    return m_pRoot;
}

void CInstrumentTree::Connect()
{
    if (m_bConnected)
        return;
    // Wake-up, identification and three listings take seconds of fixed
    // pauses: the status line says which step runs.
    CWaitCursor wait(LoadString(IDS_STATUS_WAKING));
    CComSettings settings;
    settings.Load();
    m_instrument.SetComSettings(settings);
    if (m_instrument.Connect() != CComInstrument::CONNECT_OK)
        return;
    if (!m_instrument.m_strName.isEmpty())
        m_pRoot->setText(0, m_pRoot->text(0) + m_instrument.m_strName);
    DeleteChildren(m_pRoot);
    m_bConnected = true;
    CServices::Clock().Sleep(100);
    BuildTables(m_pRoot);
    wait.SetFinalStatus(LoadString(IDS_STATUS_INSTRUMENT).arg(m_instrument.m_strName));
}

bool CInstrumentTree::CanRefresh(const CNodeData& data)
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

void CInstrumentTree::Refresh(QTreeWidgetItem* node)
{
    const CNodeData data = CNodeData::Of(node);
    // The listings say what they do; the status line is as before at the end.
    CWaitCursor wait(CServices::Status());
    switch (data.m_nKind) {
    case NK_PORT:
        BuildTables(node);
        break;
    case NK_JOBS:
        Rebuild(node, CComInstrument::TABLE_JOBS);
        break;
    case NK_CODES:
        Rebuild(node, CComInstrument::TABLE_CODE_LISTS);
        break;
    case NK_FORMAT:
        // A single format is not refreshed on its own; only the folder is.
        if (data.IsFormatsFolder())
            Rebuild(node, CComInstrument::TABLE_FORMATS);
        break;
    default:
        RebuildTableOf(node);
        break;
    }
}

void CInstrumentTree::Erase(QTreeWidgetItem* node)
{
    const CNodeData data = CNodeData::Of(node);
    const QString before = CServices::Status();
    CServices::ShowStatus(LoadString(IDS_STATUS_ERASING));
    // The waits give the instrument time before it is listed again; they
    // happen whatever the erase returned.
    m_instrument.Erase(data.m_nNumber, static_cast<int>(data.m_nKind), 0);
    CWaitCursor wait(LoadString(IDS_STATUS_INSTRUMENT_STORING));
    wait.SetFinalStatus(before);
    CServices::Clock().Sleep(10000);
    RebuildTableOf(node);
}

void CInstrumentTree::Send(const QString& nativeFile, const QString& sourceName, QTreeWidgetItem* target)
{
    const CNodeData data = CNodeData::Of(target);
    const int pauseMs = SendPauseMs(data.m_nKind);
    if (pauseMs == 0)
        return;
    // The result is not looked at: the instrument is listed again anyway,
    // after a pause that gives it time to store the data.
    m_instrument.SendFile(nativeFile, data.m_nNumber, static_cast<int>(data.m_nKind), sourceName);
    CWaitCursor wait(LoadString(IDS_STATUS_INSTRUMENT_STORING));
    CServices::Clock().Sleep(pauseMs);
    RebuildTableOf(target);
}

void CInstrumentTree::BuildTables(QTreeWidgetItem* portNode)
{
    DeleteChildren(portNode);
    for (const auto table :
         {CComInstrument::TABLE_JOBS, CComInstrument::TABLE_FORMATS, CComInstrument::TABLE_CODE_LISTS}) {
        if (!BuildTable(portNode, table, true))
            return;
    }
}

bool CInstrumentTree::BuildTable(QTreeWidgetItem* node, CComInstrument::ETable table, bool withFolder)
{
    QTreeWidgetItem* folder = node;
    if (withFolder) {
        folder = MakeNodeItem(TableFolderNode(table), m_images);
        node->addChild(folder);
    }
    // Shown until the caller's status guard ends.
    CServices::ShowStatus(LoadString(TableStatus(table)));
    if (!m_instrument.ListTable(table))
        return false;
    folder->addChildren(MakeNodeItems(TableNodes(m_instrument, table), m_images));
    return true;
}

void CInstrumentTree::Rebuild(QTreeWidgetItem* folder, CComInstrument::ETable table)
{
    if (!folder)
        return;
    DeleteChildren(folder);
    BuildTable(folder, table, false);
}

void CInstrumentTree::RebuildTableOf(QTreeWidgetItem* item)
{
    QTreeWidgetItem* parent = item->parent();
    switch (CNodeData::Of(item).m_nKind) {
    case NK_JOB:
        Rebuild(parent, CComInstrument::TABLE_JOBS);
        break;
    case NK_FIXPOINTS:
    case NK_MEASUREMENTS:
        Rebuild(parent ? parent->parent() : nullptr, CComInstrument::TABLE_JOBS);
        break;
    case NK_FORMAT:
        Rebuild(parent, CComInstrument::TABLE_FORMATS);
        break;
    case NK_CODELIST:
        Rebuild(parent, CComInstrument::TABLE_CODE_LISTS);
        break;
    default:
        break;
    }
}
