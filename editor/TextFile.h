#pragma once

#include <QByteArray>
#include <QString>

// Reading and writing a whole document file. Saving goes through a temporary
// file in the same folder that replaces the old file only once every byte is
// written, so a failed save never destroys what was there.
class CTextFile
{
public:
    static bool Read(const QString& strPath, QByteArray& bytes, QString& strError);
    static bool Write(const QString& strPath, const QByteArray& bytes, QString& strError);
};
