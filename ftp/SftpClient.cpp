#include "SftpClient.h"

#include "FtpProtocol.h"
#include "SftpProtocol.h"

#include "platform/Bytes.h"
#include "platform/Progress.h"
#include "platform/Services.h"
#include "platform/SystemReason.h"
#include "resources/StringTable.h"

#include <QElapsedTimer>
#include <QTcpSocket>

#include <libssh2.h>
#include <libssh2_sftp.h>

#include <cstddef>
#include <cstdlib>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// Ahead of every block libssh2 allocates: its place on the session's list.
struct alignas(std::max_align_t) CSftpBlock
{
    CSftpBlock* m_pPrev;
    CSftpBlock* m_pNext;
};

namespace {

// libssh2_init once per process, before the first session.
bool InitLibrary()
{
    static const bool initialized = libssh2_init(0) == 0;
    return initialized;
}

bool IsSocketFailure(long rc)
{
    return rc == LIBSSH2_ERROR_SOCKET_SEND || rc == LIBSSH2_ERROR_SOCKET_RECV || rc == LIBSSH2_ERROR_SOCKET_DISCONNECT
        || rc == LIBSSH2_ERROR_SOCKET_TIMEOUT || rc == LIBSSH2_ERROR_SOCKET_NONE;
}

// libssh2 has OpenSSL encrypt one 16-byte block per call, in legacy SSE
// instructions. Where earlier code left the upper halves of the AVX
// registers in use (a QProcess run to its end does), each such instruction pays
// a state-transition penalty on many processors: a transfer then took four
// times the processor time. vzeroupper clears that state; our code holds no
// vector values across a call into the library.
void ClearUpperVectorState()
{
#if defined(__x86_64__)
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        asm volatile("vzeroupper");
#endif
}

CSftpSessionContext& Context(void** abstract)
{
    return *static_cast<CSftpSessionContext*>(*abstract);
}

void Link(CSftpSessionContext& context, CSftpBlock* block)
{
    block->m_pPrev = nullptr;
    block->m_pNext = context.m_pBlocks;
    if (context.m_pBlocks)
        context.m_pBlocks->m_pPrev = block;
    context.m_pBlocks = block;
}

void Unlink(CSftpSessionContext& context, CSftpBlock* block)
{
    if (block->m_pPrev)
        block->m_pPrev->m_pNext = block->m_pNext;
    else
        context.m_pBlocks = block->m_pNext;
    if (block->m_pNext)
        block->m_pNext->m_pPrev = block->m_pPrev;
}

LIBSSH2_FREE_FUNC(SftpRelease)
{
    if (!ptr)
        return;
    CSftpBlock* block = static_cast<CSftpBlock*>(ptr) - 1;
    Unlink(Context(abstract), block);
    std::free(block);
}

LIBSSH2_REALLOC_FUNC(SftpReallocate)
{
    if (!ptr)
        return SftpAllocate(count, abstract);
    CSftpBlock* block = static_cast<CSftpBlock*>(ptr) - 1;
    Unlink(Context(abstract), block);
    auto* moved = static_cast<CSftpBlock*>(std::realloc(block, sizeof(CSftpBlock) + count));
    // A block that could not grow stays as it was.
    Link(Context(abstract), moved ? moved : block);
    return moved ? moved + 1 : nullptr;
}

} // namespace

void* SftpAllocate(size_t size, void** abstract)
{
    auto* block = static_cast<CSftpBlock*>(std::malloc(sizeof(CSftpBlock) + size));
    if (!block)
        return nullptr;
    Link(Context(abstract), block);
    return block + 1;
}

CSftpClient::CSftpClient() = default;

CSftpClient::~CSftpClient()
{
    Close();
}

bool CSftpClient::LogOn(QString host, int port, QString user, QString password, QString, QString, QString, QString, int,
                        int)
{
    Close();
    m_bCancelled = false;
    m_bLost = false;
    m_strAcceptedFingerprint.clear();
    for (const QString* argument : {&host, &user, &password}) {
        if (HasFtpLineBreak(*argument) || argument->contains(QChar(0))) {
            m_strReply = LoadString(IDS_FTP_REFUSED_LINE_BREAK);
            return false;
        }
    }
    if (!InitLibrary()) {
        m_strReply = LoadString(IDS_SFTP_SESSION_FAILED).arg(QStringLiteral("libssh2_init"));
        return false;
    }
    host = host.trimmed();
    // As ssh does, the local user's name when the settings name none.
    if (user.isEmpty())
        user = qEnvironmentVariable("USER");
    QByteArray secret = ToBytes(password);
    const bool done = Connect(host, port) && StartSession(host, port) && CheckHostKey(host, port)
        && Authenticate(ToBytes(user), secret) && StartSftp();
    secret.fill('\0');
    if (!done)
        Close();
    return done;
}

