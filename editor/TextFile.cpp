#include "editor/TextFile.h"

#include "editor/EditorResource.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Opens strPath for reading only if it is a regular file: on POSIX systems
// the open itself must not wait (a FIFO without a writer) and the type is
// judged on the opened file, so nothing can be swapped in between.
bool OpenRegularFile(const QString& strPath, QFile& file, qint64& nSize, QString& strError)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(strPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        strError = QStringLiteral("%1: %2").arg(strPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        strError = S_ISDIR(info.st_mode) ? QStringLiteral("%1 is a folder, not a file.").arg(strPath)
                                         : EditorString(IDS_NOT_REGULAR_FILE).arg(strPath);
        ::close(fd);
        return false;
    }
    nSize = info.st_size;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        strError = QStringLiteral("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    return true;
#else
    const QFileInfo info(strPath);
    if (info.isDir()) {
        strError = QStringLiteral("%1 is a folder, not a file.").arg(strPath);
        return false;
    }
    if (info.exists() && !info.isFile()) {
        strError = EditorString(IDS_NOT_REGULAR_FILE).arg(strPath);
        return false;
    }
    file.setFileName(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        strError = QStringLiteral("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    nSize = file.size();
    return true;
#endif
}

} // namespace

bool CTextFile::Read(const QString& strPath, QByteArray& bytes, QString& strError)
{
    QFile file;
    qint64 nSize = 0;
    if (!OpenRegularFile(strPath, file, nSize, strError))
        return false;
    const QString strTooLarge =
        EditorString(IDS_FILE_TOO_LARGE).arg(strPath, QString::number(kMaxFileSize / (1024 * 1024)));
    if (nSize > kMaxFileSize) {
        strError = strTooLarge;
        return false;
    }
    // One byte more than allowed tells a file that grew since it was opened.
    QByteArray content = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        strError = QStringLiteral("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    if (content.size() > kMaxFileSize) {
        strError = strTooLarge;
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
