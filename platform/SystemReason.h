#pragma once

#include <QString>

// The system's reason for a failure, for messages that name the cause
// besides the program's own text.
class CSystemReason
{
public:
    // The text of an errno value ("Permission denied").
    static QString Text(int errorNumber);
    // "message\nreason", or the message alone when there is no reason.
    static QString Append(const QString& message, const QString& reason);
    // Why a device cannot be opened: "path: reason", and for a device this
    // user may not open the remedy (membership of the device's group).
    static QString DeviceReason(const QString& path, int errorNumber);
    // Empty when a new file can be made in folder; else "folder: reason".
    static QString FolderNotWritable(const QString& folder);
};
