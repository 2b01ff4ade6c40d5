// The SSH side of CSftpClient's logon: the server's host key against
// known_hosts, then the user's keys and password.
#include "SftpClient.h"

#include "SftpProtocol.h"

#include "platform/Bytes.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libssh2.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

enum EKnown { KNOWN_MATCH, KNOWN_CHANGED, KNOWN_NONE };

// Keys of a running agent tried at most; servers end the session after a
// few failed attempts anyway.
constexpr int kMaxAgentKeys = 8;
// How long a running agent may take to list its keys.
constexpr int kAgentAnswerMs = 2000;

// Whether the agent at socketPath answers a request for its keys within
// waitMs. libssh2 talks to the agent with blocking calls, so an agent that
// accepts and never answers would hang the logon: one that does not answer
// this request in time is left out.
bool AgentAnswers(const QByteArray& socketPath, int waitMs)
{
    sockaddr_un address{};
    if (socketPath.isEmpty() || socketPath.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (descriptor < 0)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    // SSH_AGENTC_REQUEST_IDENTITIES: a length of 1, then the type 11.
    static const char kRequest[] = {0, 0, 0, 1, 11};
    bool answered = false;
    if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0
        && ::send(descriptor, kRequest, sizeof(kRequest), MSG_NOSIGNAL) == ssize_t(sizeof(kRequest))) {
        pollfd wait{descriptor, POLLIN, 0};
        char reply[5];
        answered = ::poll(&wait, 1, waitMs) == 1 && ::recv(descriptor, reply, sizeof(reply), 0) > 0;
    }
    ::close(descriptor);
    return answered;
}

// "@revoked host type base64": the key may never be taken for any host.
bool IsRevoked(const QByteArray& line, const QByteArray& key)
{
    const QList<QByteArray> fields = line.simplified().split(' ');
    return fields.size() >= 4 && fields[0] == "@revoked" && QByteArray::fromBase64(fields[3]) == key;
}

// Reads known_hosts line by line: a line libssh2 does not understand (a key
// type or marker it does not know) is left out, never the rest of the file.
EKnown CheckKnownHosts(LIBSSH2_SESSION* session, const QByteArray& text, const QString& host, int port,
                       const QByteArray& key, int type)
{
    LIBSSH2_KNOWNHOSTS* hosts = libssh2_knownhost_init(session);
    if (!hosts)
        return KNOWN_NONE;
    bool revoked = false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        revoked = revoked || IsRevoked(line, key);
        libssh2_knownhost_readline(hosts, line.constData(), static_cast<size_t>(line.size()),
                                   LIBSSH2_KNOWNHOST_FILE_OPENSSH);
    }
    // The name exactly as OpenSSH files it: on another port than 22 a plain
    // "host" line is another server's.
    const QByteArray name = ToBytes(SftpKnownHostName(host, port));
    const int check = libssh2_knownhost_checkp(
        hosts, name.constData(), -1, key.constData(), static_cast<size_t>(key.size()),
        LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW | SftpKnownHostKeyBit(type), nullptr);
    libssh2_knownhost_free(hosts);
    if (revoked || check == LIBSSH2_KNOWNHOST_CHECK_MISMATCH)
        return KNOWN_CHANGED;
    return check == LIBSSH2_KNOWNHOST_CHECK_MATCH ? KNOWN_MATCH : KNOWN_NONE;
}

