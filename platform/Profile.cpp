#include "Profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace {

QString g_application = QStringLiteral("Tessaro");
QString g_file;

std::unique_ptr<QSettings> OpenSettings()
{
    if (!g_file.isEmpty())
        return std::make_unique<QSettings>(g_file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QString::fromLatin1(CProfile::kRegistryKey), g_application);
}

QString Key(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

// Creates the file private before anything is written into it; QSettings
// keeps the permissions of an existing file when it rewrites it.
void MakePrivate(const QString& path)
{
    if (path.isEmpty())
        return;
    if (!QFile::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.close();
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void Write(const QString& section, const QString& key, const QVariant& value)
{
    auto settings = OpenSettings();
    MakePrivate(settings->fileName());
    settings->setValue(Key(section, key), value);
    settings->sync();
    MakePrivate(settings->fileName());
}

} // namespace

void CProfile::SetApplication(const QString& name)
{
    g_application = name;
}
void CProfile::SetFile(const QString& path)
{
    g_file = path;
}
QString CProfile::FilePath()
{
    return OpenSettings()->fileName();
}

int CProfile::ReadInt(const QString& section, const QString& key, int defaultValue)
{
    auto settings = OpenSettings();
    if (settings->status() != QSettings::NoError)
        return defaultValue;
    const QVariant value = settings->value(Key(section, key));
    bool ok = false;
    const int result = value.toInt(&ok);
    return ok ? result : defaultValue;
}

void CProfile::WriteInt(const QString& section, const QString& key, int value)
{
    Write(section, key, value);
}

QString CProfile::ReadString(const QString& section, const QString& key, const QString& defaultValue)
{
    auto settings = OpenSettings();
    if (settings->status() != QSettings::NoError)
        return defaultValue;
    const QVariant value = settings->value(Key(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

void CProfile::WriteString(const QString& section, const QString& key, const QString& value)
{
    Write(section, key, value);
}
