#pragma once

#include <QString>

// Deletes a local folder with everything in it. Like the handheld, a file
// that its owner may not write (read-only) is not deleted; the folder then
// stays and the result is false. Links are removed, never followed.
// True when the folder itself was removed.
bool DeleteLocalTree(const QString& nativeFolder);

// Starts the program that lies beside the running executable and waits,
// without a time limit, until it ends; events are processed meanwhile so
// that windows repaint. A ".exe" name that is not there is looked for under
// its lower-case base name ("Quillon.exe" -> "quillon"). The command line is
// one argument, a path that may stand in double quotes; a path beginning
// with "-" is passed absolute, so that it cannot be taken for an option.
// False when the program could not be started.
bool RunProgram(const QString& programFileName, const QString& commandLine);

// The path of the program RunProgram would start (empty when there is none).
QString ProgramBesideExecutable(const QString& programFileName);
