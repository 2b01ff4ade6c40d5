#pragma once

#include <QByteArray>
#include <QString>

// What decides how a file is saved.
struct CSaveTarget
{
    bool m_bExists = false;
    bool m_bRegular = false;
    bool m_bSingleLink = false;
    bool m_bOwnedByUser = false;
    bool m_bNoAcl = false;
    bool m_bFolderWritable = false;
};

// Reading and writing a whole document file. Saving goes through a temporary
// file in the same folder that replaces the old file only once every byte is
// written, so a failed save never destroys what was there. Where replacing
// would fail or change the file (a folder the user cannot write to, other
// hard links, another owner, an access list), the file is written in place.
class CTextFile
{
public:
    enum class ESaveMethod { REPLACE, IN_PLACE };

    // The whole text is held in memory twice (bytes and edit control): a
    // larger file is refused rather than read.
    static constexpr qint64 kMaxFileSize = 256 * 1024 * 1024;

    // Reads a regular file of at most kMaxFileSize bytes. A FIFO, a device or
    // a socket is refused without waiting on it or reading from it.
    static bool Read(const QString& strPath, QByteArray& bytes, QString& strError);
    static bool Write(const QString& strPath, const QByteArray& bytes, QString& strError);

    static CSaveTarget InspectTarget(const QString& strPath);
    static ESaveMethod ChooseSaveMethod(const CSaveTarget& target);
};
