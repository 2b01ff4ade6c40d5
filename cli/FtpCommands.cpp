// tessaro-cli ftp ...: the explorer's FTP operations from the command line.
#include "CliCommands.h"
#include "ConsoleProgress.h"
#include "ConsolePrompt.h"
#include "TerminalPassword.h"
#include "TerminalText.h"

#include "ftp/FtpClient.h"
#include "ftp/FtpListing.h"
#include "ftp/FtpProtocol.h"
#include "ftp/FtpSettings.h"
#include "platform/Bytes.h"
#include "platform/Services.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstdio>

#include <unistd.h>

namespace {

struct CFtpCommandForm
{
    const char* m_szName;
    int m_nArguments; // required arguments
    int m_nOptional;  // further optional arguments
};

const char* const kPasswordVariable = "TESSARO_FTP_PASSWORD";

const CFtpCommandForm kCommands[] = {
    {"ls", 0, 1},    {"get", 2, 0},    {"put", 2, 0},           {"mkdir", 2, 0},           {"rm", 1, 0},
    {"rmdir", 1, 0}, {"rename", 2, 0}, {"upload-folder", 3, 0}, {"download-folder", 3, 0},
};

int Fail(const QString& message)
{
    return CliFail(message);
}

int Usage(const QString& message)
{
    return CliUsage(message, &PrintFtpUsage);
}

// Remote paths of the listing and folder operations are taken from the root
// without a leading "/"; the operations put it in front.
// Remote names travel as bytes, one character per byte: a name typed on
// the terminal goes out with the terminal's own bytes.
QString RemoteRelative(const QString& typed)
{
    QString path = FromBytes(typed.toLocal8Bit());
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return path;
}

QString RemoteAbsolute(const QString& path)
{
    return QLatin1Char('/') + RemoteRelative(path);
}

// "ls -l": kind (d, - or l), size, time (ISO 8601), name and a link's
// target, tab-separated, "-" for what the listing does not say. Names are
// the bytes the server sent, with nothing a terminal would take for a command.
QByteArray LongListingLine(const CFtpListEntry& entry)
{
    const QString time = FtpEntryTimeText(entry);
    QByteArray line = entry.m_bFolder ? "d\t" : entry.m_bLink ? "l\t" : "-\t";
    line += (entry.m_nSize < 0 ? QByteArray("-") : QByteArray::number(entry.m_nSize)) + '\t';
    line += (time.isEmpty() ? QByteArray("-") : time.toLatin1()) + '\t' + TerminalName(ToBytes(entry.m_strName));
    if (entry.m_bLink)
        line += '\t' + TerminalName(ToBytes(entry.m_strLinkTarget));
    return line + '\n';
}

int List(CFtpClient& client, const QString& path, bool details)
{
    QString folder = RemoteRelative(path);
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    QList<CFtpListEntry> entries;
    if (!client.ListEntries(folder, entries))
        return Fail(client.m_strReply);
    for (const CFtpListEntry& entry : entries) {
        if (details)
            std::fputs(LongListingLine(entry).constData(), stdout);
        else
            std::printf("%s\t%s\n", entry.m_bFolder ? "d" : "-", TerminalName(ToBytes(entry.m_strName)).constData());
    }
    std::fflush(stdout);
    if (details && client.m_nUnreadListingLines > 0)
        std::fprintf(stderr, "tessaro-cli: %d listing lines not understood, left out\n", client.m_nUnreadListingLines);
    return EXIT_OK;
}

// The first line of a password file, without its line end.
bool ReadPasswordFile(const QString& path, QString& password, QString& problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("cannot read the password file %1").arg(path);
        return false;
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther))
        std::fprintf(stderr, "tessaro-cli: warning: other users can read %s\n", qPrintable(TerminalText(path)));
    password = FromBytes(line);
    return true;
}

// The password from the first source that has one: --password or
// --password-file, the environment, the profile, the terminal. Passwords go
// out with the bytes they were given in, like remote names.
bool FindPassword(const QString& option, const QString& file, const QString& profile, const QString& who,
                  QString& password, QString& problem)
{
    if (!option.isNull()) {
        password = FromBytes(option.toLocal8Bit());
        return true;
    }
    if (!file.isNull())
        return ReadPasswordFile(file, password, problem);
    const QByteArray environment = qgetenv(kPasswordVariable);
    if (!environment.isEmpty() || !profile.isEmpty()) {
        password = environment.isEmpty() ? profile : FromBytes(environment);
        return true;
    }
    QByteArray typed;
    if (ReadPasswordFromTerminal(QStringLiteral("Password for %1: ").arg(TerminalText(who)), typed))
        password = FromBytes(typed);
    return true;
}

