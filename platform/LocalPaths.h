#pragma once

#include <QString>

// Maps the handheld's paths ("Data\Job1.txt", separators "\") onto the local
// file system below a root folder ("/" by default, --root DIR). This is the
// one place where such paths become native paths.
class CLocalPaths
{
public:
    // Refuses a root that is not an existing folder, with a message in *error.
    static bool SetRoot(const QString& dir, QString* error = nullptr);
    static QString Root();

    // The native path of a handheld path below the root. "\" and "/" both
    // separate; empty and "." components are skipped. A ".." component is
    // refused (false, nativePath untouched), so no handheld path leads out
    // of the root. A name that itself holds "\" (legal on Linux) cannot be
    // told from two names here: callers that build paths from such names
    // refuse them first.
    static bool ToNative(const QString& handheldPath, QString& nativePath);

    // The temporary files of the explorer ("tempftp", "FTP-INSTRUMENT") live
    // in a private folder (mode 0700) made for the run and removed at exit.
    static QString StagingPath(const QString& name);
    static void RemoveStaging();
};
