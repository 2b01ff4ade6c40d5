#include "LocalListing.h"

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
            folders.append({name, true});
        } else if (info.isFile() && !name.startsWith(QLatin1Char('.'))) {
            files.append({name, false});
        }
    }
    folders.append(files);
    return folders;
}
