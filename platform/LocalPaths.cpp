#include "LocalPaths.h"

#include "resources/StringTable.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

namespace {
QString g_root = QStringLiteral("/");
std::unique_ptr<QTemporaryDir> g_staging;
} // namespace

bool CLocalPaths::SetRoot(const QString& dir, QString* error)
{
    const QFileInfo info(dir);
    if (dir.isEmpty() || !info.exists() || !info.isDir()) {
        if (error)
            *error = LoadString(IDS_ROOT_NOT_FOLDER).arg(dir);
        return false;
    }
    g_root = QDir::cleanPath(info.absoluteFilePath());
    return true;
}

QString CLocalPaths::Root()
{
    return g_root;
}

QString CLocalPaths::ToNative(const QString& handheldPath)
{
    QString relative = handheldPath;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    if (relative.isEmpty())
        return g_root;
    return g_root.endsWith(QLatin1Char('/')) ? g_root + relative : g_root + QLatin1Char('/') + relative;
}

QString CLocalPaths::StagingPath(const QString& name)
{
    if (!g_staging) {
        g_staging = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tessaro-XXXXXX"));
        QFile::setPermissions(g_staging->path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    return g_staging->filePath(name);
}

void CLocalPaths::RemoveStaging()
{
    g_staging.reset();
}
