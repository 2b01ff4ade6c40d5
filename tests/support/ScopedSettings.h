#pragma once

#include "instrument/ComPort.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

// Process-wide settings held for the life of one object: the destructor puts
// the default back even when a failed assertion leaves the test early, so a
// setting never leaks into the tests after it.

// A path setting (the profile file, the serial device override), empty again at the end.
template <void (*Apply)(const QString&)>
class CScopedPath
{
public:
    explicit CScopedPath(const QString& path) { Apply(path); }
    ~CScopedPath() { Apply(QString()); }
    CScopedPath(const CScopedPath&) = delete;
    CScopedPath& operator=(const CScopedPath&) = delete;
    void Set(const QString& path) { Apply(path); }
};
using CScopedProfileFile = CScopedPath<&CProfile::SetFile>;
using CScopedDeviceOverride = CScopedPath<&CComPort::SetDeviceOverride>;

// The profile pointed at an empty INI file in a folder of its own.
class CTempProfile
{
public:
    CTempProfile() : m_strPath(m_dir.filePath(QStringLiteral("profile.ini"))), m_profile(m_strPath) {}
    QByteArray Contents() const { return ReadFile(m_strPath); }

    QTemporaryDir m_dir;
    QString m_strPath;
    CScopedProfileFile m_profile;
};

// The root before it comes back at the end.
class CScopedLocalRoot
{
public:
    CScopedLocalRoot() = default;
    ~CScopedLocalRoot() { CLocalPaths::SetRoot(m_strPrevious); }
    CScopedLocalRoot(const CScopedLocalRoot&) = delete;
    CScopedLocalRoot& operator=(const CScopedLocalRoot&) = delete;
    bool Set(const QString& dir, QString* error = nullptr) { return CLocalPaths::SetRoot(dir, error); }

private:
    const QString m_strPrevious = CLocalPaths::Root();
};