// Seconds of --timeout as milliseconds; false for anything outside 1 ms to a day.
bool TimeoutMs(const QString& text, int& ms)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0.001 || seconds > 86400)
        return false;
    ms = static_cast<int>(std::lround(seconds * 1000));
    return true;
}

int Run(CFtpClient& client, const QString& command, const QStringList& args, const CCliOptions& options)
{
    if (command == QLatin1String("ls")) {
        QStringList path = args;
        const bool details = TakeFlag(path, QStringLiteral("-l"));
        return List(client, path.value(0), details);
    }
    QString local;
    if (command == QLatin1String("get")) {
        if (!CliLocalPath(args[1], options, local))
            return EXIT_FAILED;
        if (!client.TransferFile(RemoteAbsolute(args[0]), local, client.m_bPassive, true))
            return Fail(client.m_strReply);
        return EXIT_OK;
    }
    if (command == QLatin1String("put")) {
        if (!CliLocalPath(args[0], options, local))
            return EXIT_FAILED;
        if (!client.TransferFile(RemoteAbsolute(args[1]), local, client.m_bPassive, false))
            return Fail(client.m_strReply);
        return EXIT_OK;
    }
    bool ok = false;
    if (command == QLatin1String("mkdir"))
        ok = client.MakeRemoteFolder(RemoteRelative(args[0]), RemoteRelative(args[1]));
    else if (command == QLatin1String("rm"))
        ok = client.DeleteRemoteFile(RemoteRelative(args[0]));
    else if (command == QLatin1String("rmdir"))
        ok = client.RemoveRemoteFolder(RemoteRelative(args[0]));
    else if (command == QLatin1String("rename"))
        ok = client.RenameRemote(RemoteRelative(args[0]), RemoteRelative(args[1]));
    else if (command == QLatin1String("upload-folder")) {
        if (!CliLocalPath(args[0], options, local))
            return EXIT_FAILED;
        if (!QFileInfo(local).isDir())
            return Fail(QStringLiteral("no local folder %1").arg(args[0]));
        ok = client.UploadFolder(local, RemoteRelative(args[1]), RemoteRelative(args[2]));
        if (!ok)
            return Fail(QStringLiteral("the folder was not copied completely (%1)").arg(client.m_strReply.trimmed()));
        return EXIT_OK;
    } else if (command == QLatin1String("download-folder")) {
        if (!CliLocalPath(args[1], options, local))
            return EXIT_FAILED;
        ok = client.DownloadFolder(RemoteRelative(args[0]), local, args[2]);
        if (!ok)
            return Fail(QStringLiteral("the folder was not copied completely (%1)").arg(client.m_strReply.trimmed()));
        return EXIT_OK;
    }
    return ok ? EXIT_OK : Fail(client.m_strReply);
}

} // namespace

void PrintFtpUsage()
{
    std::fprintf(stderr,
                 "FTP commands (server, user and password from the profile section \"FTP\" unless given):\n"
                 "  ftp [--server HOST[:PORT]] [--user NAME] [--password-file FILE] [--passive] [--timeout SECONDS]\n"
                 "      [--tls auto|require|off] [--trust-fingerprint SHA256] COMMAND\n"
                 "    ls [PATH]                          one line per entry: d or -, a tab, the name\n"
                 "    ls -l [PATH]                       d, - or l, size, time (ISO 8601), name and a link's\n"
                 "                                       target, tab-separated; - where the server does not say\n"
                 "    get REMOTE LOCAL                   download a file\n"
                 "    put LOCAL REMOTE                   upload a file\n"
                 "    mkdir PARENT NAME                  make a remote folder\n"
                 "    rm PATH | rmdir PATH               delete a remote file | folder\n"
                 "    rename OLD NEW                     rename a remote file or folder\n"
                 "    upload-folder LOCAL REMOTE_PARENT NAME\n"
                 "    download-folder REMOTE LOCAL_PARENT NAME\n"
                 "  Password: the first line of --password-file FILE, else the environment variable\n"
                 "  TESSARO_FTP_PASSWORD, else the profile, else it is asked for on the terminal without\n"
                 "  echo. Prefer the profile (only its owner can read it) or a private password file.\n"
                 "  --password TEXT is still accepted but avoid it: every user of the machine can read it\n"
                 "  in the process list, and it stays in the shell's history.\n"
                 "  --passive uses passive mode (EPSV, then PASV) for transfers and listings; when a mode\n"
                 "  cannot connect, the other is tried once. --timeout bounds every wait (default 30 s).\n"
                 "  Names and server texts are printed with control characters as \\xNN (ls: \\ as \\\\).\n"
                 "  --yes overwrites existing remote files and goes on after a failed download.\n"
                 "  --tls: auto uses TLS when the server offers it, require never logs on without it, off\n"
                 "  never uses it (default: the profile's FTP Encryption, else auto). A certificate that\n"
                 "  the system does not trust is asked about on the terminal and then remembered in the\n"
                 "  profile; without a terminal the logon fails and shows its fingerprint, which\n"
                 "  --trust-fingerprint then accepts for this run (64 hex digits, \":\" between pairs allowed).\n");
}

