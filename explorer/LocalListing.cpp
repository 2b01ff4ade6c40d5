#include "LocalListing.h"

#include "NodeImages.h"

#include "resources/StringTable.h"

#include <QDirIterator>
#include <QFileInfo>

QList<CLocalEntry> ListLocalEntries(const QString& nativeFolder)
{
    QList<CLocalEntry> folders;
    QList<CLocalEntry> files;
    QDirIterator it(nativeFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = info.fileName();
        if (name.isEmpty())
            continue;
        if (info.isDir()) {
            folders.append({name, true, -1, {}});
        } else if (info.isFile() && !name.startsWith(QLatin1Char('.'))) {
            files.append({name, false, info.size(), info.lastModified()});
        }
    }
    folders.append(files);
    return folders;
}

QList<CNodeTemplate> LocalNodes(const QList<CLocalEntry>& entries)
{
    const CNodeTemplate placeholder{LoadString(IDS_PLACEHOLDER), -1, CNodeData(), {}, {}};
    QList<CNodeTemplate> nodes;
    nodes.reserve(entries.size());
    for (const CLocalEntry& entry : entries) {
        if (entry.m_bFolder)
            nodes.append({entry.m_strName, CNodeImages::IMG_FOLDER, {NK_LOCAL_FOLDER, 0, false}, {placeholder}, {}});
        else
            nodes.append({entry.m_strName,
                          CNodeImages::IMG_FILE,
                          {NK_LOCAL_FILE, 0, false},
                          {},
                          FileToolTip(entry.m_nSize, entry.m_modified.toString(QStringLiteral("yyyy-MM-dd HH:mm")))});
    }
    return nodes;
}
