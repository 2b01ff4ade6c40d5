#include "ScriptedRemoteAccess.h"

#include "platform/WaitCursor.h"

void CScriptedRemoteAccess::PushDial(int result, Handle handle)
{
    m_results.append({result, handle});
}

bool CScriptedRemoteAccess::ListConnections(QStringList& names)
{
    names = m_bListOk ? m_names : QStringList();
    return m_bListOk;
}

int CScriptedRemoteAccess::Dial(const QString& name, const QString& userName, const QString& password, Handle& handle)
{
    m_dials.append({name, userName, password, CWaitCursor::Depth() > 0});
    if (m_results.isEmpty()) {
        ++m_nUnexpectedDials;
        handle = 0;
        return DIAL_LINK_FAILED;
    }
    const auto [result, dialled] = m_results.takeFirst();
    handle = dialled;
    if (result == DIAL_CONNECTED)
        m_live.insert(handle);
    return result;
}

bool CScriptedRemoteAccess::HangUp(Handle handle)
{
    m_hangUps.append(handle);
    return m_live.remove(handle);
}
