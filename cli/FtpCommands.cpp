// tessaro-cli ftp ...: the explorer's FTP operations from the command line.
#include "CliCommands.h"
#include "ConsoleProgress.h"
#include "ConsolePrompt.h"
#include "TerminalPassword.h"
#include "TerminalText.h"

#include "ftp/FtpClient.h"
#include "ftp/FtpListing.h"
#include "ftp/FtpProtocol.h"
#include "ftp/FtpSession.h"
#include "ftp/FtpSettings.h"
#include "ftp/RemotePath.h"
#include "ftp/SftpProtocol.h"
#include "platform/Bytes.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstdio>
#include <functional>

#include <unistd.h>

namespace {

struct CFtpCommandForm
{
    const char* m_szName;
    int m_nArguments; // required arguments
    int m_nOptional;  // further optional arguments
    int m_nLocal;     // the argument that names a local path, -1 for none
};

const char* const kPasswordVariable = "TESSARO_FTP_PASSWORD";

const CFtpCommandForm kCommands[] = {
    {"ls", 0, 1, -1},     {"get", 2, 0, 1},           {"put", 2, 0, 0},
    {"mkdir", 2, 0, -1},  {"rm", 1, 0, -1},           {"rmdir", 1, 0, -1},
    {"rename", 2, 0, -1}, {"upload-folder", 3, 0, 0}, {"download-folder", 3, 0, 1},
};

int Fail(const QString& message)
{
    return CliFail(message);
}

int Usage(const QString& message)
{
    return CliUsage(message, &PrintFtpUsage);
}

// A remote path as typed: from the root, with or without a leading "/".
// Remote names travel as bytes, one character per byte: a name typed on
// the terminal goes out with the terminal's own bytes.
CRemotePath RemotePath(const QString& typed)
{
    return CRemotePath::FromServer(FromBytes(typed.toLocal8Bit()));
}

QString RemoteRelative(const QString& typed)
{
    return RemotePath(typed).Relative();
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

int List(CFtpSession& session, const QString& path, bool details)
{
    const QString folder = RemoteRelative(path);
    QList<CFtpListEntry> entries;
    if (!session.Run([&](CFtpClient& client) { return client.ListEntries(folder, entries); }))
        return Fail(session.Client().m_strReply);
    for (const CFtpListEntry& entry : entries) {
        if (details)
            std::fputs(LongListingLine(entry).constData(), stdout);
        else
            std::printf("%s\t%s\n", entry.m_bFolder ? "d" : "-", TerminalName(ToBytes(entry.m_strName)).constData());
    }
    std::fflush(stdout);
    const int unread = session.Client().m_nUnreadListingLines;
    if (details && unread > 0)
        std::fprintf(stderr, "tessaro-cli: %d listing lines not understood, left out\n", unread);
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

bool IsAnonymousUser(const QString& user)
{
    return user.compare(QLatin1String("anonymous"), Qt::CaseInsensitive) == 0
        || user.compare(QLatin1String("ftp"), Qt::CaseInsensitive) == 0;
}

// The password from the first source that has one: --password or
// --password-file, the environment, the profile, the terminal. Passwords go
// out with the bytes they were given in, like remote names. The terminal is
// not asked when askTerminal is false. Without any, only
// an anonymous logon goes ahead: any other would just be refused by the server.
bool FindPassword(const QString& option, const QString& file, const QString& profile, const QString& user,
                  const QString& who, bool askTerminal, QString& password, QString& problem)
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
    if (askTerminal && ReadPasswordFromTerminal(QStringLiteral("Password for %1: ").arg(TerminalText(who)), typed)) {
        password = FromBytes(typed);
        return true;
    }
    if (IsAnonymousUser(user))
        return true;
    problem = LoadString(IDS_CLI_NO_PASSWORD);
    return false;
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

// The operation of a command other than ls on the client; the local path of
// get, put and the folder copies is checked before.
std::function<bool(CFtpClient&)> Operation(const QString& command, const QStringList& args, const QString& local)
{
    if (command == QLatin1String("get"))
        return [&](CFtpClient& client) {
            return client.TransferFile(RemotePath(args[0]).Absolute(), local, client.m_bPassive, true);
        };
    if (command == QLatin1String("put"))
        return [&](CFtpClient& client) {
            return client.TransferFile(RemotePath(args[1]).Absolute(), local, client.m_bPassive, false);
        };
    if (command == QLatin1String("mkdir"))
        return [&](CFtpClient& client) {
            return client.MakeRemoteFolder(RemoteRelative(args[0]), RemoteRelative(args[1]));
        };
    if (command == QLatin1String("rm"))
        return [&](CFtpClient& client) { return client.DeleteRemoteFile(RemoteRelative(args[0])); };
    if (command == QLatin1String("rmdir"))
        return [&](CFtpClient& client) { return client.RemoveRemoteFolder(RemoteRelative(args[0])); };
    if (command == QLatin1String("rename"))
        return
            [&](CFtpClient& client) { return client.RenameRemote(RemoteRelative(args[0]), RemoteRelative(args[1])); };
    if (command == QLatin1String("upload-folder"))
        return [&](CFtpClient& client) {
            return client.UploadFolder(local, RemoteRelative(args[1]), RemoteRelative(args[2]));
        };
    return [&](CFtpClient& client) { return client.DownloadFolder(RemoteRelative(args[0]), local, args[2]); };
}

// A folder copy that went through every folder but left files out ends with
// EXIT_INCOMPLETE, so that a script can tell; one that stopped on the way fails.
int FolderCopyResult(bool copied, const CFtpClient& client)
{
    if (client.m_nCopySkipped > 0)
        CliNote(LoadString(IDS_CLI_FILES_SKIPPED).arg(client.m_nCopySkipped));
    if (!copied)
        CliNote(LoadString(IDS_CLI_FOLDER_INCOMPLETE).arg(client.m_strReply.trimmed()));
    if (copied && client.m_nCopySkipped == 0)
        return EXIT_OK;
    return client.m_bCopyReachedEnd ? EXIT_INCOMPLETE : EXIT_FAILED;
}

int Run(CFtpSession& session, const CFtpCommandForm& form, const QStringList& args, const CCliOptions& options)
{
    const QString command = QLatin1String(form.m_szName);
    if (command == QLatin1String("ls")) {
        QStringList path = args;
        const bool details = TakeFlag(path, QStringLiteral("-l"));
        return List(session, path.value(0), details);
    }
    QString local;
    if (form.m_nLocal >= 0 && !CliLocalPath(args[form.m_nLocal], options, local))
        return EXIT_FAILED;
    const bool folderCopy = command.endsWith(QLatin1String("-folder"));
    if (command == QLatin1String("upload-folder") && !QFileInfo(local).isDir())
        return Fail(QStringLiteral("no local folder %1").arg(args[0]));
    // A folder copy is not repeated after a lost connection: it would go
    // over, and ask about, every file again. A file transfer resumes or
    // starts over by itself.
    const bool transfer = command == QLatin1String("get") || command == QLatin1String("put");
    const bool done = session.Run(Operation(command, args, local),
                                  folderCopy || transfer ? CFtpSession::NEVER_REPEAT : CFtpSession::REPEAT_IF_LOST);
    // A signal cancelled the command: CliEnd tells so.
    if (CConsoleProgress::Interrupt() != 0)
        return EXIT_FAILED;
    if (folderCopy)
        return FolderCopyResult(done, session.Client());
    return done ? EXIT_OK : Fail(session.Client().m_strReply);
}

} // namespace

void PrintFtpUsage()
{
    std::fprintf(
        CliUsageStream(),
        "FTP and SFTP commands (server, protocol, user and password from the profile section \"FTP\"\n"
        "unless given):\n"
        "  ftp [--server [sftp://]HOST[:PORT]] [--user NAME] [--password-file FILE] [--passive] [--timeout SECONDS]\n"
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
        "                                       copy a folder tree; exit status 3 when files were left\n"
        "                                       out: existing ones skipped (no --yes) or failed ones\n"
        "  Password: the first line of --password-file FILE, else the environment variable\n"
        "  TESSARO_FTP_PASSWORD, else the profile, else it is asked for on the terminal without\n"
        "  echo. Prefer the profile (only its owner can read it) or a private password file.\n"
        "  Without any, only the users anonymous and ftp log on (with an empty password).\n"
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
        "  --trust-fingerprint then accepts for this run (64 hex digits, \":\" between pairs allowed).\n"
        "  --server sftp://HOST[:PORT] speaks SFTP (port 22 unless named); so does the profile's\n"
        "  Protocol=SFTP for its own server. Paths are then from the folder the server starts in\n"
        "  (usually the user's home). Keys of a running ssh-agent and ~/.ssh/id_ed25519, id_ecdsa\n"
        "  and id_rsa are tried first, then the password (also keyboard-interactive; where there are\n"
        "  keys, the terminal is not asked for one: use the other sources). The host key\n"
        "  is checked against ~/.ssh/known_hosts: a changed key is refused, an unknown one is asked\n"
        "  about on the terminal and then added; without a terminal the logon fails and shows its\n"
        "  SHA256 fingerprint, which --trust-fingerprint SHA256:... accepts for this run.\n"
        "  --passive and --tls do not apply to SFTP.\n");
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
    // The profile's protocol holds for its own server; --server names its own.
    bool sftp = server.isEmpty() && settings.m_bSftp;
    if (server.isEmpty())
        server = settings.m_strServerName;
    if (!haveUser)
        user = settings.m_strUserName;
    QString host;
    int port = 21;
    if (server.isEmpty() || !SplitServerUrl(server, sftp, host, port))
        return Usage(QStringLiteral("no valid server (--server [sftp://]HOST[:PORT] or the profile's FTP ServerName)"));
    const QString trusted = sftp ? NormalizeSftpFingerprint(fingerprint) : NormalizeFtpFingerprint(fingerprint);
    if (!fingerprint.isNull() && trusted.isEmpty())
        return Usage(sftp ? QStringLiteral("--trust-fingerprint takes a host key fingerprint: SHA256: and 43 base64 "
                                           "characters, as ssh-keygen -l shows it")
                          : QStringLiteral("--trust-fingerprint takes a SHA-256 fingerprint: 64 hex digits"));
    // ssh logs on as the local user unless told otherwise.
    if (sftp && user.isEmpty())
        user = qEnvironmentVariable("USER");
    QString password, problem;
    // Over SFTP the keys may do without any password: where there are keys
    // (an agent, a key file), the terminal is not asked for one first.
    bool keys = sftp && !qEnvironmentVariableIsEmpty("SSH_AUTH_SOCK");
    for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"})
        keys = keys || (sftp && QFileInfo::exists(QDir::homePath() + QStringLiteral("/.ssh/") + QLatin1String(name)));
    if (!FindPassword(passwordOption, passwordFile, settings.m_strPassword, user, user + QLatin1Char('@') + server,
                      !keys, password, problem)
        && !(sftp && problem == LoadString(IDS_CLI_NO_PASSWORD))) {
        CliNote(problem);
        return EXIT_USAGE;
    }

    // Certificates are asked about only where someone can answer.
    const bool terminal = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
    CConsolePrompt prompt;
    prompt.m_bYes = yes;
    prompt.m_bAskOnTerminal = terminal;
    CConsoleProgress progress;
    CScopedServices services(nullptr, &prompt, &progress);

    CFtpSession session;
    CFtpSession::CLogon logon;
    logon.m_strHost = host;
    logon.m_nPort = port;
    logon.m_strUser = user;
    logon.m_strPassword = password;
    logon.m_eEncryption = encryption;
    logon.m_strTrustedFingerprint = trusted;
    logon.m_bMayAskTrust = terminal;
    logon.m_bSftp = sftp;
    session.SetLogon(logon);
    CFtpClient& client = session.Client();
    client.m_eCopyMode = CFtpClient::COPY_FAST;
    client.m_bPassive = passive;
    client.m_nTimeoutMs = timeoutMs;
    CliCatchInterrupts();
    int result = EXIT_FAILED;
    if (!session.EnsureLoggedOn())
        result = Fail(client.m_strReply);
    else if (CConsoleProgress::Interrupt() == 0)
        result = Run(session, *form, args, options);
    session.LogOff();
    return CliEnd(result);
}
