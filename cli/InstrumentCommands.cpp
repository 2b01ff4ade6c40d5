// tessaro-cli identify|jobs|formats|codes|erase|receive|send: the explorer's
// instrument operations from the command line.
#include "CliCommands.h"
#include "ConsoleProgress.h"
#include "ConsolePrompt.h"

#include "instrument/ComInstrument.h"
#include "instrument/ComSettings.h"
#include "instrument/Protocol.h"
#include "platform/LocalPaths.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

using namespace Protocol;

namespace {

// The three tables an item can live in, and what each command needs listed.
enum ETable { NoTable, JobTable, FormatTable, CodeListTable };

struct CItemKind
{
    const char* m_szWord;
    int m_nKind;
    ETable m_table;
};

const CItemKind kEraseKinds[] = {
    {"job", KindJob, JobTable},
    {"measurements", KindMeasurements, JobTable},
    {"fixpoints", KindFixpoints, JobTable},
    {"codelist", KindCodeList, CodeListTable},
    {"format", KindFormat, FormatTable},
};
const CItemKind kReceiveKinds[] = {
    {"measurements", KindMeasurements, JobTable},
    {"fixpoints", KindFixpoints, JobTable},
    {"codelist", KindCodeList, CodeListTable},
};
const CItemKind kSendKinds[] = {
    {"job", KindJob, JobTable},
    {"fixpoints", KindFixpoints, JobTable},
    {"codelist", KindCodeList, CodeListTable},
    {"format", KindFormat, NoTable},
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

// With --root a local path is a handheld path below that root; otherwise it
// is a path of this machine.
QString LocalPath(const QString& path, const CCliOptions& options)
{
    if (!options.m_strRoot.isEmpty())
        return CLocalPaths::ToNative(path);
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

bool ParseNumber(const QString& text, int& number)
{
    bool ok = false;
    number = text.toInt(&ok);
    return ok;
}

bool HasRow(const CComInstrument& instrument, ETable table, int number)
{
    switch (table) {
    case JobTable:
        for (const CJobInfo& row : instrument.m_jobs)
            if (row.m_nNumber == number)
                return true;
        return false;
    case FormatTable:
        for (const CFormatInfo& row : instrument.m_formats)
            if (row.m_nNumber == number)
                return true;
        return false;
    case CodeListTable:
        for (const CCodeListInfo& row : instrument.m_codeLists)
            if (row.m_nNumber == number)
                return true;
        return false;
    case NoTable:
        break;
    }
    return true;
}

bool List(CComInstrument& instrument, ETable table)
{
    switch (table) {
    case JobTable:
        return instrument.ListJobs();
    case FormatTable:
        return instrument.ListFormats();
    case CodeListTable:
        return instrument.ListCodeLists();
    case NoTable:
        break;
    }
    return true;
}

const char* TableWord(ETable table)
{
    switch (table) {
    case JobTable:
        return "job";
    case FormatTable:
        return "format";
    case CodeListTable:
        return "code list";
    case NoTable:
        break;
    }
    return "item";
}

// Connects as the explorer does and prints the name, if the instrument gave one.
int Identify(CComInstrument& instrument)
{
    switch (instrument.Connect()) {
    case CComInstrument::ConnectNoAnswer:
        return Fail(QStringLiteral("the instrument did not answer"));
    case CComInstrument::ConnectIdentifyError:
        return Fail(QStringLiteral("the instrument reported an error instead of its name"));
    case CComInstrument::ConnectOk:
        break;
    }
    // An instrument that does not say its name was still identified: no
    // empty line on stdout for a script to take as a name.
    if (instrument.m_strName.isEmpty())
        CliNote(QStringLiteral("the instrument gave no name"));
    else
        std::printf("%s\n", qPrintable(instrument.m_strName));
    return EXIT_OK;
}

int PrintJobs(CComInstrument& instrument)
{
    if (!instrument.ListJobs())
        return Fail(QStringLiteral("the job list was not read to its end"));
    for (const CJobInfo& row : instrument.m_jobs)
        std::printf("%d\t%s\t%d\t%d\t%d\n", row.m_nNumber, qPrintable(row.m_strName), row.m_nFixBlocks,
                    row.m_nMeasBlocks, row.m_bEmpty);
    return EXIT_OK;
}

int PrintFormats(CComInstrument& instrument)
{
    if (!instrument.ListFormats())
        return Fail(QStringLiteral("the format list was not read to its end"));
    for (const CFormatInfo& row : instrument.m_formats)
        std::printf("%d\t%s\t%d\t%d\t%d\n", row.m_nNumber, qPrintable(row.m_strName), row.m_nValue1, row.m_nValue2,
                    row.m_bEmpty);
    return EXIT_OK;
}

int PrintCodeLists(CComInstrument& instrument)
{
    if (!instrument.ListCodeLists())
        return Fail(QStringLiteral("the code list list was not read to its end"));
    for (const CCodeListInfo& row : instrument.m_codeLists)
        std::printf("%d\t%s\t%d\t%d\n", row.m_nNumber, qPrintable(row.m_strName), row.m_nCount, row.m_bEmpty);
    return EXIT_OK;
}

// Lists the item's table so the operation finds its row; false (with a
// message) when the listing failed or the number is not there.
bool FindItem(CComInstrument& instrument, const CItemKind& kind, int number, QString& failure)
{
    if (!List(instrument, kind.m_table)) {
        failure = QStringLiteral("the %1 list was not read to its end").arg(QLatin1String(TableWord(kind.m_table)));
        return false;
    }
    if (!HasRow(instrument, kind.m_table, number)) {
        failure = QStringLiteral("the instrument has no %1 number %2")
                      .arg(QLatin1String(TableWord(kind.m_table)))
                      .arg(number);
        return false;
    }
    return true;
}

int Erase(CComInstrument& instrument, const QStringList& args)
{
    if (args.size() != 2)
        return Usage(QStringLiteral("erase takes what and a number"));
    const CItemKind* kind = FindKind(kEraseKinds, args[0]);
    int number = 0;
    if (!kind)
        return Usage(QStringLiteral("erase: unknown item \"%1\"").arg(args[0]));
    if (!ParseNumber(args[1], number))
        return Usage(QStringLiteral("erase: \"%1\" is not a number").arg(args[1]));
    QString failure;
    if (!FindItem(instrument, *kind, number, failure))
        return Fail(failure);
    if (!instrument.Erase(number, kind->m_nKind, 0))
        return Fail(QStringLiteral("nothing was erased"));
    return EXIT_OK;
}

int Receive(CComInstrument& instrument, CConsolePrompt& prompt, const QStringList& args, const CCliOptions& options)
{
    if (args.size() != 3)
        return Usage(QStringLiteral("receive takes what, a number and a file"));
    const CItemKind* kind = FindKind(kReceiveKinds, args[0]);
    int number = 0;
    if (!kind)
        return Usage(QStringLiteral("receive: unknown item \"%1\"").arg(args[0]));
    if (!ParseNumber(args[1], number))
        return Usage(QStringLiteral("receive: \"%1\" is not a number").arg(args[1]));
    const QFileInfo target(LocalPath(args[2], options));
    if (target.fileName().isEmpty() || !target.absoluteDir().exists())
        return Usage(QStringLiteral("receive: no folder for \"%1\"").arg(args[2]));

    QString failure;
    if (!FindItem(instrument, *kind, number, failure))
        return Fail(failure);
    // Job data are received in one of the instrument's formats.
    if (kind->m_table == JobTable && !instrument.ListFormats())
        return Fail(QStringLiteral("the format list was not read to its end"));
    prompt.m_strFileName = target.fileName();
    if (!instrument.Receive(QDir::toNativeSeparators(target.absolutePath()), number, kind->m_nKind, 0))
        return Fail(QStringLiteral("nothing was received"));
    return EXIT_OK;
}

int Send(CComInstrument& instrument, const QStringList& args, const CCliOptions& options)
{
    if (args.size() != 3)
        return Usage(QStringLiteral("send takes what, a number and a file"));
    const CItemKind* kind = FindKind(kSendKinds, args[0]);
    int number = 0;
    if (!kind)
        return Usage(QStringLiteral("send: unknown item \"%1\"").arg(args[0]));
    if (!ParseNumber(args[1], number))
        return Usage(QStringLiteral("send: \"%1\" is not a number").arg(args[1]));
    const QString path = LocalPath(args[2], options);
    if (!QFileInfo(path).isFile())
        return Fail(QStringLiteral("no file %1").arg(args[2]));
    // The naming and the fix point question look at the table.
    if (!List(instrument, kind->m_table))
        return Fail(QStringLiteral("the %1 list was not read to its end").arg(QLatin1String(TableWord(kind->m_table))));

    bool sent = false;
    if (kind->m_nKind == KindJob || kind->m_nKind == KindFixpoints)
        sent = instrument.SendJobFile(path, number, kind->m_nKind, QString());
    else if (kind->m_nKind == KindCodeList)
        sent = instrument.SendCodeListFile(path, number, kind->m_nKind, QString());
    else
        sent = instrument.SendFormatFile(path, number, kind->m_nKind, QString());
    if (!sent)
        return Fail(QStringLiteral("the file was not sent completely"));
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
        return Usage(QStringLiteral("unknown command \"%1\"").arg(command));
    return Usage(QStringLiteral("%1 takes no arguments").arg(command));
}

} // namespace

void PrintInstrumentUsage()
{
    std::fprintf(stderr,
                 "Instrument commands (serial settings from the profile section \"COM_SETTINGS\"):\n"
                 "  [--device PATH] COMMAND           PATH replaces the device of the configured port\n"
                 "    identify                        wake the instrument and print its name\n"
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
        return Usage(QStringLiteral("no command given"));
    const QString command = args.takeFirst();
    for (const QString& arg : std::as_const(args)) {
        if (arg.startsWith(QLatin1String("--")))
            return Usage(QStringLiteral("unknown option %1").arg(arg));
    }

    CConsolePrompt prompt;
    prompt.m_bYes = options.m_bYes;
    prompt.m_strFormat = format;
    prompt.m_strName = name;
    CConsoleProgress progress;
    CScopedServices services(nullptr, &prompt, &progress);
    if (!device.isEmpty())
        CComPort::SetDeviceOverride(device);

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
    return result;
}
