#include "FtpClient.h"

#include "FtpProtocol.h"

#include "platform/Bytes.h"
#include "platform/Progress.h"
#include "platform/Services.h"
#include "platform/SystemReason.h"
#include "platform/Trace.h"
#include "resources/StringTable.h"

#include <QHostAddress>
#include <QSslSocket>

#include <climits>
#include <memory>

namespace {

enum ELogonEntry { LOGON_FAIL = -1, LOGON_OK = -2 };

// The logon sequences: per logon type, steps of (command code, entry after a
// 2xx reply, entry after a 3xx reply). A next-step entry is the step's
// position times 3; ok means logged on, fail ends with "Logon failed".
constexpr int kOk = LOGON_OK;
constexpr int kFail = LOGON_FAIL;
const int kLogonSequences[9][18] = {
    {0, kOk, 3, 1, kOk, 6, 2, kOk, kFail},
    {3, 6, 3, 4, 6, kFail, 5, kFail, 9, 0, kOk, 12, 1, kOk, 15, 2, kOk, kFail},
    {3, 6, 3, 4, 6, kFail, 6, kOk, 9, 1, kOk, 12, 2, kOk, kFail},
    {7, 3, 3, 0, kOk, 6, 1, kOk, 9, 2, kOk, kFail},
    {3, 6, 3, 4, 6, kFail, 0, kOk, 9, 1, kOk, 12, 2, kOk, kFail},
    {6, kOk, 3, 1, kOk, 6, 2, kOk, kFail},
    {8, 6, 3, 4, 6, kFail, 0, kOk, 9, 1, kOk, 12, 2, kOk, kFail},
    {9, kFail, 3, 1, kOk, 6, 2, kOk, kFail},
    {10, kOk, 3, 11, kOk, 6, 2, kOk, kFail},
};

QString LogonCommand(int code, const QString& host, const QString& user, const QString& password,
                     const QString& account, const QString& fwUser, const QString& fwPassword)
{
    switch (code) {
    case 0:
        return QStringLiteral("USER ") + user;
    case 1:
        return QStringLiteral("PASS ") + password;
    case 2:
        return QStringLiteral("ACCT ") + account;
    case 3:
        return QStringLiteral("USER ") + fwUser;
    case 4:
        return QStringLiteral("PASS ") + fwPassword;
    case 5:
        return QStringLiteral("SITE ") + host;
    case 6:
        return QStringLiteral("USER ") + user + QLatin1Char('@') + host;
    case 7:
        return QStringLiteral("OPEN ") + host;
    case 8:
        return QStringLiteral("USER ") + fwUser + QLatin1Char('@') + host;
    case 9:
        return QStringLiteral("USER ") + user + QLatin1Char('@') + host + QLatin1Char(' ') + fwUser;
    case 10:
        return QStringLiteral("USER ") + user + QLatin1Char('@') + fwUser + QLatin1Char('@') + host;
    case 11:
        return QStringLiteral("PASS ") + password + QLatin1Char('@') + fwPassword;
    }
    return QString();
}

// Writes everything queued on a socket, waiting at most timeoutMs per step.
bool FlushSocket(QTcpSocket& socket, int timeoutMs)
{
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs))
            return false;
    }
    return true;
}

// Why the control connection ended, as the socket knows it.
QString ControlReason(const QTcpSocket& socket)
{
    return socket.error() == QAbstractSocket::UnknownSocketError ? QString() : socket.errorString();
}

} // namespace

CFtpClient::CFtpClient() : m_pControlBlock(std::make_unique<char[]>(kBlockSize))
{
    m_elapsed.start();
}

CFtpClient::~CFtpClient()
{
    CloseControlChannel();
}

bool CFtpClient::OpenControlChannel(const QString& host, int port)
{
    // A channel left over from an earlier, failed logon is released first.
    CloseControlChannel();
    m_strReply = LoadString(IDS_FTP_NO_SOCKET);
    m_pControl = std::make_unique<QSslSocket>();

    m_strReply = LoadString(IDS_FTP_CANNOT_CONNECT);
    if (port < 1 || port > 65535)
        return false;
    m_pControl->connectToHost(host.trimmed(), static_cast<quint16>(port));
    if (!AwaitConnected())
        return false;

    m_bConnectionLost = false;
    m_bEpsvRefused = false;
    m_bOtherModeWorks = false;
    m_bModeSettled = false;
    m_bBinaryType = false;
    m_bMlsdRefused = false;
    m_bDataTls = false;
    m_features = CFtpFeatures();
    m_strReply = LoadString(IDS_FTP_NO_STREAM);
    return true;
}

