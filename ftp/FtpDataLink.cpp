#include "FtpDataLink.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

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

CFtpDataLink::CFtpDataLink() = default;

CFtpDataLink::~CFtpDataLink()
{
    Abort();
}

bool CFtpDataLink::Connect(const QHostAddress& address, quint16 port, int timeoutMs)
{
    Abort();
    m_pSocket = std::make_unique<QTcpSocket>();
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
            std::unique_ptr<QTcpSocket> socket(m_listener.nextPendingConnection());
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

void CFtpDataLink::Abort()
{
    if (m_pSocket)
        m_pSocket->abort();
    m_pSocket.reset();
    m_listener.close();
}
