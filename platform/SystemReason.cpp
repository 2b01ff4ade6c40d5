#include "SystemReason.h"

#include "resources/StringTable.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

QString CSystemReason::Text(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

QString CSystemReason::Append(const QString& message, const QString& reason)
{
    return reason.isEmpty() ? message : message + QLatin1Char('\n') + reason;
}

QString CSystemReason::DeviceReason(const QString& path, int errorNumber)
{
    QString reason = QStringLiteral("%1: %2").arg(path, Text(errorNumber));
    if (errorNumber != EACCES && errorNumber != EPERM)
        return reason;
    // Serial devices belong to a group ("dialout" on most systems) whose
    // members may open them; a new membership counts from the next logon.
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return reason;
    const group* owner = ::getgrgid(info.st_gid);
    const QString name = owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
    return reason + QLatin1Char('\n') + LoadString(IDS_DEVICE_GROUP_REMEDY).arg(name);
}

QString CSystemReason::FolderNotWritable(const QString& folder)
{
    // Trying is the only sure test: access() says yes to root on a
    // read-only file system and knows nothing of a full one's inodes.
    QByteArray name = QFile::encodeName(QDir(folder).filePath(QStringLiteral(".tessaro-XXXXXX")));
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(folder), Text(errno));
    ::close(fd);
    ::unlink(name.constData());
    return QString();
}
