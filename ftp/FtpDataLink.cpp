#include "FtpDataLink.h"

#include <QDeadlineTimer>
#include <QSslSocket>

#include <climits>

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

} // namespace

void CFtpDataLink::CListener::incomingConnection(qintptr descriptor)
{
    auto* socket = new QSslSocket(this);
    if (socket->setSocketDescriptor(descriptor))
        addPendingConnection(socket);
    else
        delete socket;
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
    if (m_pSocket && m_pSocket->state() == QAbstractSocket::ConnectedState) {
        // What the server sent and nobody read (TLS 1.3 session tickets on an
        // upload) is taken in first: closing over unread bytes would reset
        // the connection, and the server would take the file for cut off.
        m_pSocket->waitForReadyRead(0);
        m_pSocket->skip(m_pSocket->bytesAvailable());
        m_pSocket->disconnectFromHost();
        if (m_pSocket->state() != QAbstractSocket::UnconnectedState)
            m_pSocket->waitForDisconnected(timeoutMs);
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
