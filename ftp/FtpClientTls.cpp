// FTP over TLS for CFtpClient (explicit, "AUTH TLS"), and what the client
// learns about the server after the logon (FEAT).
#include "FtpClient.h"

#include "FtpDataLink.h"
#include "FtpProtocol.h"

#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QSslConfiguration>
#include <QSslSocket>

bool CFtpClient::IsEncrypted() const
{
    return m_pControl && m_pControl->isEncrypted();
}

bool CFtpClient::StartTls(const QString& host, int port)
{
    if (m_eEncryption == FTP_TLS_OFF)
        return true;
    Command(QStringLiteral("AUTH TLS"));
    if (!IsOpen())
        return false;
    if (!m_strReply.startsWith(QLatin1String("234"))) {
        if (m_eEncryption == FTP_TLS_AUTO)
            return true;
        m_strReply = LoadString(IDS_FTP_TLS_NOT_OFFERED).arg(FtpReplyText(m_strReply));
        CloseControlChannel();
        return false;
    }
    // Whatever follows "234" before the handshake was not sent by the server
    // under TLS: someone on the way may have added commands' answers.
    if (m_replyReader.Buffered() > 0 || m_pControl->bytesAvailable() > 0) {
        m_strReply = LoadString(IDS_FTP_TLS_INJECTED);
        CloseControlChannel();
        return false;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    // The certificate is judged after the handshake, so that the user can be
    // asked about one that the system does not trust.
    configuration.setPeerVerifyMode(QSslSocket::QueryPeer);
    // The session is kept, so that data connections can resume it.
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    m_pControl->setSslConfiguration(configuration);
    m_pControl->setPeerVerifyName(host.trimmed());
    m_pControl->startClientEncryption();
    if (!m_pControl->waitForEncrypted(m_nTimeoutMs)) {
        m_strReply = LoadString(IDS_FTP_TLS_FAILED).arg(m_pControl->errorString());
        CloseControlChannel();
        return false;
    }
    if (!CheckCertificate(host, port)) {
        CloseControlChannel();
        return false;
    }
    return true;
}

bool CFtpClient::CheckCertificate(const QString& host, int port)
{
    const QSslCertificate certificate = m_pControl->peerCertificate();
    if (certificate.isNull()) {
        m_strReply = LoadString(IDS_FTP_NO_CERTIFICATE);
        return false;
    }
    const QString fingerprint = FtpCertificateFingerprint(certificate);
    const QString remembered = NormalizeFtpFingerprint(m_strRememberedFingerprint);
    const QList<QSslError> errors = m_pControl->sslHandshakeErrors();
    const EFtpTrust trust =
        DecideFtpTrust(errors.isEmpty(), fingerprint, remembered, NormalizeFtpFingerprint(m_strTrustedFingerprint));
    if (trust == TRUST_ACCEPT)
        return true;

    const QString server = FtpServerKey(host, port);
    const QString problems = FtpCertificateProblems(errors);
    const QString refused = trust == TRUST_ASK_CHANGED
        ? LoadString(IDS_FTP_CERT_CHANGED_REFUSED).arg(server, fingerprint)
        : LoadString(IDS_FTP_CERT_REFUSED).arg(server, fingerprint);
    if (!m_bMayAskTrust) {
        m_strReply = trust == TRUST_ASK_CHANGED ? refused
                                                : LoadString(IDS_FTP_CERT_NOT_ASKED).arg(server, problems, fingerprint);
        return false;
    }
    const QString details = DescribeFtpCertificate(certificate);
    const QString question = trust == TRUST_ASK_CHANGED
        ? LoadString(IDS_FTP_CERT_ASK_CHANGED).arg(server, remembered, problems, details)
        : LoadString(IDS_FTP_CERT_ASK_NEW).arg(server, problems, details);
    if (CServices::Prompt().MessageBox(question, LoadString(IDS_FTP_CERT_CAPTION), MB_YESNO, MB_ICONWARNING) != IDYES) {
        m_strReply = refused;
        return false;
    }
    m_strAcceptedFingerprint = fingerprint;
    return true;
}

bool CFtpClient::FinishLogOn()
{
    // The logon's last reply stays the result that callers see.
    const QString reply = m_strReply;
    const int replyClass = m_nReplyClass;
    if (!ProtectData())
        return false;
    ReadFeatures();
    if (!IsOpen())
        return false;
    m_strReply = reply;
    m_nReplyClass = replyClass;
    return true;
}

bool CFtpClient::ProtectData()
{
    m_bDataTls = false;
    if (!IsEncrypted())
        return true;
    m_bDataTls = Command(QStringLiteral("PBSZ 0")) && Command(QStringLiteral("PROT P"));
    if (!IsOpen())
        return false;
    // Without "PROT P" the data would go in the clear: acceptable only when
    // TLS was asked for where the server offers it.
    if (m_bDataTls || m_eEncryption == FTP_TLS_AUTO)
        return true;
    m_strReply = LoadString(IDS_FTP_PROT_REFUSED).arg(FtpReplyText(m_strReply));
    CloseControlChannel();
    return false;
}

void CFtpClient::ReadFeatures()
{
    m_features = CFtpFeatures();
    if (!SendLine(QStringLiteral("FEAT")) || !ReadReply())
        return;
    m_features = ParseFtpFeatures(m_replyReader.Lines());
    // Servers that offer it then send names as UTF-8; the client keeps
    // taking them byte for byte.
    if (m_features.m_bUtf8)
        Command(QStringLiteral("OPTS UTF8 ON"));
    // Some listing formats can only be read knowing the system; a server
    // that does not answer SYST is read by its lines alone.
    if (IsOpen() && Command(QStringLiteral("SYST")))
        ParseFtpSystem(m_strReply, m_features);
}

bool CFtpClient::SecureData(CFtpDataLink& link)
{
    if (!m_bDataTls)
        return true;
    // The control connection's configuration carries its TLS session, which
    // the data connection resumes.
    if (!link.StartTls(m_pControl->sslConfiguration(), m_pControl->peerVerifyName(), m_nTimeoutMs)) {
        m_strReply = LoadString(IDS_FTP_DATA_TLS_FAILED).arg(link.TlsError());
        return false;
    }
    if (link.PeerCertificate() != m_pControl->peerCertificate()) {
        m_strReply = LoadString(IDS_FTP_DATA_OTHER_CERT);
        return false;
    }
    return true;
}
