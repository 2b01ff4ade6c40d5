#include "NodeData.h"

#include <QTreeWidgetItem>

namespace {
constexpr int kKindRole = Qt::UserRole;
constexpr int kNumberRole = Qt::UserRole + 1;
constexpr int kHasDataRole = Qt::UserRole + 2;
} // namespace

CNodeData CNodeData::Of(const QTreeWidgetItem* item)
{
    CNodeData data;
    if (!item)
        return data;
    data.m_nKind = item->data(0, kKindRole).toUInt();
    data.m_nNumber = item->data(0, kNumberRole).toInt();
    data.m_bHasData = item->data(0, kHasDataRole).toBool();
    return data;
}

void CNodeData::Store(QTreeWidgetItem* item) const
{
    item->setData(0, kKindRole, m_nKind);
    if (m_nNumber != 0)
        item->setData(0, kNumberRole, m_nNumber);
    if (m_bHasData)
        item->setData(0, kHasDataRole, true);
    if (IsFileOrFolder())
        item->setFlags(item->flags() | Qt::ItemIsEditable);
}
