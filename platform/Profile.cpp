#include "Profile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QThread>

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

// Not the name QSettings takes for its own lock ("<file>.lock"), which it
// takes inside sync() and would wait for here without end.
QString LockPath(const QString& path)
{
    return path + QStringLiteral(".write-lock");
}

// QLockFile's own wait polls every 100 ms and more; a save holds the lock for
// a few milliseconds, so it is polled more often here.
bool Lock(QLockFile& lock)
{
    const QDeadlineTimer deadline(CProfile::kLockWaitMs);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        QThread::msleep(2);
    }
    return true;
}

} // namespace

bool CProfile::WriteSection(const QString& section, const CValues& values)
{
    const QString path = FilePath();
    if (path.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QLockFile lock(LockPath(path));
    if (!Lock(lock))
        return false;
    // Opened under the lock, so the file is read as the last writer left it.
    MakePrivate(path);
    auto settings = OpenSettings();
    for (const auto& [key, value] : values)
        settings->setValue(Key(section, key), value);
    settings->sync();
    MakePrivate(path);
    return settings->status() == QSettings::NoError;
}

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
    WriteSection(section, {{key, value}});
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
    WriteSection(section, {{key, value}});
}
