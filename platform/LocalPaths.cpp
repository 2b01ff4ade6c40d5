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

bool CLocalPaths::ToNative(const QString& handheldPath, QString& nativePath)
{
    QString path = handheldPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList names;
    for (const QString& name : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (name == QLatin1String(".."))
            return false;
        if (name != QLatin1String("."))
            names.append(name);
    }
    if (names.isEmpty())
        nativePath = g_root;
    else
        nativePath =
            (g_root.endsWith(QLatin1Char('/')) ? g_root : g_root + QLatin1Char('/')) + names.join(QLatin1Char('/'));
    return true;
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
