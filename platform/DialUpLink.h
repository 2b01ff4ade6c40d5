#pragma once

#include "platform/RemoteAccess.h"

// The dial-up connection the explorer holds: the handle of a connection that
// the Connect dialog dialled, kept until Disconect hangs it up.
class CDialUpLink
{
public:
    virtual ~CDialUpLink() = default;

    // True while a connection is held and the remote-access service reports
    // it up (or on its way up or down); false without a handle.
    bool IsConnected() const;
    // Hangs up the held connection, if any, and forgets it.
    void HangUp();

    CRemoteAccess::Handle m_hConnection = 0;
};
