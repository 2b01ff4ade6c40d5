#pragma once

#include "platform/RemoteAccess.h"

#include <QList>
#include <QSet>

// A remote-access service for tests: a fixed list of connection names,
// dial results given in order, a set of live handles. It records every dial
// (with whether the wait cursor was showing) and every hang-up.
class CScriptedRemoteAccess : public CRemoteAccess
{
public:
    struct CDialRequest
    {
        QString m_strName;
        QString m_strUserName;
        QString m_strPassword;
        bool m_bWaitCursor = false;
    };

    // The next Dial returns result and handle; a successful one makes the
    // handle live. A Dial with nothing queued counts in m_nUnexpectedDials and
    // fails with DIAL_LINK_FAILED.
    void PushDial(int result, Handle handle);

    bool ListConnections(QStringList& names) override;
    int Dial(const QString& name, const QString& userName, const QString& password, Handle& handle) override;
    bool HangUp(Handle handle) override;
    bool IsLive(Handle handle) override { return m_live.contains(handle); }

    bool m_bListOk = true;
    QStringList m_names;
    QSet<Handle> m_live;
    QList<CDialRequest> m_dials;
    QList<Handle> m_hangUps;
    int m_nUnexpectedDials = 0;

private:
    QList<QPair<int, Handle>> m_results;
};
