#include "NodeTemplate.h"

#include "NodeImages.h"

#include "resources/StringTable.h"

#include <QLocale>
#include <QTreeWidgetItem>

QTreeWidgetItem* MakeNodeItem(const CNodeTemplate& draft, const CNodeImages& images)
{
    auto* item = new QTreeWidgetItem(QStringList(draft.m_strLabel));
    if (draft.m_nImage >= 0)
        item->setIcon(0, images.Icon(draft.m_nImage));
    draft.m_data.Store(item);
    if (!draft.m_strToolTip.isEmpty())
        item->setToolTip(0, draft.m_strToolTip);
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

QString FileToolTip(qint64 size, const QString& modified)
{
    QStringList lines;
    if (size >= 0)
        lines.append(LoadString(IDS_NODE_SIZE).arg(QLocale(QLocale::English).toString(size)));
    if (!modified.isEmpty())
        lines.append(modified);
    return lines.join(QLatin1Char('\n'));
}
