// tessaro-cli identify|jobs|formats|codes|erase|receive|send: the explorer's
// instrument operations from the command line.
#include "CliCommands.h"
#include "ConsoleProgress.h"
#include "ConsolePrompt.h"
#include "TerminalText.h"

#include "instrument/ComInstrument.h"
#include "instrument/ComSettings.h"
#include "instrument/Protocol.h"
#include "platform/Services.h"
#include "platform/SystemReason.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

using namespace Protocol;

namespace {

// The table an item lives in, and what each command needs listed.
using ETable = CComInstrument::ETable;
using enum CComInstrument::ETable;

struct CItemKind
{
    const char* m_szWord;
    int m_nKind;
    ETable m_table;
};

const CItemKind kEraseKinds[] = {
    {"job", KIND_JOB, TABLE_JOBS},
    {"measurements", KIND_MEASUREMENTS, TABLE_JOBS},
    {"fixpoints", KIND_FIXPOINTS, TABLE_JOBS},
    {"codelist", KIND_CODE_LIST, TABLE_CODE_LISTS},
    {"format", KIND_FORMAT, TABLE_FORMATS},
};
const CItemKind kReceiveKinds[] = {
    {"measurements", KIND_MEASUREMENTS, TABLE_JOBS},
    {"fixpoints", KIND_FIXPOINTS, TABLE_JOBS},
    {"codelist", KIND_CODE_LIST, TABLE_CODE_LISTS},
};
const CItemKind kSendKinds[] = {
    {"job", KIND_JOB, TABLE_JOBS},
    {"fixpoints", KIND_FIXPOINTS, TABLE_JOBS},
    {"codelist", KIND_CODE_LIST, TABLE_CODE_LISTS},
    {"format", KIND_FORMAT, TABLE_NONE},
};

template <size_t N>
const CItemKind* FindKind(const CItemKind (&kinds)[N], const QString& word)
{
    for (const CItemKind& kind : kinds) {
        if (word == QLatin1String(kind.m_szWord))
            return &kind;
    }
    return nullptr;
}

int Usage(const QString& message)
{
    return CliUsage(message, &PrintInstrumentUsage);
}

// The message the system showed is already on stderr (the console prompt
// prints every message box); this line names what failed.
int Fail(const QString& what)
{
    return CliFail(what);
}

bool ParseNumber(const QString& text, int& number)
{
    bool ok = false;
    number = text.toInt(&ok);
    return ok;
}

QString TableWord(ETable table)
{
    switch (table) {
    case TABLE_JOBS:
        return LoadString(IDS_CLI_JOB);
    case TABLE_FORMATS:
        return LoadString(IDS_CLI_FORMAT);
    case TABLE_CODE_LISTS:
        return LoadString(IDS_CLI_CODE_LIST);
    case TABLE_NONE:
        break;
    }
    return QString();
}

int FailListing(ETable table)
{
    return Fail(LoadString(IDS_CLI_LIST_INCOMPLETE).arg(TableWord(table)));
}

// Reads the arguments "WHAT NUMBER" (and "FILE" withFile) of an item command;
// the usage message when their count, the item or the number is wrong.
template <size_t N>
QString ParseItem(const QString& command, const CItemKind (&kinds)[N], const QStringList& args, bool withFile,
                  const CItemKind*& kind, int& number)
{
    if (args.size() != (withFile ? 3 : 2))
        return LoadString(withFile ? IDS_CLI_TAKES_NUMBER_FILE : IDS_CLI_TAKES_NUMBER).arg(command);
    kind = FindKind(kinds, args[0]);
    if (!kind)
        return LoadString(IDS_CLI_UNKNOWN_ITEM).arg(command, args[0]);
    if (!ParseNumber(args[1], number))
        return LoadString(IDS_CLI_NOT_A_NUMBER).arg(command, args[1]);
    return QString();
}

// Connects as the explorer does and prints the name, if the instrument gave one.
int Identify(CComInstrument& instrument)
{
    switch (instrument.Connect()) {
    case CComInstrument::CONNECT_NO_ANSWER:
        return Fail(LoadString(IDS_CLI_NO_ANSWER));
    case CComInstrument::CONNECT_IDENTIFY_ERROR:
        return Fail(LoadString(IDS_CLI_IDENTIFY_ERROR));
    case CComInstrument::CONNECT_OK:
        break;
    }
    // An instrument that does not say its name was still identified: no
    // empty line on stdout for a script to take as a name.
    if (instrument.m_strName.isEmpty())
        CliNote(LoadString(IDS_CLI_NO_NAME));
    else
        std::printf("%s\n", InstrumentText(instrument.m_strName).constData());
    return EXIT_OK;
}

int PrintJobs(CComInstrument& instrument)
{
    if (!instrument.ListJobs())
        return FailListing(TABLE_JOBS);
    for (const CJobInfo& row : instrument.m_jobs)
        std::printf("%d\t%s\t%d\t%d\t%d\n", row.m_nNumber, InstrumentText(row.m_strName).constData(), row.m_nFixBlocks,
                    row.m_nMeasBlocks, row.m_bEmpty);
    return EXIT_OK;
}

int PrintFormats(CComInstrument& instrument)
{
    if (!instrument.ListFormats())
        return FailListing(TABLE_FORMATS);
    for (const CFormatInfo& row : instrument.m_formats)
        std::printf("%d\t%s\t%d\t%d\t%d\n", row.m_nNumber, InstrumentText(row.m_strName).constData(), row.m_nValue1,
                    row.m_nValue2, row.m_bEmpty);
    return EXIT_OK;
}

int PrintCodeLists(CComInstrument& instrument)
{
    if (!instrument.ListCodeLists())
        return FailListing(TABLE_CODE_LISTS);
    for (const CCodeListInfo& row : instrument.m_codeLists)
        std::printf("%d\t%s\t%d\t%d\n", row.m_nNumber, InstrumentText(row.m_strName).constData(), row.m_nCount,
                    row.m_bEmpty);
    return EXIT_OK;
}

// Lists the item's table so the operation finds its row; the failure's
// message when the listing failed or the number is not there, else empty.
QString FindItem(CComInstrument& instrument, const CItemKind& kind, int number)
{
    if (!instrument.ListTable(kind.m_table))
        return LoadString(IDS_CLI_LIST_INCOMPLETE).arg(TableWord(kind.m_table));
    if (!instrument.HasRow(kind.m_table, number))
        return LoadString(IDS_CLI_NO_ITEM).arg(TableWord(kind.m_table), QString::number(number));
    return QString();
}

int Erase(CComInstrument& instrument, const QStringList& args)
{
    const CItemKind* kind = nullptr;
    int number = 0;
    const QString usage = ParseItem(QStringLiteral("erase"), kEraseKinds, args, false, kind, number);
    if (!usage.isEmpty())
        return Usage(usage);
    const QString failure = FindItem(instrument, *kind, number);
    if (!failure.isEmpty())
        return Fail(failure);
    if (!instrument.Erase(number, kind->m_nKind, 0))
        return Fail(LoadString(IDS_CLI_NOTHING_ERASED));
    return EXIT_OK;
}

int Receive(CComInstrument& instrument, CConsolePrompt& prompt, const QStringList& args, const CCliOptions& options)
{
    const CItemKind* kind = nullptr;
    int number = 0;
    const QString command = QStringLiteral("receive");
    const QString usage = ParseItem(command, kReceiveKinds, args, true, kind, number);
    if (!usage.isEmpty())
        return Usage(usage);
    QString local;
    if (!CliLocalPath(args[2], options, local))
        return EXIT_FAILED;
    const QFileInfo target(local);
    if (target.fileName().isEmpty() || !target.absoluteDir().exists())
        return Usage(LoadString(IDS_CLI_NO_FOLDER).arg(command, args[2]));
    // Before the instrument is woken for the listing, not after it.
    const QString notWritable = CSystemReason::FolderNotWritable(target.absolutePath());
    if (!notWritable.isEmpty())
        return Fail(CSystemReason::Append(LoadString(IDS_CANNOT_OPEN_LOCAL_FILE), notWritable));

    const QString failure = FindItem(instrument, *kind, number);
    if (!failure.isEmpty())
        return Fail(failure);
    // Job data are received in one of the instrument's formats.
    if (kind->m_table == TABLE_JOBS && !instrument.ListFormats())
        return FailListing(TABLE_FORMATS);
    prompt.m_strFileName = target.fileName();
    if (!instrument.Receive(QDir::toNativeSeparators(target.absolutePath()), number, kind->m_nKind, 0))
        return Fail(LoadString(IDS_CLI_NOTHING_RECEIVED));
    return EXIT_OK;
}

int Send(CComInstrument& instrument, const QStringList& args, const CCliOptions& options)
{
    const CItemKind* kind = nullptr;
    int number = 0;
    const QString usage = ParseItem(QStringLiteral("send"), kSendKinds, args, true, kind, number);
    if (!usage.isEmpty())
        return Usage(usage);
    QString path;
    if (!CliLocalPath(args[2], options, path))
        return EXIT_FAILED;
    if (!QFileInfo(path).isFile())
        return Fail(LoadString(IDS_CLI_NO_FILE).arg(args[2]));
    // The naming and the fix point question look at the table.
    if (!instrument.ListTable(kind->m_table))
        return FailListing(kind->m_table);

    if (!instrument.SendFile(path, number, kind->m_nKind, QString()))
        return Fail(LoadString(IDS_CLI_NOT_SENT));
    return EXIT_OK;
}

int Run(CComInstrument& instrument, CConsolePrompt& prompt, const QString& command, const QStringList& args,
        const CCliOptions& options)
{
    const bool noArguments = args.isEmpty();
    if (command == QLatin1String("identify") && noArguments)
        return Identify(instrument);
    if (command == QLatin1String("jobs") && noArguments)
        return PrintJobs(instrument);
    if (command == QLatin1String("formats") && noArguments)
        return PrintFormats(instrument);
    if (command == QLatin1String("codes") && noArguments)
        return PrintCodeLists(instrument);
    if (command == QLatin1String("erase"))
        return Erase(instrument, args);
    if (command == QLatin1String("receive"))
        return Receive(instrument, prompt, args, options);
    if (command == QLatin1String("send"))
        return Send(instrument, args, options);
    if (noArguments)
        return Usage(LoadString(IDS_CLI_UNKNOWN_COMMAND).arg(command));
    return Usage(LoadString(IDS_CLI_NO_ARGUMENTS).arg(command));
}

} // namespace

