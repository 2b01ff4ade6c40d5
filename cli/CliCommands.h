#pragma once

#include <QStringList>

#include <cstdio>

// Exit codes of tessaro-cli. EXIT_INCOMPLETE: a folder copy went through
// every folder but left files out (skipped as existing, or failed). A command
// cancelled by a signal ends with 128 + its number (130 SIGINT, 143 SIGTERM).
enum ECliExit { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2, EXIT_INCOMPLETE = 3 };

// Options shared by every command, taken out of the argument list.
struct CCliOptions
{
    QString m_strProfile;
    QString m_strRoot;
    bool m_bYes = false;
};

int RunCli(QStringList args);

// Each group of commands lives in its own source file.
int RunFtpCommand(const QStringList& args, const CCliOptions& options);
int RunInstrumentCommand(const QStringList& args, const CCliOptions& options);
// "detect": args after the command word; device is the --device option (may be empty).
int RunDetectCommand(QStringList args, const QString& device, const CCliOptions& options);
// The usage texts print to CliUsageStream(): stdout for --help, else stderr.
void PrintFtpUsage();
void PrintInstrumentUsage();
std::FILE* CliUsageStream();

// Prints "tessaro-cli: message" on stderr.
void CliNote(const QString& message);
// The same, and returns EXIT_FAILED.
int CliFail(const QString& message);
// Prints the message and the usage of a group of commands; returns EXIT_USAGE.
int CliUsage(const QString& message, void (*printUsage)());
// Lets Ctrl+C and SIGTERM cancel the transfer under way (see CConsoleProgress).
void CliCatchInterrupts();
// result, or 128 + the signal, told on stderr, when a signal cancelled the command.
int CliEnd(int result);

// A local path of a command: with --root a handheld path below that root,
// otherwise a path of this machine. False, with the message printed, for a
// handheld path that would lead out of the root.
bool CliLocalPath(const QString& path, const CCliOptions& options, QString& nativePath);

// Takes "--name VALUE" out of args; false with a message when VALUE is missing.
bool TakeOption(QStringList& args, const QString& name, QString& value);
bool TakeFlag(QStringList& args, const QString& name);
