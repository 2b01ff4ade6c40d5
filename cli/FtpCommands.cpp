// tessaro-cli ftp ...: the explorer's FTP operations from the command line.
#include "CliCommands.h"
#include "ConsoleProgress.h"
#include "ConsolePrompt.h"

#include "ftp/FtpClient.h"
#include "ftp/FtpListing.h"
#include "ftp/FtpProtocol.h"
#include "ftp/FtpSettings.h"
#include "platform/Bytes.h"
#include "platform/Services.h"

#include <QFileInfo>

#include <cstdio>

namespace {

struct CFtpCommandForm
{
    const char* m_szName;
    int m_nArguments; // required arguments
    int m_nOptional;  // further optional arguments
};

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

int List(CFtpClient& client, const QString& path)
{
    QString folder = RemoteRelative(path);
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (HasFtpLineBreak(folder))
        return Fail(QStringLiteral("the path holds a line break"));
    client.Command(QStringLiteral("CWD /") + folder);
    if (!client.m_strReply.startsWith(QLatin1String("250")))
        return Fail(client.m_strReply);
    QByteArray listing;
    if (client.ListFolder(listing) == 0 && client.m_nReplyClass != 2)
        return Fail(client.m_strReply);
    for (const CFtpListEntry& entry : ParseFtpListing(listing)) {
        // The name's bytes as the server sent them.
        std::printf("%s\t%s\n", entry.m_bFolder ? "d" : "-", ToBytes(entry.m_strName).constData());
    }
    std::fflush(stdout);
    return EXIT_OK;
}

int Run(CFtpClient& client, const QString& command, const QStringList& args, const CCliOptions& options)
{
    if (command == QLatin1String("ls"))
        return List(client, args.value(0));
    QString local;
    if (command == QLatin1String("get")) {
        if (!CliLocalPath(args[1], options, local))
            return EXIT_FAILED;
        if (!client.TransferFile(RemoteAbsolute(args[0]), local, client.m_bPassiveCopies, true))
            return Fail(client.m_strReply);
        return EXIT_OK;
    }
    if (command == QLatin1String("put")) {
        if (!CliLocalPath(args[0], options, local))
            return EXIT_FAILED;
        if (!client.TransferFile(RemoteAbsolute(args[1]), local, client.m_bPassiveCopies, false))
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
    std::fprintf(
        stderr,
        "FTP commands (server, user and password from the profile section \"FTP\" unless given):\n"
        "  ftp [--server HOST[:PORT]] [--user NAME] [--password TEXT] [--passive] [--timeout SECONDS] COMMAND\n"
        "    ls [PATH]                          one line per entry: d or -, a tab, the name\n"
        "    get REMOTE LOCAL                   download a file\n"
        "    put LOCAL REMOTE                   upload a file\n"
        "    mkdir PARENT NAME                  make a remote folder\n"
        "    rm PATH | rmdir PATH               delete a remote file | folder\n"
        "    rename OLD NEW                     rename a remote file or folder\n"
        "    upload-folder LOCAL REMOTE_PARENT NAME\n"
        "    download-folder REMOTE LOCAL_PARENT NAME\n"
        "  --yes overwrites existing remote files and goes on after a failed download.\n");
}

int RunFtpCommand(const QStringList& arguments, const CCliOptions& options)
{
    QStringList args = arguments;
    QString server, user, password, timeout;
    bool haveUser = args.contains(QLatin1String("--user"));
    bool havePassword = args.contains(QLatin1String("--password"));
    if (!TakeOption(args, QStringLiteral("--server"), server) || !TakeOption(args, QStringLiteral("--user"), user)
        || !TakeOption(args, QStringLiteral("--password"), password)
        || !TakeOption(args, QStringLiteral("--timeout"), timeout))
        return EXIT_USAGE;
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
    if (args.size() < form->m_nArguments || args.size() > form->m_nArguments + form->m_nOptional)
        return Usage(QStringLiteral("wrong number of arguments for ftp %1").arg(command));
    for (const QString& arg : args) {
        if (arg.startsWith(QLatin1String("--")))
            return Usage(QStringLiteral("unknown option %1").arg(arg));
    }

    CFtpSettings settings;
    settings.Load();
    if (server.isEmpty())
        server = settings.m_strServerName;
    if (!haveUser)
        user = settings.m_strUserName;
    if (!havePassword)
        password = settings.m_strPassword;
    QString host;
    int port = 21;
    if (server.isEmpty() || !SplitFtpServerName(server, host, port))
        return Usage(QStringLiteral("no valid FTP server (--server HOST[:PORT] or the profile's FTP ServerName)"));

    CConsolePrompt prompt;
    prompt.m_bYes = yes;
    CConsoleProgress progress;
    CScopedServices services(nullptr, &prompt, &progress);

    CFtpClient client;
    client.m_bPassiveCopies = passive;
    if (!timeout.isEmpty()) {
        bool ok = false;
        const double seconds = timeout.toDouble(&ok);
        if (!ok || seconds <= 0)
            return Usage(QStringLiteral("--timeout needs a number of seconds"));
        client.m_nTimeoutMs = static_cast<int>(seconds * 1000);
    }
    if (!client.LogOn(host, port, user, password, QString(), QString(), QString(), QString(), 0, 0))
        return Fail(client.m_strReply);
    const int result = Run(client, command, args, options);
    client.LogOff();
    return result;
}
