#pragma once

#include "NodeData.h"

#include <QList>
#include <QString>

// One node to be made, with its children: built from a table or a listing
// first, and turned into tree items by the view.
struct CNodeTemplate
{
    QString m_strLabel;
    int m_nImage = -1;
    CNodeData m_data;
    QList<CNodeTemplate> m_children;
};