bool CSftpClient::Connect(const QString& host, int port)
{
    m_strReply = LoadString(IDS_FTP_CANNOT_CONNECT);
    if (port < 1 || port > 65535)
        return false;
    // Qt resolves and connects without blocking, so the wait is bounded and
    // Cancel is heard; libssh2 then takes a descriptor of its own.
    QTcpSocket socket;
    socket.connectToHost(host, static_cast<quint16>(port));
    QElapsedTimer waited;
    waited.start();
    const auto slice = [&] {
        return static_cast<int>(qBound(qint64(1), m_nTimeoutMs - waited.elapsed(), qint64(kCancelPollMs)));
    };
    while (!socket.waitForConnected(slice())) {
        if (socket.state() == QAbstractSocket::UnconnectedState) {
            m_strReply = CSystemReason::Append(LoadString(IDS_FTP_CANNOT_CONNECT), socket.errorString());
            return false;
        }
        if (waited.elapsed() >= m_nTimeoutMs) {
            m_strReply = LoadString(IDS_SFTP_TIMEOUT).arg(FtpSeconds(m_nTimeoutMs));
            return false;
        }
        if (CServices::Progress().PollCancel()) {
            m_bCancelled = true;
            m_strReply = LoadString(IDS_FTP_CANCELLED);
            return false;
        }
    }
    // The copy stays non-blocking and is not inherited by programs started
    // later; Qt's own descriptor, and with it any notifier that would read
    // from the socket, goes with the socket.
    m_nSocket = ::fcntl(static_cast<int>(socket.socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    socket.abort();
    if (m_nSocket < 0)
        return false;
    // Read requests and acknowledgements are small packets: held back by
    // Nagle's algorithm behind the peer's delayed ACK, each would wait up to
    // 40 ms, and a transfer with fewer requests in flight would stall.
    const int noDelay = 1;
    ::setsockopt(m_nSocket, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof(noDelay));
    return true;
}

bool CSftpClient::StartSession(const QString& host, int port)
{
    m_pSession = libssh2_session_init_ex(&SftpAllocate, &SftpRelease, &SftpReallocate, &m_context);
    if (!m_pSession) {
        m_strReply = LoadString(IDS_SFTP_SESSION_FAILED).arg(QStringLiteral("libssh2_session_init"));
        return false;
    }
    libssh2_session_set_blocking(m_pSession, 0);
    // The server is asked for a key of a type known_hosts holds for it, if
    // it has one, rather than for one that would look unknown.
    const QByteArray methods =
        SftpHostKeyMethods(KnownHostKeyTypes(ReadKnownHosts(), SftpKnownHostName(host, port))).toLatin1();
    libssh2_session_method_pref(m_pSession, LIBSSH2_METHOD_HOSTKEY, methods.constData());
    const long rc = Await([this] { return long(libssh2_session_handshake(m_pSession, m_nSocket)); });
    return rc == 0 || Fail(rc, QString());
}

bool CSftpClient::StartSftp()
{
    const long rc = Await([this] {
        m_pSftp = libssh2_sftp_init(m_pSession);
        return m_pSftp ? 0L : long(libssh2_session_last_errno(m_pSession));
    });
    if (rc != 0) {
        if (rc != kAbandoned) {
            char* message = nullptr;
            libssh2_session_last_error(m_pSession, &message, nullptr, 0);
            m_strReply = LoadString(IDS_SFTP_NO_SFTP).arg(QString::fromLocal8Bit(message));
            Close();
        }
        return false;
    }
    // The root of every path: where the server starts the session.
    char buffer[4096];
    const long length = Await([&] { return long(libssh2_sftp_realpath(m_pSftp, ".", buffer, sizeof(buffer) - 1)); });
    if (length <= 0)
        return Fail(length == 0 ? LIBSSH2_ERROR_SFTP_PROTOCOL : length, QStringLiteral("."));
    m_root = QByteArray(buffer, static_cast<qsizetype>(length));
    while (m_root.endsWith('/'))
        m_root.chop(1);
    return true;
}

long CSftpClient::Await(const std::function<long()>& call)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (!m_pSession)
            return kAbandoned;
        ClearUpperVectorState();
        const long rc = call();
        if (rc != LIBSSH2_ERROR_EAGAIN)
            return rc;
        if (!WaitForSocket(waited.elapsed()))
            return kAbandoned;
    }
}

