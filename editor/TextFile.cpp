#include "TextFile.h"

#include "EditorResource.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace {

QString SystemError(const QString& strPath)
{
    return QStringLiteral("%1: %2").arg(strPath, QString::fromLocal8Bit(std::strerror(errno)));
}

// Opens strPath for reading only if it is a regular file: on POSIX systems
// the open itself must not wait (a FIFO without a writer) and the type is
// judged on the opened file, so nothing can be swapped in between.
bool OpenRegularFile(const QString& strPath, QFile& file, qint64& nSize, QString& strError)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(strPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        strError = SystemError(strPath);
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

bool ReplaceFile(const QString& strPath, const QByteArray& bytes, QString& strError)
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

#ifdef Q_OS_UNIX
// Truncates and rewrites the file itself: its owner, mode, links and access
// list stay as they are.
bool WriteInPlace(const QString& strPath, const QByteArray& bytes, QString& strError)
{
    const int fd = ::open(QFile::encodeName(strPath).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        strError = SystemError(strPath);
        return false;
    }
    const char* pNext = bytes.constData();
    qsizetype nLeft = bytes.size();
    while (nLeft > 0) {
        const ssize_t nWritten = ::write(fd, pNext, size_t(nLeft));
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0) {
            strError = SystemError(strPath);
            ::close(fd);
            return false;
        }
        pNext += nWritten;
        nLeft -= nWritten;
    }
    const bool bSynced = ::fsync(fd) == 0;
    if (!bSynced)
        strError = SystemError(strPath);
    if (::close(fd) != 0 && bSynced) {
        strError = SystemError(strPath);
        return false;
    }
    return bSynced;
}
#endif

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
#ifdef Q_OS_UNIX
    if (ChooseSaveMethod(InspectTarget(strPath)) == ESaveMethod::IN_PLACE)
        return WriteInPlace(strPath, bytes, strError);
#endif
    return ReplaceFile(strPath, bytes, strError);
}

CSaveTarget CTextFile::InspectTarget(const QString& strPath)
{
    CSaveTarget target;
#ifdef Q_OS_UNIX
    // A link is followed: what is saved is the file it names, in its folder.
    const QByteArray path = QFile::encodeName(strPath);
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0)
        return target;
    target.m_bExists = true;
    target.m_bRegular = S_ISREG(info.st_mode);
    target.m_bSingleLink = info.st_nlink == 1;
    target.m_bOwnedByUser = info.st_uid == ::geteuid();
    target.m_bNoAcl = ::getxattr(path.constData(), "system.posix_acl_access", nullptr, 0) < 0;
    const QString strFolder = QFileInfo(QFileInfo(strPath).canonicalFilePath()).absolutePath();
    target.m_bFolderWritable =
        ::faccessat(AT_FDCWD, QFile::encodeName(strFolder).constData(), W_OK | X_OK, AT_EACCESS) == 0;
#else
    target.m_bExists = QFileInfo::exists(strPath);
#endif
    return target;
}

CTextFile::ESaveMethod CTextFile::ChooseSaveMethod(const CSaveTarget& target)
{
    // A new file is created through the temporary file; so is a file that is
    // not a regular one, which would block or swallow bytes when written to.
    if (!target.m_bExists || !target.m_bRegular)
        return ESaveMethod::REPLACE;
    const bool bPlain = target.m_bSingleLink && target.m_bOwnedByUser && target.m_bNoAcl;
    return bPlain && target.m_bFolderWritable ? ESaveMethod::REPLACE : ESaveMethod::IN_PLACE;
}