void PrintInstrumentUsage()
{
    std::fprintf(CliUsageStream(),
                 "Instrument commands (serial settings from the profile section \"COM_SETTINGS\"):\n"
                 "  [--device PATH] COMMAND           PATH replaces the device of the configured port\n"
                 "    identify                        wake the instrument and print its name\n"
                 "    detect [--save]                 find the port and line settings (only PATH with --device);\n"
                 "                                    device, port, speed, data bits, parity, stop bits, end mark,\n"
                 "                                    name; --save stores them in the profile\n"
                 "    jobs                            number, name, fix point blocks, measurement blocks, empty flag\n"
                 "    formats                         number, name, first value, second value, empty flag\n"
                 "    codes                           number, name, count, empty flag\n"
                 "    erase job|measurements|fixpoints|codelist|format NUMBER\n"
                 "    receive measurements|fixpoints|codelist NUMBER FILE [--format NAME]\n"
                 "    send job|fixpoints|codelist|format NUMBER FILE [--name NAME]\n"
                 "  Output lines are tab-separated. --yes answers Yes to the questions (erase, overwrite).\n");
}

int RunInstrumentCommand(const QStringList& arguments, const CCliOptions& options)
{
    QStringList args = arguments;
    QString device, format, name;
    if (!TakeOption(args, QStringLiteral("--device"), device) || !TakeOption(args, QStringLiteral("--format"), format)
        || !TakeOption(args, QStringLiteral("--name"), name))
        return EXIT_USAGE;
    if (args.isEmpty())
        return Usage(LoadString(IDS_CLI_NO_COMMAND));
    const QString command = args.takeFirst();
    if (command == QLatin1String("detect"))
        return RunDetectCommand(args, device, options);
    for (const QString& arg : std::as_const(args)) {
        if (arg.startsWith(QLatin1String("--")))
            return Usage(LoadString(IDS_CLI_UNKNOWN_OPTION).arg(arg));
    }

    CConsolePrompt prompt;
    prompt.m_bYes = options.m_bYes;
    prompt.m_strFormat = format;
    prompt.m_strName = name;
    CConsoleProgress progress;
    CScopedServices services(nullptr, &prompt, &progress);
    if (!device.isEmpty())
        CComPort::SetDeviceOverride(device);

    CliCatchInterrupts();
    int result = EXIT_OK;
    {
        CComSettings settings;
        settings.Load();
        CComInstrument instrument;
        instrument.SetComSettings(settings);
        result = Run(instrument, prompt, command, args, options);
    }
    std::fflush(stdout);
    CComPort::SetDeviceOverride(QString());
    return CliEnd(result);
}