bool CSftpClient::WaitForSocket(qint64 waitedMs)
{
    const qint64 left = m_nTimeoutMs - waitedMs;
    if (left <= 0) {
        m_strReply = LoadString(IDS_SFTP_TIMEOUT).arg(FtpSeconds(m_nTimeoutMs));
        Close();
        return false;
    }
    const int directions = libssh2_session_block_directions(m_pSession);
    pollfd wait{};
    wait.fd = m_nSocket;
    wait.events = static_cast<short>(((directions & LIBSSH2_SESSION_BLOCK_OUTBOUND) ? POLLOUT : 0)
                                     | ((directions & LIBSSH2_SESSION_BLOCK_INBOUND) || directions == 0 ? POLLIN : 0));
    ::poll(&wait, 1, static_cast<int>(qMin<qint64>(left, kCancelPollMs)));
    if (CServices::Progress().PollCancel()) {
        // Requests still in flight would answer the next ones: the session ends.
        m_bCancelled = true;
        m_strReply = LoadString(IDS_FTP_CANCELLED);
        Close();
        return false;
    }
    return true;
}

bool CSftpClient::Fail(long rc, const QString& what)
{
    if (rc == kAbandoned)
        return false;
    if (rc == LIBSSH2_ERROR_SFTP_PROTOCOL && m_pSftp) {
        const unsigned long status = libssh2_sftp_last_error(m_pSftp);
        QString text;
        if (status == LIBSSH2_FX_NO_SUCH_FILE || status == LIBSSH2_FX_NO_SUCH_PATH)
            text = LoadString(IDS_SFTP_NO_SUCH_FILE);
        else if (status == LIBSSH2_FX_PERMISSION_DENIED)
            text = LoadString(IDS_SFTP_PERMISSION_DENIED);
        else
            text = LoadString(IDS_SFTP_OTHER_STATUS).arg(status);
        m_strReply = LoadString(IDS_SFTP_STATUS).arg(what, text);
        return false;
    }
    char* message = nullptr;
    if (m_pSession)
        libssh2_session_last_error(m_pSession, &message, nullptr, 0);
    m_strReply = LoadString(IDS_SFTP_SESSION_FAILED)
                     .arg(message && *message ? QString::fromLocal8Bit(message) : QString::number(rc));
    // Only the other side ending the link is worth a new logon and a second try.
    m_bLost = IsSocketFailure(rc);
    Close();
    return false;
}

void CSftpClient::Close()
{
    if (m_nSocket >= 0) {
        // Nothing more goes out or comes in: libssh2's own closing steps fail
        // at once instead of waiting for a peer that may be gone.
        ::shutdown(m_nSocket, SHUT_RDWR);
    }
    if (m_pSftp) {
        libssh2_sftp_shutdown(m_pSftp);
        m_pSftp = nullptr;
    }
    if (m_pSession) {
        for (int attempt = 0; attempt < 8 && libssh2_session_free(m_pSession) == LIBSSH2_ERROR_EAGAIN; ++attempt) {}
        m_pSession = nullptr;
    }
    // What the session left behind: the handles of a broken link.
    while (CSftpBlock* block = m_context.m_pBlocks) {
        m_context.m_pBlocks = block->m_pNext;
        std::free(block);
    }
    if (m_nSocket >= 0) {
        ::close(m_nSocket);
        m_nSocket = -1;
    }
    m_root.clear();
}

void CSftpClient::LogOff()
{
    // A polite goodbye where the link takes it at once; never a wait.
    if (m_pSession)
        libssh2_session_disconnect(m_pSession, "Normal Shutdown");
    Close();
}

bool CSftpClient::CheckIdleControl()
{
    if (!IsOpen())
        return false;
    pollfd idle{};
    idle.fd = m_nSocket;
    idle.events = POLLIN;
    if (::poll(&idle, 1, 0) <= 0)
        return true;
    // Bytes of the SSH protocol (a keep-alive) are libssh2's to read at the
    // next call; a close or a reset ends the session.
    char byte = 0;
    if ((idle.revents & (POLLERR | POLLHUP)) == 0 && ::recv(m_nSocket, &byte, 1, MSG_PEEK) > 0)
        return true;
    m_bLost = true;
    Close();
    return false;
}