// Appends one line for the key in OpenSSH's format, leaving the user's
// lines as they are.
bool AppendKnownHost(LIBSSH2_SESSION* session, const QString& path, const QString& name, const QByteArray& key,
                     int type)
{
    LIBSSH2_KNOWNHOSTS* hosts = libssh2_knownhost_init(session);
    if (!hosts)
        return false;
    const QByteArray host = ToBytes(name);
    libssh2_knownhost* entry = nullptr;
    char line[16384];
    size_t length = 0;
    const bool made =
        libssh2_knownhost_addc(
            hosts, host.constData(), nullptr, key.constData(), static_cast<size_t>(key.size()), nullptr, 0,
            LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW | SftpKnownHostKeyBit(type), &entry)
            == 0
        && libssh2_knownhost_writeline(hosts, entry, line, sizeof(line), &length, LIBSSH2_KNOWNHOST_FILE_OPENSSH) == 0;
    libssh2_knownhost_free(hosts);
    if (!made)
        return false;
    const QFileInfo info(path);
    if (!info.dir().exists() && !QDir().mkpath(info.absolutePath()))
        return false;
    QFile::setPermissions(info.absolutePath(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return false;
    // A last line without its line end must not run into the new one.
    QByteArray bytes(line, static_cast<qsizetype>(length));
    if (file.size() > 0 && file.seek(file.size() - 1) && file.read(1) != "\n")
        bytes.prepend('\n');
    return file.seek(file.size()) && file.write(bytes) == bytes.size() && file.flush();
}

// Answers the password to every question the server asks without echo.
LIBSSH2_USERAUTH_KBDINT_RESPONSE_FUNC(AnswerPrompts)
{
    Q_UNUSED(name);
    Q_UNUSED(name_len);
    Q_UNUSED(instruction);
    Q_UNUSED(instruction_len);
    const QByteArray* answer = static_cast<CSftpSessionContext*>(*abstract)->m_pAnswer;
    for (int i = 0; i < num_prompts; ++i) {
        const QByteArray text = prompts[i].echo || !answer ? QByteArray() : *answer;
        // libssh2 frees the answers with the session's own allocator.
        responses[i].text = static_cast<char*>(SftpAllocate(static_cast<size_t>(text.size()) + 1, abstract));
        if (responses[i].text)
            std::memcpy(responses[i].text, text.constData(), static_cast<size_t>(text.size()) + 1);
        responses[i].length = responses[i].text ? static_cast<unsigned int>(text.size()) : 0;
    }
}

} // namespace

QString CSftpClient::KnownHostsPath()
{
    return QDir::homePath() + QStringLiteral("/.ssh/known_hosts");
}

QByteArray CSftpClient::ReadKnownHosts()
{
    QFile file(KnownHostsPath());
    return file.open(QIODevice::ReadOnly) ? file.read(kMaxKnownHostsBytes) : QByteArray();
}

bool CSftpClient::CheckHostKey(const QString& host, int port)
{
    size_t length = 0;
    int type = 0;
    const char* key = libssh2_session_hostkey(m_pSession, &length, &type);
    const char* hash = libssh2_hostkey_hash(m_pSession, LIBSSH2_HOSTKEY_HASH_SHA256);
    if (!key || !hash) {
        m_strReply = LoadString(IDS_SFTP_SESSION_FAILED).arg(QStringLiteral("no host key"));
        return false;
    }
    const QByteArray keyBytes(key, static_cast<qsizetype>(length));
    const QString fingerprint = SftpFingerprint(QByteArray(hash, 32));
    const QString typeName = SftpHostKeyTypeName(type);
    const QString server = SftpKnownHostName(host, port);
    const QString path = KnownHostsPath();
    const EKnown known = CheckKnownHosts(m_pSession, ReadKnownHosts(), host, port, keyBytes, type);
    if (known == KNOWN_MATCH)
        return true;
    if (known == KNOWN_CHANGED) {
        m_strReply = LoadString(IDS_SFTP_HOST_KEY_CHANGED).arg(server, path, typeName, fingerprint);
        return false;
    }
    if (!m_strTrustedFingerprint.isEmpty() && NormalizeSftpFingerprint(m_strTrustedFingerprint) == fingerprint)
        return true;
    if (!m_bMayAskTrust) {
        m_strReply = LoadString(IDS_SFTP_HOST_KEY_NOT_ASKED).arg(server, typeName, fingerprint);
        return false;
    }
    const QString question = LoadString(IDS_SFTP_HOST_KEY_ASK).arg(server, path, typeName, fingerprint);
    if (CServices::Prompt().MessageBox(question, LoadString(IDS_SFTP_HOST_KEY_CAPTION), MB_YESNO, MB_ICONWARNING)
        != IDYES) {
        m_strReply = LoadString(IDS_SFTP_HOST_KEY_REFUSED).arg(server, typeName, fingerprint);
        return false;
    }
    // Not remembered is asked again next time; the user's answer holds for
    // this connection either way.
    AppendKnownHost(m_pSession, path, server, keyBytes, type);
    return true;
}

bool CSftpClient::Authenticate(const QByteArray& user, const QByteArray& password)
{
    char* list = nullptr;
    const long rc = Await([&] {
        list = libssh2_userauth_list(m_pSession, user.constData(), static_cast<unsigned int>(user.size()));
        return list || libssh2_userauth_authenticated(m_pSession) ? 0L : long(libssh2_session_last_errno(m_pSession));
    });
    if (rc != 0)
        return Fail(rc, QString());
    if (libssh2_userauth_authenticated(m_pSession))
        return true;
    const QList<QByteArray> methods = QByteArray(list).split(',');
    EAuth result = AUTH_REFUSED;
    if (methods.contains("publickey")) {
        result = TryAgent(user);
        if (result == AUTH_REFUSED)
            result = TryKeyFiles(user);
    }
    if (result == AUTH_REFUSED && methods.contains("password") && !password.isEmpty())
        result = TryPassword(user, password, false);
    if (result == AUTH_REFUSED && methods.contains("keyboard-interactive") && !password.isEmpty())
        result = TryPassword(user, password, true);
    if (result == AUTH_REFUSED)
        m_strReply = LoadString(IDS_SFTP_AUTH_FAILED).arg(FromBytes(user));
    return result == AUTH_DONE;
}

CSftpClient::EAuth CSftpClient::AuthResult(long rc)
{
    if (rc == 0)
        return AUTH_DONE;
    if (rc == kAbandoned || !m_pSession)
        return AUTH_GONE;
    switch (rc) {
    case LIBSSH2_ERROR_SOCKET_SEND:
    case LIBSSH2_ERROR_SOCKET_RECV:
    case LIBSSH2_ERROR_SOCKET_DISCONNECT:
    case LIBSSH2_ERROR_SOCKET_TIMEOUT:
    case LIBSSH2_ERROR_TIMEOUT: {
        // The session is closed by the caller: an agent may still use it.
        char* message = nullptr;
        libssh2_session_last_error(m_pSession, &message, nullptr, 0);
        m_strReply = LoadString(IDS_SFTP_SESSION_FAILED).arg(QString::fromLocal8Bit(message));
        return AUTH_GONE;
    }
    }
    return AUTH_REFUSED;
}

CSftpClient::EAuth CSftpClient::TryAgent(const QByteArray& user)
{
    if (!AgentAnswers(qgetenv("SSH_AUTH_SOCK"), std::min(m_nTimeoutMs, kAgentAnswerMs)))
        return AUTH_REFUSED;
    LIBSSH2_SESSION* session = m_pSession;
    LIBSSH2_AGENT* agent = libssh2_agent_init(session);
    if (!agent)
        return AUTH_REFUSED;
    EAuth result = AUTH_REFUSED;
    if (libssh2_agent_connect(agent) == 0 && libssh2_agent_list_identities(agent) == 0) {
        libssh2_agent_publickey* identity = nullptr;
        libssh2_agent_publickey* previous = nullptr;
        for (int tried = 0; result == AUTH_REFUSED && tried < kMaxAgentKeys
             && libssh2_agent_get_identity(agent, &identity, previous) == 0;
             ++tried) {
            result = AuthResult(Await([&] { return long(libssh2_agent_userauth(agent, user.constData(), identity)); }));
            previous = identity;
        }
    }
    // A session closed meanwhile took the agent's memory with it.
    if (m_pSession == session) {
        libssh2_agent_disconnect(agent);
        libssh2_agent_free(agent);
    }
    return result;
}

CSftpClient::EAuth CSftpClient::TryKeyFiles(const QByteArray& user)
{
    const QString folder = QDir::homePath() + QStringLiteral("/.ssh/");
    for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        const QString privateKey = folder + QLatin1String(name);
        if (!QFileInfo(privateKey).isFile())
            continue;
        const QByteArray privatePath = QFile::encodeName(privateKey);
        const QByteArray publicPath = QFile::encodeName(privateKey + QStringLiteral(".pub"));
        const bool havePublic = QFileInfo(privateKey + QStringLiteral(".pub")).isFile();
        // Keys with a passphrase are left to the agent.
        const EAuth result = AuthResult(Await([&] {
            return long(libssh2_userauth_publickey_fromfile_ex(
                m_pSession, user.constData(), static_cast<unsigned int>(user.size()),
                havePublic ? publicPath.constData() : nullptr, privatePath.constData(), ""));
        }));
        if (result != AUTH_REFUSED)
            return result;
    }
    return AUTH_REFUSED;
}

CSftpClient::EAuth CSftpClient::TryPassword(const QByteArray& user, const QByteArray& password, bool keyboard)
{
    const auto userLength = static_cast<unsigned int>(user.size());
    if (!keyboard)
        return AuthResult(Await([&] {
            return long(libssh2_userauth_password_ex(m_pSession, user.constData(), userLength, password.constData(),
                                                     static_cast<unsigned int>(password.size()), nullptr));
        }));
    m_context.m_pAnswer = &password;
    const EAuth result = AuthResult(Await([&] {
        return long(libssh2_userauth_keyboard_interactive_ex(m_pSession, user.constData(), userLength, &AnswerPrompts));
    }));
    m_context.m_pAnswer = nullptr;
    return result;
}
