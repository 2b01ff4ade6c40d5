#pragma once

#include <QHostAddress>
#include <QSslConfiguration>
#include <QTcpServer>

#include <memory>

class QSslSocket;
class QTcpSocket;

// The data connection of one transfer or listing: opened by the client in
// passive mode, accepted from the server in active mode. In active mode only
// a connection from the server's own address is taken: anyone else who finds
// the listening port first is turned away, not handed the file.
//
// With TLS the client starts the handshake on the open connection in either
// mode, as FTP's client side.
class CFtpDataLink
{
public:
    CFtpDataLink();
    ~CFtpDataLink();
    CFtpDataLink(const CFtpDataLink&) = delete;
    CFtpDataLink& operator=(const CFtpDataLink&) = delete;

    // What a data socket holds of received bytes that are not read yet; a
    // server faster than the disk then waits, instead of filling the memory.
    // With TLS the limit holds the decrypted bytes.
    static constexpr qint64 kReadBufferBytes = 4 * 1024 * 1024;

    // Passive mode: connects to address and port, waiting at most timeoutMs.
    bool Connect(const QHostAddress& address, quint16 port, int timeoutMs);

    // Active mode: listens on a free port of the given local address.
    bool Listen(const QHostAddress& localAddress);
    quint16 ListenPort() const { return m_listener.serverPort(); }
    // Waits at most timeoutMs for a connection from peer; connections from
    // elsewhere are closed at once and counted.
    bool Accept(const QHostAddress& peer, int timeoutMs);

    // Encrypts the open connection as the TLS client, waiting at most
    // timeoutMs for the handshake. configuration carries the session of the
    // control connection, which servers expect to be resumed. When the server
    // ends its side with a TLS close, the connection is closed on this side
    // too, so the end of the data is seen at once.
    bool StartTls(const QSslConfiguration& configuration, const QString& peerName, int timeoutMs);
    // Why StartTls failed.
    QString TlsError() const { return m_strTlsError; }
    QSslCertificate PeerCertificate() const;

    // The open data connection, or nullptr.
    QTcpSocket* Socket() const;
    // Ends the connection in order, waiting at most timeoutMs: for an upload
    // this tells the server that the file is complete.
    void Close(int timeoutMs);
    // Drops the connection and the listener at once.
    void Abort();

    int m_nStrangersTurnedAway = 0;

private:
    // Hands out every accepted connection as a QSslSocket, so that TLS can
    // be started on it.
    class CListener : public QTcpServer
    {
    protected:
        void incomingConnection(qintptr descriptor) override;
    };

    CListener m_listener;
    std::unique_ptr<QSslSocket> m_pSocket;
    QString m_strTlsError;
};
