#include "ftp/DialUpLink.h"
#include "support/ScriptedRemoteAccess.h"
#include "platform/Services.h"

#include <gtest/gtest.h>

// Connected only with a handle the service reports live; the service is not
// asked without one. Hanging up releases exactly the held handle and forgets it.
TEST(DialUpLink, ConnectedFollowsTheHeldHandleAndHangUpForgetsIt)
{
    CScriptedRemoteAccess service;
    CServices::SetRemoteAccess(&service);
    CDialUpLink link;
    link.HangUp();
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(service.m_nLiveQueries + service.m_hangUps.size(), 0);

    link.m_hConnection = 7;
    EXPECT_FALSE(link.IsConnected());
    service.m_live = {7};
    EXPECT_TRUE(link.IsConnected());
    link.HangUp();
    EXPECT_EQ(service.m_hangUps, QList<CRemoteAccess::Handle>({7}));
    EXPECT_EQ(link.m_hConnection, 0u);
    EXPECT_FALSE(link.IsConnected());
    CServices::SetRemoteAccess(nullptr);
}