bool CFtpClient::AwaitConnected()
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const qint64 left = m_nTimeoutMs - waited.elapsed();
        if (left <= 0)
            return false;
        if (m_pControl->waitForConnected(static_cast<int>(qMin<qint64>(left, kCancelPollMs))))
            return true;
        if (m_pControl->state() == QAbstractSocket::UnconnectedState)
            return false; // refused, or the name did not resolve
        if (CServices::Progress().PollCancel())
            return CancelWait();
    }
}

bool CFtpClient::CancelWait()
{
    CloseControlChannel();
    m_bCancelled = true;
    m_strReply = LoadString(IDS_FTP_CANCELLED);
    return false;
}

void CFtpClient::CloseControlChannel()
{
    m_replyReader.Reset();
    if (!m_pControl)
        return;
    if (m_pControl->state() == QAbstractSocket::ConnectedState)
        FlushSocket(*m_pControl, m_nTimeoutMs);
    m_pControl->abort();
    m_pControl.reset();
}

void CFtpClient::LoseControl()
{
    m_bConnectionLost = true;
    CloseControlChannel();
}

bool CFtpClient::CheckIdleControl()
{
    if (!m_pControl)
        return false;
    // A zero wait lets the socket take in what the system holds: bytes or
    // the peer's close.
    if (m_replyReader.Buffered() == 0 && m_pControl->bytesAvailable() == 0
        && m_pControl->state() == QAbstractSocket::ConnectedState)
        m_pControl->waitForReadyRead(0);
    if (m_replyReader.Buffered() == 0 && m_pControl->bytesAvailable() == 0
        && m_pControl->state() == QAbstractSocket::ConnectedState)
        return true;
    // A 421, a close, or a reply nobody asked for that would be taken for
    // the answer to the next command.
    LoseControl();
    return false;
}

bool CFtpClient::Refuse(const QString&)
{
    // The argument itself is not repeated: it may be a password.
    m_strReply = LoadString(IDS_FTP_REFUSED_LINE_BREAK);
    return false;
}

bool CFtpClient::RefuseServerName(const QString& name)
{
    // The name is shown, but never with the line breaks it may carry.
    m_strReply = LoadString(IDS_FTP_REFUSED_SERVER_NAME)
                     .arg(QString(name)
                              .replace(QLatin1Char('\r'), QLatin1Char(' '))
                              .replace(QLatin1Char('\n'), QLatin1Char(' ')));
    return false;
}

bool CFtpClient::SendLine(const QString& line)
{
    // A line break inside the line would smuggle in a second command; a line
    // longer than the command buffer would be cut. Neither is sent.
    if (HasFtpLineBreak(line))
        return Refuse(line);
    if (line.size() > kMaxLineLength) {
        m_strReply = LoadString(IDS_FTP_REFUSED_LONG_LINE).arg(kMaxLineLength);
        return false;
    }
    m_strReply = LoadString(IDS_NETWORK_ERROR);
    if (!m_pControl)
        return false;
    const QByteArray bytes = ToBytes(line + QStringLiteral("\r\n"));
    CTrace::FtpSent(bytes);
    if (m_pControl->state() == QAbstractSocket::ConnectedState && m_pControl->write(bytes) == bytes.size()
        && FlushSocket(*m_pControl, m_nTimeoutMs))
        return true;
    // Closed or broken under the client: the session is gone.
    LoseControl();
    return false;
}

bool CFtpClient::ReadReplyLine()
{
    return AwaitReply(false);
}

bool CFtpClient::ReadReply()
{
    return AwaitReply(true);
}

