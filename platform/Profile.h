#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <utility>

// The application profile: integers and strings by section and key. By
// default QSettings of the application below the key "Local AppWizard-
// Generated Applications"; SetFile() selects an INI file instead. The file
// holds passwords, so it is kept readable by its owner only. A missing,
// unreadable or corrupt profile reads as defaults and never fails.
class CProfile
{
public:
    static constexpr const char* kRegistryKey = "Local AppWizard-Generated Applications";

    static void SetApplication(const QString& name);
    // Empty path: back to the default location.
    static void SetFile(const QString& path);
    static QString FilePath();

    static int ReadInt(const QString& section, const QString& key, int defaultValue);
    static void WriteInt(const QString& section, const QString& key, int value);
    static QString ReadString(const QString& section, const QString& key, const QString& defaultValue = QString());
    static void WriteString(const QString& section, const QString& key, const QString& value);
    // Writes all the keys of a section in one step, under a lock beside the
    // file that every writer of the profile takes, so that two programs saving
    // at once leave one whole result, never a mixture. False when the lock
    // stays taken longer than kLockWaitMs or the file cannot be written.
    using CValues = QList<std::pair<QString, QVariant>>;
    static bool WriteSection(const QString& section, const CValues& values);

    static constexpr int kLockWaitMs = 5000;
};
