#include "CliCommands.h"
#include "ConsoleProgress.h"
#include "TerminalText.h"

#include "platform/LocalPaths.h"
#include "platform/Profile.h"
#include "platform/Services.h"
#include "platform/TraceFile.h"
#include "resources/StringTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <cstdio>

void CliNote(const QString& message)
{
    // The message may hold a server's or an instrument's reply.
    std::fprintf(stderr, "tessaro-cli: %s\n", qPrintable(TerminalText(message.trimmed())));
}

int CliFail(const QString& message)
{
    CliNote(message);
    return EXIT_FAILED;
}

namespace {
// Help asked for goes to stdout (it can be paged or piped); the usage shown
// after a wrong command line goes to stderr with the message.
std::FILE* g_usageStream = stderr;
} // namespace

std::FILE* CliUsageStream()
{
    return g_usageStream;
}

int CliUsage(const QString& message, void (*printUsage)())
{
    std::fprintf(stderr, "tessaro-cli: %s\n", qPrintable(TerminalText(message)));
    printUsage();
    return EXIT_USAGE;
}

void CliCatchInterrupts()
{
    CConsoleProgress::CatchInterrupts();
}

int CliEnd(int result)
{
    const int signal = CConsoleProgress::Interrupt();
    if (signal == 0)
        return result;
    CliNote(
        LoadString(IDS_CLI_INTERRUPTED).arg(signal == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM")));
    return 128 + signal;
}

bool CliLocalPath(const QString& path, const CCliOptions& options, QString& nativePath)
{
    if (options.m_strRoot.isEmpty()) {
        nativePath = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
        return true;
    }
    if (CLocalPaths::ToNative(path, nativePath))
        return true;
    CliNote(LoadString(IDS_PATH_LEAVES_ROOT).arg(path));
    return false;
}

bool TakeOption(QStringList& args, const QString& name, QString& value)
{
    const int index = args.indexOf(name);
    if (index < 0)
        return true;
    if (index + 1 >= args.size()) {
        std::fprintf(stderr, "tessaro-cli: %s needs a value\n", qPrintable(name));
        return false;
    }
    value = args.at(index + 1);
    args.remove(index, 2);
    return true;
}

bool TakeFlag(QStringList& args, const QString& name)
{
    return args.removeAll(name) > 0;
}

static void PrintUsage()
{
    std::fprintf(CliUsageStream(),
                 "usage: tessaro-cli [--profile FILE] [--root DIR] [--yes] [--trace FILE|-] COMMAND ...\n"
                 "       tessaro-cli --help | --version\n"
                 "Moves data between this machine, a surveying instrument and an FTP server.\n"
                 "--trace appends every line exchanged with the instrument or the server to FILE\n"
                 "(- for stderr), passwords masked: send it in when a connection does not work.\n"

                 "Exit status: 0 done, 1 failed, 2 wrong command line, 3 a folder copy left files out\n"
                 "(skipped as existing or failed), 130 or 143 cancelled by Ctrl+C or SIGTERM: the transfer\n"
                 "under way stops as with Cancel, a second Ctrl+C ends at once.\n");
    PrintInstrumentUsage();
    PrintFtpUsage();
}

namespace {

// The --trace sink, installed for the command's run.
class CCliTrace
{
public:
    bool Start(const QString& path)
    {
        if (path.isEmpty())
            return true;
        QString error;
        if (!m_file.Open(path, &error)) {
            CliNote(LoadString(IDS_TRACE_CANNOT_OPEN).arg(error));
            return false;
        }
        CServices::SetTrace(&m_file);
        return true;
    }
    ~CCliTrace()
    {
        if (m_file.IsOn())
            CServices::SetTrace(nullptr);
    }

private:
    CTraceFile m_file;
};

} // namespace

int RunCli(QStringList args)
{
    CCliOptions options;
    QString tracePath;
    if (!TakeOption(args, QStringLiteral("--profile"), options.m_strProfile)
        || !TakeOption(args, QStringLiteral("--root"), options.m_strRoot)
        || !TakeOption(args, QStringLiteral("--trace"), tracePath))
        return EXIT_USAGE;
    CCliTrace trace;
    if (!trace.Start(tracePath))
        return EXIT_USAGE;
    options.m_bYes = TakeFlag(args, QStringLiteral("--yes"));
    if (args.isEmpty()) {
        PrintUsage();
        return EXIT_USAGE;
    }
    // --help anywhere (also "tessaro-cli ftp --help") or the command "help".
    if (args.contains(QLatin1String("--help")) || args.first() == QLatin1String("help")) {
        g_usageStream = stdout;
        PrintUsage();
        return EXIT_OK;
    }
    if (args.first() == QLatin1String("--version")) {
        std::printf("tessaro-cli %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return EXIT_OK;
    }
    if (!options.m_strProfile.isEmpty())
        CProfile::SetFile(options.m_strProfile);
    if (!options.m_strRoot.isEmpty()) {
        QString error;
        if (!CLocalPaths::SetRoot(options.m_strRoot, &error)) {
            std::fprintf(stderr, "tessaro-cli: %s\n", qPrintable(error));
            return EXIT_USAGE;
        }
    }
    if (args.first() == QLatin1String("ftp"))
        return RunFtpCommand(args.mid(1), options);
    return RunInstrumentCommand(args, options);
}
