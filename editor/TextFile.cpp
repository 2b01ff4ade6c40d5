#include "editor/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool CTextFile::Read(const QString& strPath, QByteArray& bytes, QString& strError)
{
    if (QFileInfo(strPath).isDir()) {
        strError = QStringLiteral("%1 is a folder, not a file.").arg(strPath);
        return false;
    }
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        strError = QStringLiteral("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        strError = QStringLiteral("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    bytes = std::move(content);
    return true;
}

bool CTextFile::Write(const QString& strPath, const QByteArray& bytes, QString& strError)
{
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        strError = QStringLiteral("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    // QSaveFile::commit() ignores a failing flush of its write buffer, so a
    // short write would be committed as the whole file: flush and check first.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        strError = QStringLiteral("%1: %2").arg(strPath, file.errorString());
        file.cancelWriting(); // the old file stays as it was
        return false;
    }
    if (!file.commit()) {
        strError = QStringLiteral("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    return true;
}
