#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>

// Whole files for tests: read, written (with their folders) and collected.

// The file's bytes, "<missing>" when it cannot be read.
inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool WriteFile(const QString& path, const QByteArray& bytes = "x")
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every file below folder (hidden ones too) by its relative path, with its
// bytes; with folders, each folder too, its path ending in "/".
inline QMap<QString, QByteArray> FilesBelow(const QString& folder, bool folders = false)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | (folders ? QDir::AllDirs | QDir::NoDotAndDotDot : QDir::Files),
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(folder).relativeFilePath(it.next());
        files.insert(it.fileInfo().isDir() ? relative + u'/' : relative, ReadFile(it.filePath()));
    }
    return files;
}
