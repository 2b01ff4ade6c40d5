#pragma once

#include "instrument/ComPort.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"

// Process-wide settings held for the life of one object: the destructor puts
// the default back even when a failed assertion leaves the test early, so a
// setting never leaks into the tests after it.

class CScopedProfileFile
{
public:
    explicit CScopedProfileFile(const QString& path) { CProfile::SetFile(path); }
    ~CScopedProfileFile() { CProfile::SetFile(QString()); }
    CScopedProfileFile(const CScopedProfileFile&) = delete;
    CScopedProfileFile& operator=(const CScopedProfileFile&) = delete;
    void Set(const QString& path) { CProfile::SetFile(path); }
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

class CScopedDeviceOverride
{
public:
    explicit CScopedDeviceOverride(const QString& path) { CComPort::SetDeviceOverride(path); }
    ~CScopedDeviceOverride() { CComPort::SetDeviceOverride(QString()); }
    CScopedDeviceOverride(const CScopedDeviceOverride&) = delete;
    CScopedDeviceOverride& operator=(const CScopedDeviceOverride&) = delete;
    void Set(const QString& path) { CComPort::SetDeviceOverride(path); }
};
