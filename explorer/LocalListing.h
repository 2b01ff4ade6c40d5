#pragma once

#include "NodeTemplate.h"

#include <QDateTime>
#include <QList>
#include <QString>

// One entry of a local folder as the tree shows it.
struct CLocalEntry
{
    QString m_strName;
    bool m_bFolder = false;
    qint64 m_nSize = -1;
    QDateTime m_modified; // local time
};

// The entries of a native folder in the order the tree lists them: all
// folders, then all files, each group in the order the file system returns
// them. Hidden folders are kept; hidden files and anything that is neither a
// regular file nor a folder (devices, sockets, pipes, broken links) are left
// out. A folder that cannot be read gives an empty list.
QList<CLocalEntry> ListLocalEntries(const QString& nativeFolder);

// The nodes of a local folder's entries, in their order: each folder (kind
// NK_LOCAL_FOLDER) with the placeholder child that lets it be opened, each
// file of kind NK_LOCAL_FILE with its size and time as tooltip.
QList<CNodeTemplate> LocalNodes(const QList<CLocalEntry>& entries);
