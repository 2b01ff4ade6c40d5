#pragma once

#include "NodeData.h"

#include <QList>
#include <QString>

class CNodeImages;

// One node to be made, with its children: built from a table or a listing
// first, and turned into tree items by MakeNodeItem.
struct CNodeTemplate
{
    QString m_strLabel;
    int m_nImage = -1;
    CNodeData m_data;
    QList<CNodeTemplate> m_children;
    QString m_strToolTip;
};

// A file's tooltip: "12,345 bytes", then the modification time as given
// ("2024-06-07 21:22"); a line is left out when it is not known (size -1,
// empty time).
QString FileToolTip(qint64 size, const QString& modified);

// The tree item of a template, with its children, not yet in a tree: every
// node of the explorer is made here.
QTreeWidgetItem* MakeNodeItem(const CNodeTemplate& draft, const CNodeImages& images);
// The items of a folder's nodes, to be added in one call: a folder of
// 100,000 entries then costs one model update instead of 100,000.
QList<QTreeWidgetItem*> MakeNodeItems(const QList<CNodeTemplate>& drafts, const CNodeImages& images);