bool CFtpClient::AwaitReply(bool wholeReply)
{
    m_strReply.clear();
    if (!m_pControl) {
        m_strReply = LoadString(IDS_NETWORK_ERROR);
        return false;
    }
    // One deadline for the whole reply: a server that keeps sending lines
    // of a reply that never ends cannot hold the client longer than that.
    m_replyReader.m_limits.m_nMaxMs = m_nTimeoutMs;
    m_replyReader.Begin(m_elapsed.elapsed());
    for (;;) {
        const qint64 now = m_elapsed.elapsed();
        const CFtpReplyReader::EStatus status = wholeReply ? m_replyReader.ReadReply(now) : m_replyReader.ReadLine(now);
        switch (status) {
        case CFtpReplyReader::RS_NEED_MORE:
            // A server that says nothing is waited for in slices, so that the
            // Transfer window's Cancel is heard meanwhile.
            if (!ReceiveControlBytes(qMin<qint64>(m_replyReader.RemainingMs(now), kCancelPollMs))
                && CServices::Progress().PollCancel())
                return CancelWait();
            continue;
        case CFtpReplyReader::RS_LINE_READY:
        case CFtpReplyReader::RS_REPLY_READY:
            for (const QByteArray& received : m_replyReader.Lines())
                CTrace::FtpReceived(received);
            m_strReply = FromBytes(m_replyReader.Lines().constLast());
            m_nReplyClass = FtpReplyClass(m_strReply);
            // 421: the server closes the connection after this reply.
            if (m_strReply.startsWith(QLatin1String("421")) && (wholeReply || m_replyReader.IsReplyComplete()))
                LoseControl();
            return true;
        case CFtpReplyReader::RS_LINE_TOO_LONG:
        case CFtpReplyReader::RS_REPLY_TOO_LONG:
            m_strReply = LoadString(IDS_FTP_REPLY_TOO_LONG);
            break;
        case CFtpReplyReader::RS_TIMED_OUT:
            m_strReply = LoadString(IDS_FTP_REPLY_TIMEOUT).arg(FtpSeconds(m_nTimeoutMs));
            break;
        case CFtpReplyReader::RS_CLOSED:
            m_strReply = CSystemReason::Append(LoadString(IDS_FTP_NOTHING_READ), ControlReason(*m_pControl));
            m_bConnectionLost = true;
            break;
        }
        // A late or cut reply would be taken for the answer to the next
        // command: the connection is closed, so the next operation fails
        // cleanly or logs on afresh.
        CloseControlChannel();
        return false;
    }
}

bool CFtpClient::ReceiveControlBytes(qint64 waitMs)
{
    if (m_pControl->bytesAvailable() == 0) {
        if (m_pControl->state() != QAbstractSocket::ConnectedState) {
            m_replyReader.End();
            return true;
        }
        if (!m_pControl->waitForReadyRead(static_cast<int>(qMin<qint64>(waitMs, INT_MAX)))
            && m_pControl->bytesAvailable() == 0) {
            if (m_pControl->error() == QAbstractSocket::SocketTimeoutError)
                return false;    // a time-out shows in the reader
            m_replyReader.End(); // closed or broken
            return true;
        }
    }
    const qint64 received = m_pControl->read(m_pControlBlock.get(), kBlockSize);
    if (received > 0)
        m_replyReader.Feed(QByteArrayView(m_pControlBlock.get(), received));
    else if (received < 0)
        m_replyReader.End();
    return true;
}

bool CFtpClient::Command(const QString& line)
{
    if (!line.isEmpty() && !SendLine(line))
        return false;
    if (!ReadReply())
        return false;
    return m_nReplyClass == 2;
}

bool CFtpClient::LogOn(QString host, int port, QString user, QString password, QString account, QString fwHost,
                       QString fwUser, QString fwPassword, int fwPort, int logonType)
{
    if (logonType < 0 || logonType > 8)
        return false;
    for (const QString* argument : {&host, &user, &password, &account, &fwHost, &fwUser, &fwPassword}) {
        if (HasFtpLineBreak(*argument))
            return Refuse(*argument);
    }
    const QString targetHost = logonType == 0 ? host : fwHost;
    const int targetPort = logonType == 0 ? port : fwPort;
    if (port != 21)
        host += QStringLiteral(":%1").arg(port);

    m_strAcceptedFingerprint.clear();
    m_bCancelled = false;
    if (!OpenControlChannel(targetHost, targetPort))
        return false;
    if (!Command(QString()))
        return false;
    // In "require" mode nothing of the logon goes out unless this encrypted
    // the connection.
    if (!StartTls(targetHost, targetPort))
        return false;

    const int* sequence = kLogonSequences[logonType];
    int step = 0;
    for (;;) {
        const QString line = LogonCommand(sequence[step], host, user, password, account, fwUser, fwPassword);
        if (!SendLine(line) || !ReadReply())
            return false;
        int next;
        if (m_nReplyClass == 2)
            next = sequence[step + 1];
        else if (m_nReplyClass == 3)
            next = sequence[step + 2];
        else
            return false;
        if (next == LOGON_OK)
            return FinishLogOn();
        if (next == LOGON_FAIL) {
            m_strReply = LoadString(IDS_LOGON_FAILED);
            return false;
        }
        step = next;
    }
}

void CFtpClient::LogOff()
{
    SendLine(QStringLiteral("QUIT"));
    CloseControlChannel();
}