int RunFtpCommand(const QStringList& arguments, const CCliOptions& options)
{
    QStringList args = arguments;
    QString server, user, passwordOption, passwordFile, timeout, tls, fingerprint;
    bool haveUser = args.contains(QLatin1String("--user"));
    if (!TakeOption(args, QStringLiteral("--server"), server) || !TakeOption(args, QStringLiteral("--user"), user)
        || !TakeOption(args, QStringLiteral("--password"), passwordOption)
        || !TakeOption(args, QStringLiteral("--password-file"), passwordFile)
        || !TakeOption(args, QStringLiteral("--timeout"), timeout) || !TakeOption(args, QStringLiteral("--tls"), tls)
        || !TakeOption(args, QStringLiteral("--trust-fingerprint"), fingerprint))
        return EXIT_USAGE;
    if (!passwordOption.isNull() && !passwordFile.isNull())
        return Usage(QStringLiteral("give either --password or --password-file"));
    int timeoutMs = CFtpClient::kDefaultTimeoutMs;
    if (!timeout.isNull() && !TimeoutMs(timeout, timeoutMs))
        return Usage(QStringLiteral("--timeout needs a number of seconds from 0.001 to 86400"));
    const bool passive = TakeFlag(args, QStringLiteral("--passive"));
    const bool yes = options.m_bYes || TakeFlag(args, QStringLiteral("--yes"));
    if (args.isEmpty())
        return Usage(QStringLiteral("ftp needs a command"));

    const QString command = args.takeFirst();
    const CFtpCommandForm* form = nullptr;
    for (const CFtpCommandForm& candidate : kCommands) {
        if (command == QLatin1String(candidate.m_szName))
            form = &candidate;
    }
    if (!form)
        return Usage(QStringLiteral("unknown ftp command \"%1\"").arg(command));
    const int flags = command == QLatin1String("ls") && args.contains(QLatin1String("-l")) ? 1 : 0;
    if (args.size() < form->m_nArguments || args.size() > form->m_nArguments + form->m_nOptional + flags)
        return Usage(QStringLiteral("wrong number of arguments for ftp %1").arg(command));
    for (const QString& arg : args) {
        if (arg.startsWith(QLatin1String("--")))
            return Usage(QStringLiteral("unknown option %1").arg(arg));
    }

    CFtpSettings settings;
    settings.Load();
    EFtpEncryption encryption = settings.m_eEncryption;
    if (!tls.isNull() && !ParseFtpEncryption(tls, encryption))
        return Usage(QStringLiteral("--tls takes auto, require or off"));
    const QString trusted = NormalizeFtpFingerprint(fingerprint);
    if (!fingerprint.isNull() && trusted.isEmpty())
        return Usage(QStringLiteral("--trust-fingerprint takes a SHA-256 fingerprint: 64 hex digits"));
    if (server.isEmpty())
        server = settings.m_strServerName;
    if (!haveUser)
        user = settings.m_strUserName;
    QString host;
    int port = 21;
    if (server.isEmpty() || !SplitFtpServerName(server, host, port))
        return Usage(QStringLiteral("no valid FTP server (--server HOST[:PORT] or the profile's FTP ServerName)"));
    QString password, problem;
    if (!FindPassword(passwordOption, passwordFile, settings.m_strPassword, user + QLatin1Char('@') + server, password,
                      problem))
        return Usage(problem);

    // Certificates are asked about only where someone can answer.
    const bool terminal = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
    CConsolePrompt prompt;
    prompt.m_bYes = yes;
    prompt.m_bAskOnTerminal = terminal;
    CConsoleProgress progress;
    CScopedServices services(nullptr, &prompt, &progress);

    CFtpClient client;
    client.m_bPassive = passive;
    client.m_nTimeoutMs = timeoutMs;
    client.m_eEncryption = encryption;
    client.m_strTrustedFingerprint = trusted;
    client.m_bMayAskTrust = terminal;
    const QString serverKey = FtpServerKey(host, port);
    client.m_strRememberedFingerprint = CFtpSettings::RememberedFingerprint(serverKey);
    const bool loggedOn = client.LogOn(host, port, user, password, QString(), QString(), QString(), QString(), 0, 0);
    if (!client.m_strAcceptedFingerprint.isEmpty())
        CFtpSettings::RememberFingerprint(serverKey, client.m_strAcceptedFingerprint);
    if (!loggedOn)
        return Fail(client.m_strReply);
    const int result = Run(client, command, args, options);
    client.LogOff();
    return result;
}
