#include "ftp/DialUpLink.h"
#include "platform/ScriptedRemoteAccess.h"
#include "platform/Services.h"

#include <gtest/gtest.h>

namespace {

class CInstalledRemoteAccess
{
public:
    explicit CInstalledRemoteAccess(CRemoteAccess* service) { CServices::SetRemoteAccess(service); }
    ~CInstalledRemoteAccess() { CServices::SetRemoteAccess(nullptr); }
};

} // namespace

// Connected only with a handle whose connection the service reports live;
// Disconect hangs up exactly the held handle and forgets it.
TEST(DialUpLink, ConnectedFollowsTheHeldHandleAndHangUpForgetsIt)
{
    CScriptedRemoteAccess service;
    CInstalledRemoteAccess installed(&service);
    CDialUpLink link;

    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(service.m_nLiveQueries, 0);
    link.HangUp();
    EXPECT_TRUE(service.m_hangUps.isEmpty());

    link.m_hConnection = 7;
    EXPECT_FALSE(link.IsConnected());
    service.m_live = {7};
    EXPECT_TRUE(link.IsConnected());
    service.m_live = {8}; // the other side dropped ours
    EXPECT_FALSE(link.IsConnected());

    service.m_live = {7};
    link.HangUp();
    EXPECT_EQ(service.m_hangUps, QList<CRemoteAccess::Handle>({7}));
    EXPECT_EQ(link.m_hConnection, 0u);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_TRUE(service.m_live.isEmpty());
}
