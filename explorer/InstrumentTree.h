#pragma once

#include "NodeData.h"

#include "instrument/ComInstrument.h"

class CNodeImages;

// The instrument's subtree below "Port1:". Opening the root connects once and
// builds the folders "Jobs", "Formats" and "Codes" from the instrument's
// listings; a refresh, an erase or a file sent lists the affected table again
// and rebuilds its folder.
class CInstrumentTree
{
public:
    CInstrumentTree(CComInstrument& instrument, const CNodeImages& images);

    // The root "Port1:" with the child "no instruments", not yet in a tree;
    // a new root replaces the old one, which the tree has deleted.
    QTreeWidgetItem* MakeRoot();
    QTreeWidgetItem* Root() const { return m_pRoot; }
    bool Connected() const { return m_bConnected; }

    // Connects with the profile's line settings (once: a connected
    // instrument is not asked again), appends the instrument's name to the
    // root's label and builds the three folders below it.
    void Connect();
    static bool CanRefresh(const CNodeData& data);
    void Refresh(QTreeWidgetItem* node);
    // Erases the item of an instrument node that holds data, after the
    // user's confirmation, and lists its table again.
    void Erase(QTreeWidgetItem* node);
    // Sends a local file to the job, fix points, code list or format of
    // target; sourceName names the file at its origin (empty: nativeFile).
    void Send(const QString& nativeFile, const QString& sourceName, QTreeWidgetItem* target);

private:
    // Builds the folders of the three tables below portNode, stopping at
    // the first listing that fails.
    void BuildTables(QTreeWidgetItem* portNode);
    bool BuildTable(QTreeWidgetItem* node, CComInstrument::ETable table, bool withFolder);
    void Rebuild(QTreeWidgetItem* folder, CComInstrument::ETable table);
    // Rebuilds the folder listing the table an item lives in: a job's fix
    // points and measurements are listed with the jobs.
    void RebuildTableOf(QTreeWidgetItem* item);

    CComInstrument& m_instrument;
    const CNodeImages& m_images;
    QTreeWidgetItem* m_pRoot = nullptr;
    bool m_bConnected = false;
};
