#include "NodeTemplate.h"

#include "NodeImages.h"

#include <QTreeWidgetItem>

QTreeWidgetItem* MakeNodeItem(const CNodeTemplate& draft, const CNodeImages& images)
{
    auto* item = new QTreeWidgetItem(QStringList(draft.m_strLabel));
    if (draft.m_nImage >= 0)
        item->setIcon(0, images.Icon(draft.m_nImage));
    draft.m_data.Store(item);
    if (!draft.m_children.isEmpty())
        item->addChildren(MakeNodeItems(draft.m_children, images));
    return item;
}

QList<QTreeWidgetItem*> MakeNodeItems(const QList<CNodeTemplate>& drafts, const CNodeImages& images)
{
    QList<QTreeWidgetItem*> items;
    items.reserve(drafts.size());
    for (const CNodeTemplate& draft : drafts)
        items.append(MakeNodeItem(draft, images));
    return items;
}
