#pragma once

#include <QHostAddress>
#include <QTcpServer>

#include <memory>

class QTcpSocket;

// The data connection of one transfer or listing: opened by the client in
// passive mode, accepted from the server in active mode. In active mode only
// a connection from the server's own address is taken: anyone else who finds
// the listening port first is turned away, not handed the file.
class CFtpDataLink
{
public:
    CFtpDataLink();
    ~CFtpDataLink();
    CFtpDataLink(const CFtpDataLink&) = delete;
    CFtpDataLink& operator=(const CFtpDataLink&) = delete;

    // Passive mode: connects to address and port, waiting at most timeoutMs.
    bool Connect(const QHostAddress& address, quint16 port, int timeoutMs);

    // Active mode: listens on a free port of the given local address.
    bool Listen(const QHostAddress& localAddress);
    quint16 ListenPort() const { return m_listener.serverPort(); }
    // Waits at most timeoutMs for a connection from peer; connections from
    // elsewhere are closed at once and counted.
    bool Accept(const QHostAddress& peer, int timeoutMs);

    // The open data connection, or nullptr.
    QTcpSocket* Socket() const { return m_pSocket.get(); }
    // Drops the connection and the listener at once.
    void Abort();

    int m_nStrangersTurnedAway = 0;

private:
    QTcpServer m_listener;
    std::unique_ptr<QTcpSocket> m_pSocket;
};
