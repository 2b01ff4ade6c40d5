#include "StringTable.h"

#include <QHash>

#include <iterator>

namespace {

struct CStringEntry
{
    int m_nId;
    const char* m_pszText;
};

const CStringEntry kEntries[] = {
    {IDS_APP_WINDOW_TITLE, "Marvo Tessaro"},
    {IDS_NO_SOCKETS, "Could not initialize Windows Sockets!"},
    {IDS_PORT_ROOT, "Port1:"},
    {IDS_FTP_ROOT, "FTP"},
    {IDS_MY_COMPUTER, "MyComputer"},
    {IDS_NO_INSTRUMENTS, "no instruments connected"},
    {IDS_NOT_CONNECTED, "not connected"},
    {IDS_PLACEHOLDER, "..."},
    {IDS_PASTE_INTO_ITSELF, "A folder can not be pasted into itself or into one of its own subfolders."},
    {IDS_BAD_FTP_SERVER, "The FTP server name must be a host or host:port, with a port from 1 to 65535."},
    {IDS_FTP_NAME_NOT_SENDABLE,
     "The name \"%1\" can not be sent to the FTP server: it holds a line break or characters beyond 8 bits."},
    {IDS_NOT_PLAIN_NAME,
     "The name \"%1\" can not be used: a name is not \".\" or \"..\" and holds no \"/\" or \"\\\"."},
    {IDS_NAME_HAS_BACKSLASH,
     "\"%1\" holds \"\\\", which the explorer reads as a folder separator: it can be shown, but not used."},
    {IDS_STATUS_WAKING, "Waking the instrument..."},
    {IDS_STATUS_LISTING_JOBS, "Listing jobs..."},
    {IDS_STATUS_LISTING_FORMATS, "Listing formats..."},
    {IDS_STATUS_LISTING_CODES, "Listing code lists..."},
    {IDS_STATUS_INSTRUMENT, "Connected to %1"},
    {IDS_STATUS_LOGGING_ON, "Logging on to %1..."},
    {IDS_STATUS_OPENING_FOLDER, "Opening %1..."},
    {IDS_STATUS_ERASING, "Erasing on the instrument..."},
    {IDS_STATUS_INSTRUMENT_STORING, "Waiting for the instrument..."},
    {IDS_STATUS_COUNTING, "Counting what %1 holds..."},
    {IDS_CONFIRM_FOLDER_DELETE, "Delete the folder \"%1\" with %2 files and %3 folders in it from the server?"},
    {IDS_NODE_SIZE, "%1 bytes"},
    {IDS_FTP_CANCELLED, "Cancelled"},
    {IDS_JOBS, "Jobs"},
    {IDS_JOB, "Job"},
    {IDS_OVERWRITE_FILE, "Overvrite existing file ?"},
    {IDS_WARNING, "Warning"},
    {IDS_DELETE_FIXPOINTS, "Delete Fixpoints:"},
    {IDS_DATA_LOST_JOB, "Data will be definitely lost! - Continue anyway?"},
    {IDS_DELETE_MEASUREMENTS, "Delete Measurements:"},
    {IDS_DELETE_CODELIST, "Delete Codelist"},
    {IDS_DATA_LOST, "Data will be definitely lost! - Continue anyway?"},
    {IDS_DELETE_FORMAT, "Delete Format"},
    {IDS_DELETE_JOB, "Delete Job"},
    {IDS_COMMUNICATION_ERROR, "Communication error"},
    {IDS_CANNOT_OPEN_FILE, "Can not open file"},
    {IDS_NEW_JOB_NAME, "New job name"},
    {IDS_ENTER_NEW_NAME, "Enter new name"},
    {IDS_NEW_CODELIST_NAME, "New codelist name"},
    {IDS_NEW_FOLDER, "NewFolder"},
    {IDS_CANNOT_CREATE_FOLDER, "Can not create folder"},
    {IDS_CANNOT_DELETE_FILE, "Can not delete file"},
    {IDS_CANNOT_DELETE_FOLDER, "Can not delete folder"},
    {IDS_NO_CONNECTIONS, "Can not find avaiable connections"},
    {IDS_PORT_IN_USE, "Port already in use. Try to disconnect and connect again ?"},
    {IDS_CONNECTION_ERROR, "Connection error"},
    {IDS_CONNECTION_OPENED, "Connection was opened successfuly"},
    {IDS_DUPLICATE_NAME, "Duplicate name"},
    {IDS_LOGON_FAILED, "Logon failed"},
    {IDS_CANNOT_OPEN_LOCAL_FILE, "Unable to open file to local maschine"},
    {IDS_NETWORK_ERROR, "Network error"},
    {IDS_FILE_ERROR, "File error"},
    {IDS_CANCEL, "Cancel"},
    {IDS_COM_INVALID_HANDLE, "COM Invalid handle"},
    {IDS_ERROR, "Error"},
    {IDS_CANNOT_OPEN_COM, "Can not open COM port"},
    {IDS_COMMUNICATION_PROBLEM, "Communication problem"},
    {IDS_ENTER_FOLDER_NAME, "Enter folder name"},
    {IDS_FIX_POINTS, "Fix Points"},
    {IDS_FIX_BLOCKS, "Fix blocks"},
    {IDS_MEASUREMENTS, "Measurements"},
    {IDS_MEASUREMENTS_BLOCKS, "Measurements blocks"},
    {IDS_FORMATS, "Formats"},
    {IDS_CODE, "Code"},
    {IDS_CODES, "Codes"},
    {IDS_NO_RESPONSE, "No response from instrument"},
    {IDS_CANNOT_SELECT_FORMAT, "Can not select this format"},
    {IDS_WRONG_FILE_FORMAT, "Wrong file format"},
    {IDS_PROBLEM_SETTING_NAME, "Problem with setting name"},
    {IDS_EMPTY, "empty"},
    {IDS_JOB_HAS_FIXPOINTS, "Job already contains fixpoints"},
    {IDS_OVERWRITE_FIXPOINTS, "Do you want to overwrite existing fixpoints ?"},

    {IDS_BYTES_COUNT, "%1 bytes "},
    {IDS_ROOT_NOT_FOLDER, "The root folder \"%1\" does not exist or is not a folder."},
    {IDS_PATH_LEAVES_ROOT, "The path \"%1\" leads out of the root folder."},

    {IDS_FTP_NO_SOCKET, "Unable to create socket 1"},
    {IDS_FTP_CANNOT_CONNECT, "Unable to connect to the server"},
    {IDS_FTP_NO_STREAM, "Unable to create socket 2"},
    {IDS_FTP_NOTHING_READ, "can not execute Read from archive"},
    {IDS_FTP_NO_SOCKET_NAME, "Can not get socket name"},
    {IDS_FTP_SOCKET_ERROR, "socket error"},
    {IDS_FTP_REFUSED_LINE_BREAK, "Refused: a command argument holds a line break (CR or LF)"},
    {IDS_FTP_REFUSED_LONG_LINE, "Refused: the command line is longer than %1 characters"},
    {IDS_FTP_REFUSED_SERVER_NAME, "Refused the file name \"%1\" from the server: it is not a plain file name"},
    {IDS_FTP_REFUSED_LOCAL_NAME,
     "Refused the local name \"%1\": on the wire it would hold a line break, \"/\" or \"\\\""},
    {IDS_FTP_REPLY_TIMEOUT, "No complete reply from the server within %1 s; the connection was closed"},
    {IDS_FTP_REPLY_TOO_LONG, "The server's reply is too long; the connection was closed"},
    {IDS_FTP_DATA_TIMEOUT, "The data connection stood still for %1 s"},
    {IDS_FTP_NO_DATA_CONNECTION, "Unable to open the data connection"},
    {IDS_FTP_DATA_BROKEN, "The data connection broke off before the end of the transfer"},
    {IDS_FTP_LISTING_TOO_LARGE, "The folder listing is larger than %1 MiB"},
    {IDS_FTP_FOLDER_NOT_READ, "Can not read the remote folder \"%1\": %2"},
    {IDS_FTP_TREE_TOO_DEEP, "The remote folder tree is deeper than %1 levels"},
    {IDS_FTP_TREE_TOO_LARGE, "The remote folder tree holds more than %1 folders"},

    {IDS_FTP_TLS_NOT_OFFERED,
     "The server does not offer TLS, which the FTP settings require; the password was not sent. The server "
     "answered: %1"},
    {IDS_FTP_TLS_FAILED, "The encrypted connection to the server could not be set up: %1"},
    {IDS_FTP_TLS_INJECTED,
     "The server sent data before the encrypted connection was set up; the connection was closed"},
    {IDS_FTP_PROT_REFUSED, "The server does not encrypt the data connections, which the FTP settings require: %1"},
    {IDS_FTP_DATA_TLS_FAILED, "The encrypted data connection could not be set up: %1"},
    {IDS_FTP_DATA_OTHER_CERT, "The data connection presented another certificate than the server's; it was closed"},
    {IDS_FTP_CERT_CAPTION, "Server certificate"},
    {IDS_FTP_CERT_DETAILS, "Subject: %1\nIssuer: %2\nValid from %3 to %4\nSHA-256 fingerprint: %5"},
    {IDS_FTP_CERT_ASK_NEW,
     "The certificate of the server %1 cannot be verified (%2).\n\n%3\n\nTrust this certificate and connect?"},
    {IDS_FTP_CERT_ASK_CHANGED,
     "WARNING: the certificate of the server %1 is not the one trusted before. Someone may be intercepting the "
     "connection.\n\nTrusted before: %2\n\nNow presented (%3):\n%4\n\nTrust the new certificate and "
     "connect?"},
    {IDS_FTP_CERT_REFUSED,
     "The certificate of the server %1 was not trusted; neither name nor password was sent. SHA-256 fingerprint: %2"},
    {IDS_FTP_CERT_CHANGED_REFUSED,
     "The certificate of the server %1 is not the one trusted before and was refused; nothing was sent. "
     "SHA-256 fingerprint now: %2"},
    {IDS_FTP_CERT_NOT_ASKED,
     "The certificate of the server %1 cannot be verified (%2); nothing was sent. SHA-256 fingerprint: %3"},
    {IDS_FTP_NO_CERTIFICATE, "The server presented no certificate; nothing was sent"},
    {IDS_FTP_ENCRYPTION, "Encryption"},
    {IDS_FTP_TLS_AUTO, "Use TLS if the server offers it"},
    {IDS_FTP_TLS_REQUIRE, "Require TLS"},
    {IDS_FTP_TLS_OFF, "Plain FTP only"},
    {IDS_FTP_UPLOAD_KEPT, "The upload is complete as %1 on the server, but it could not take the place of %2: %3"},
    {IDS_FTP_UPLOAD_SIZE, "The server holds %1 bytes of the %2 sent; the upload was removed"},
    {IDS_FTP_DOWNLOAD_SIZE, "The server holds %1 bytes, but %2 arrived; the download was removed"},
    {IDS_FTP_DOWNLOAD_HASH,
     "The %1 checksum of the file on the server differs from that of the file received; the download was removed"},
    {IDS_FTP_UPLOAD_HASH,
     "The %1 checksum of the file on the server differs from that of the file sent; the upload was removed"},

    {IDS_SFTP_TIMEOUT, "The server did not answer within %1 s; the connection was closed"},
    {IDS_SFTP_SESSION_FAILED, "The SSH connection failed: %1"},
    {IDS_SFTP_NO_SFTP, "The server does not offer SFTP: %1"},
    {IDS_SFTP_HOST_KEY_CAPTION, "Server host key"},
    {IDS_SFTP_HOST_KEY_ASK,
     "The host key of the server %1 is not known (it is not in %2).\n\nKey type: %3\nFingerprint: %4\n\nTrust this "
     "host key, remember it and connect?"},
    {IDS_SFTP_HOST_KEY_REFUSED,
     "The host key of the server %1 was not trusted; neither name nor password was sent. %2 fingerprint: %3"},
    {IDS_SFTP_HOST_KEY_NOT_ASKED,
     "The host key of the server %1 is not known; neither name nor password was sent. %2 fingerprint: %3"},
    {IDS_SFTP_HOST_KEY_CHANGED,
     "WARNING: the host key of the server %1 is not the one in %2. Someone may be intercepting the connection, or the "
     "server's key was replaced. The connection was refused; neither name nor password was sent. %3 fingerprint now: "
     "%4"},
    {IDS_SFTP_AUTH_FAILED, "The server accepted neither a key nor the password of the user %1"},
    {IDS_SFTP_REFUSED_PATH,
     "Refused the remote path \"%1\": a name in it is \".\", \"..\" or holds \"/\", \"\\\" or a control "
     "character"},
    {IDS_SFTP_STATUS, "%1: %2"},
    {IDS_SFTP_NO_SUCH_FILE, "no such file or folder"},
    {IDS_SFTP_PERMISSION_DENIED, "permission denied"},
    {IDS_SFTP_OTHER_STATUS, "the server refused it (SFTP status %1)"},
    {IDS_SFTP_TARGET_EXISTS, "\"%1\" exists already and was not replaced"},
    {IDS_SFTP_LISTING_TOO_LONG, "The folder listing holds more than %1 entries"},
    {IDS_FTP_PROTOCOL, "Protocol"},
    {IDS_PROTOCOL_FTP, "FTP"},
    {IDS_PROTOCOL_SFTP, "SFTP"},

    {IDS_LINE_TOO_LONG, "The line is too long for the instrument (%1 characters, at most %2). Nothing was sent."},
    {IDS_NOT_PLAIN_FILE_NAME, "The file name \"%1\" is not a plain file name."},
    {IDS_FILE_LINE_TOO_LONG, "Line %1 of %2 is longer than %3 characters. The file was not sent."},
    {IDS_NAME_NOT_SENDABLE,
     "The name \"%1\" cannot be sent to the instrument: it is empty or holds a character "
     "that reaches it as \"/\", a line break or another control byte."},
    {IDS_COMMAND_TOO_LONG, "The command \"%1\" is too long for the instrument (at most %2 characters)."},
    {IDS_STREAM_LINE_TOO_LONG, "A line of the file is longer than %1 characters. Sending stopped."},
    {IDS_CHARACTER_NOT_SENDABLE,
     "The character U+%1 would reach the instrument as the control byte 0x%2. Nothing was sent."},
    {IDS_LIST_TOO_LONG, "The instrument's list did not end after %1 entries. Listing stopped."},
    {IDS_LIST_TOO_SLOW, "The instrument's list did not end within %1 minutes. Listing stopped."},
    {IDS_RECEIVE_LINE_TOO_LONG,
     "The instrument sent more than %1 bytes without a line end. Receiving stopped; nothing was kept."},
    {IDS_RECEIVE_TOO_SLOW, "The instrument's data did not end within %1 minutes. Receiving stopped; nothing was kept."},

    {IDS_CLI_NO_ANSWER, "the instrument did not answer"},
    {IDS_CLI_IDENTIFY_ERROR, "the instrument reported an error instead of its name"},
    {IDS_CLI_NO_NAME, "the instrument gave no name"},
    {IDS_CLI_LIST_INCOMPLETE, "the %1 list was not read to its end"},
    {IDS_CLI_NO_ITEM, "the instrument has no %1 number %2"},
    {IDS_CLI_JOB, "job"},
    {IDS_CLI_FORMAT, "format"},
    {IDS_CLI_CODE_LIST, "code list"},
    {IDS_CLI_TAKES_NUMBER, "%1 takes what and a number"},
    {IDS_CLI_TAKES_NUMBER_FILE, "%1 takes what, a number and a file"},
    {IDS_CLI_UNKNOWN_ITEM, "%1: unknown item \"%2\""},
    {IDS_CLI_NOT_A_NUMBER, "%1: \"%2\" is not a number"},
    {IDS_CLI_NO_FOLDER, "%1: no folder for \"%2\""},
    {IDS_CLI_NOTHING_ERASED, "nothing was erased"},
    {IDS_CLI_NOTHING_RECEIVED, "nothing was received"},
    {IDS_CLI_NO_FILE, "no file %1"},
    {IDS_CLI_NOT_SENT, "the file was not sent completely"},
    {IDS_CLI_UNKNOWN_COMMAND, "unknown command \"%1\""},
    {IDS_CLI_NO_ARGUMENTS, "%1 takes no arguments"},
    {IDS_CLI_NO_COMMAND, "no command given"},
    {IDS_CLI_UNKNOWN_OPTION, "unknown option %1"},
    {IDS_CLI_DETECT_TAKES, "detect takes no arguments besides --device PATH and --save"},
    {IDS_CLI_INTERRUPTED, "cancelled by %1"},
    {IDS_CLI_NO_PASSWORD, "no password: use --password-file, TESSARO_FTP_PASSWORD or the profile"},
    {IDS_CLI_FILES_SKIPPED, "%1 existing files were skipped (--yes overwrites them)"},
    {IDS_CLI_FOLDER_INCOMPLETE, "the folder was not copied completely (%1)"},
    {IDS_DETECT_BUTTON, "Detect"},
    {IDS_DETECT_TRYING, "Looking for the instrument on %1 at %2"},
    {IDS_DETECT_SETTINGS, "%1 bit/s, %2"},
    {IDS_DETECT_SKIPPED, "%1 skipped: %2"},
    {IDS_DETECT_NO_DEVICES, "No serial device to search."},
    {IDS_DETECT_NOT_FOUND, "No instrument answered on any device at any line setting."},
    {IDS_DETECT_FOUND, "Found \"%1\" on %2 at %3, end mark %4."},
    {IDS_DETECT_FOUND_UNNAMED, "An instrument answered without a name on %1 at %2, end mark %3."},
    {IDS_DETECT_CANCELLED, "The search was cancelled."},
    {IDS_DETECT_WILL_MAP, "OK makes COM%1: stand for %2."},
    {IDS_DETECT_MAPPED, "COM%1: now stands for %2."},
    {IDS_DETECT_MORE_NOTES, "(%1 more)"},
    {IDS_PROFILE_NOT_SAVED, "The settings could not be saved in %1."},
    {IDS_DEVICE_GROUP_REMEDY,
     "Members of the group \"%1\" may open it: add your user to that group, then log in again."},
    {IDS_TRACE_MENU, "Wire &trace"},
    {IDS_TRACE_CANNOT_OPEN, "The trace cannot be written: %1"},
};

const QHash<int, const char*>& Table()
{
    static const QHash<int, const char*> table = [] {
        QHash<int, const char*> hash;
        for (const CStringEntry& entry : kEntries)
            hash.insert(entry.m_nId, entry.m_pszText);
        return hash;
    }();
    return table;
}

QString g_appTitle = QStringLiteral("Tessaro");

} // namespace

QString LoadString(int id)
{
    const auto it = Table().constFind(id);
    return it == Table().constEnd() ? QString() : QString::fromLatin1(*it);
}

int DuplicateStringIds()
{
    return static_cast<int>(std::size(kEntries)) - static_cast<int>(Table().size());
}

QString AppTitle()
{
    return g_appTitle;
}

void SetAppTitle(const QString& title)
{
    g_appTitle = title;
}
