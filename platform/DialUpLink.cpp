#include "DialUpLink.h"

#include "platform/Services.h"

bool CDialUpLink::IsConnected() const
{
    return m_hConnection != 0 && CServices::RemoteAccess().IsLive(m_hConnection);
}

void CDialUpLink::HangUp()
{
    if (m_hConnection != 0)
        CServices::RemoteAccess().HangUp(m_hConnection);
    m_hConnection = 0;
}
