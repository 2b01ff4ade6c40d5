#include "FtpSession.h"

#include "FtpClient.h"
#include "FtpSettings.h"
#include "SftpClient.h"

CFtpSession::CFtpSession()
{
    Attach(std::make_unique<CFtpClient>());
}

CFtpSession::~CFtpSession()
{
    LogOff();
}

std::unique_ptr<CFtpClient> CFtpSession::MakeClient() const
{
    if (m_logon.m_bSftp)
        return std::make_unique<CSftpClient>();
    return std::make_unique<CFtpClient>();
}

void CFtpSession::SetLogon(const CLogon& logon)
{
    m_logon = logon;
    if (m_pClient->IsSftp() == logon.m_bSftp)
        return;
    std::unique_ptr<CFtpClient> client = MakeClient();
    client->m_nTimeoutMs = m_pClient->m_nTimeoutMs;
    client->m_eCopyMode = m_pClient->m_eCopyMode;
    client->m_bPassive = m_pClient->m_bPassive;
    client->m_nMaxListingBytes = m_pClient->m_nMaxListingBytes;
    client->m_nMaxCopyDepth = m_pClient->m_nMaxCopyDepth;
    client->m_nMaxCopyFolders = m_pClient->m_nMaxCopyFolders;
    ReplaceClient(std::move(client));
}

bool CFtpSession::IsReady()
{
    return m_bLoggedOn && m_pClient->CheckIdleControl();
}

bool CFtpSession::EnsureLoggedOn()
{
    // A reply that came too late or never ended makes the client close its
    // control connection, so do a 421, a close or a reset from the other
    // side; the session is then over and a new logon follows.
    if (IsReady())
        return true;
    m_bLoggedOn = false;
    CFtpClient& client = *m_pClient;
    const QString server = FtpServerKey(m_logon.m_strHost, m_logon.m_nPort);
    client.m_eEncryption = m_logon.m_eEncryption;
    client.m_strRememberedFingerprint = CFtpSettings::RememberedFingerprint(server);
    client.m_strTrustedFingerprint = m_logon.m_strTrustedFingerprint;
    client.m_bMayAskTrust = m_logon.m_bMayAskTrust;
    const bool loggedOn = client.LogOn(m_logon.m_strHost, m_logon.m_nPort, m_logon.m_strUser, m_logon.m_strPassword,
                                       QString(), QString(), QString(), QString(), 0, 0);
    // A certificate the user trusted stays trusted, also when the logon
    // itself then failed.
    if (!client.m_strAcceptedFingerprint.isEmpty())
        CFtpSettings::RememberFingerprint(server, client.m_strAcceptedFingerprint);
    m_bLoggedOn = loggedOn;
    return loggedOn;
}

bool CFtpSession::Run(const std::function<bool(CFtpClient&)>& operation, ERepeat repeat)
{
    if (!EnsureLoggedOn())
        return false;
    m_pClient->m_bCancelled = false; // left from an earlier operation
    if (operation(*m_pClient))
        return true;
    // Only a connection lost from the other side is worth a second try: a
    // refusal would be refused again, a time-out would double the wait, and
    // a cancel was the user's will.
    if (repeat == NEVER_REPEAT || m_pClient->m_bCancelled || !m_pClient->IsConnectionLost())
        return false;
    m_bRepeat = true;
    const bool done = EnsureLoggedOn() && operation(*m_pClient);
    m_bRepeat = false;
    return done;
}

void CFtpSession::ReplaceClient(std::unique_ptr<CFtpClient> client)
{
    if (!client)
        return;
    LogOff();
    Attach(std::move(client));
}

void CFtpSession::Attach(std::unique_ptr<CFtpClient> client)
{
    m_pClient = std::move(client);
    // A transfer that lost its control connection logs on again through
    // the session and goes on.
    m_pClient->m_fnLogOnAgain = [this] {
        m_bLoggedOn = false;
        return EnsureLoggedOn();
    };
}

void CFtpSession::DropClient()
{
    Attach(MakeClient());
    m_bLoggedOn = false;
}

void CFtpSession::LogOff()
{
    if (m_bLoggedOn)
        m_pClient->LogOff();
    m_bLoggedOn = false;
}
