#include "FtpDataLink.h"

#include <QDeadlineTimer>
#include <QSslSocket>

#include <climits>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

bool SameHost(const QHostAddress& a, const QHostAddress& b)
{
    // 127.0.0.1 and ::ffff:127.0.0.1 are the same host.
    return a.isEqual(b, QHostAddress::TolerantConversion);
}

int Remaining(const QDeadlineTimer& deadline)
{
    return static_cast<int>(qBound(qint64(0), deadline.remainingTime(), qint64(INT_MAX)));
}

// A second descriptor of the socket's connection, or -1 where there is none.
int LingeringDescriptor(const QSslSocket& socket)
{
#ifdef Q_OS_UNIX
    return socket.socketDescriptor() >= 0 ? ::dup(static_cast<int>(socket.socketDescriptor())) : -1;
#else
    Q_UNUSED(socket);
    return -1;
#endif
}

// Sends the FIN and reads until the peer closes, at most timeoutMs.
void FinishLingering(int descriptor, int timeoutMs)
{
#ifdef Q_OS_UNIX
    if (descriptor < 0)
        return;
    ::shutdown(descriptor, SHUT_WR);
    const QDeadlineTimer deadline(timeoutMs);
    char discard[4096];
    for (pollfd ready{descriptor, POLLIN, 0}; ::poll(&ready, 1, Remaining(deadline)) > 0;) {
        if (::read(descriptor, discard, sizeof discard) <= 0)
            break;
    }
    ::close(descriptor);
#else
    Q_UNUSED(descriptor);
    Q_UNUSED(timeoutMs);
#endif
}

// Over TLS, Qt and OpenSSL allocate and free buffers for every piece
// written and every chunk read (the encrypted copy, a read attempt, the
// socket's queue). With the C library's starting values, a block from
// 128 KiB up is mapped and unmapped on its own, and the heap's free top goes
// back to the system from 128 KiB on: the same pages are faulted in again
// all through a transfer, a third of an upload's processor time. The C
// library raises both limits itself, but only to the largest mapped block
// freed so far (twice that for the top), too little for an upload's queue;
// they are set at once to values it may reach on its own: blocks up to
// 4 MiB come from the heap, which keeps up to 8 MiB of free top.
void KeepFreedHeap()
{
#ifdef __GLIBC__
    static const bool kept =
        ::mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024) == 1 && ::mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024) == 1;
    Q_UNUSED(kept);
#endif
}

} // namespace

void CFtpDataLink::CListener::incomingConnection(qintptr descriptor)
{
    auto socket = std::make_unique<QSslSocket>(this);
    socket->setReadBufferSize(kReadBufferBytes);
    // The listener, as the socket's parent, owns it from here on.
    if (socket->setSocketDescriptor(descriptor))
        addPendingConnection(socket.release());
}

CFtpDataLink::CFtpDataLink() = default;

CFtpDataLink::~CFtpDataLink()
{
    Abort();
}

QTcpSocket* CFtpDataLink::Socket() const
{
    return m_pSocket.get();
}

bool CFtpDataLink::Connect(const QHostAddress& address, quint16 port, int timeoutMs)
{
    Abort();
    m_pSocket = std::make_unique<QSslSocket>();
    m_pSocket->setReadBufferSize(kReadBufferBytes);
    m_pSocket->connectToHost(address, port);
    if (m_pSocket->waitForConnected(timeoutMs))
        return true;
    m_pSocket.reset();
    return false;
}

bool CFtpDataLink::Listen(const QHostAddress& localAddress)
{
    Abort();
    if (!m_listener.listen(localAddress, 0))
        return false;
    m_listener.setMaxPendingConnections(5);
    return true;
}

bool CFtpDataLink::Accept(const QHostAddress& peer, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (m_listener.hasPendingConnections()) {
            std::unique_ptr<QSslSocket> socket(static_cast<QSslSocket*>(m_listener.nextPendingConnection()));
            socket->setParent(nullptr);
            if (SameHost(socket->peerAddress(), peer)) {
                m_pSocket = std::move(socket);
                m_listener.close();
                return true;
            }
            socket->abort();
            ++m_nStrangersTurnedAway;
        }
        if (deadline.hasExpired() || !m_listener.waitForNewConnection(Remaining(deadline)))
            return false;
    }
}

bool CFtpDataLink::StartTls(const QSslConfiguration& configuration, const QString& peerName, int timeoutMs)
{
    QSslSocket* socket = m_pSocket.get();
    if (!socket) {
        m_strTlsError = QStringLiteral("no connection");
        return false;
    }
    KeepFreedHeap();
    socket->setSslConfiguration(configuration);
    socket->setPeerVerifyName(peerName);
    // A TLS close from the server leaves the TCP connection open until this
    // side closes too, and a wait for more data would last until its time
    // ran out; servers also wait for this close before they confirm.
    QObject::connect(socket, &QAbstractSocket::errorOccurred, socket, [socket](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError && socket->state() == QAbstractSocket::ConnectedState)
            socket->disconnectFromHost();
    });
    socket->startClientEncryption();
    if (socket->waitForEncrypted(timeoutMs))
        return true;
    m_strTlsError = socket->errorString();
    return false;
}

QSslCertificate CFtpDataLink::PeerCertificate() const
{
    return m_pSocket ? m_pSocket->peerCertificate() : QSslCertificate();
}

void CFtpDataLink::Close(int timeoutMs)
{
    QSslSocket* socket = m_pSocket.get();
    if (socket && socket->state() == QAbstractSocket::ConnectedState) {
        const QDeadlineTimer deadline(timeoutMs);
        // Everything goes out first, the encrypted bytes too.
        while ((socket->bytesToWrite() > 0 || socket->encryptedBytesToWrite() > 0)
               && socket->waitForBytesWritten(Remaining(deadline))) {}
        // The server may still send (TLS 1.3 session tickets, its own TLS
        // close) when this side closes; a socket closed over unread bytes is
        // reset, and the reset throws away what the server has not read yet:
        // the end of an upload. So the connection outlives Qt's close on a
        // second descriptor, is ended with a FIN after the TLS close, and is
        // read until the server closes its side.
        const int lingering = LingeringDescriptor(*socket);
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->waitForDisconnected(Remaining(deadline));
        FinishLingering(lingering, Remaining(deadline));
    }
    Abort();
}

void CFtpDataLink::Abort()
{
    if (m_pSocket)
        m_pSocket->abort();
    m_pSocket.reset();
    m_listener.close();
}
