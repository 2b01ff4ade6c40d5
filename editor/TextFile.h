#pragma once

#include <QByteArray>
#include <QString>

// Reading and writing a whole document file. Saving goes through a temporary
// file in the same folder that replaces the old file only once every byte is
// written, so a failed save never destroys what was there.
class CTextFile
{
public:
    // The whole text is held in memory twice (bytes and edit control): a
    // larger file is refused rather than read.
    static constexpr qint64 kMaxFileSize = 256 * 1024 * 1024;

    // Reads a regular file of at most kMaxFileSize bytes. A FIFO, a device or
    // a socket is refused without waiting on it or reading from it.
    static bool Read(const QString& strPath, QByteArray& bytes, QString& strError);
    static bool Write(const QString& strPath, const QByteArray& bytes, QString& strError);
};
