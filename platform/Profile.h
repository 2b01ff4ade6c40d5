#pragma once

#include <QString>

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
};
