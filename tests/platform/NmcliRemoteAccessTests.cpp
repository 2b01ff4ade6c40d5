#include "FakeNmcli.h"

#include "platform/LocalPaths.h"
#include "platform/NmcliRemoteAccess.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

const QByteArray kListing = "Field Modem:1111:gsm::\n"
                            "Wired connection 1:2222:802-3-ethernet:eth0:activated\n"
                            "Back\\:up \\\\ link:3333:pppoe::\n"
                            ":4444:cdma::\n"
                            "a line that nmcli would not write\n"
                            "Zeta DSL:5555:adsl::\n";

class FakeNmcli : public ::testing::Test, public CFakeNmcli
{
protected:
    void SetUp() override { Script("list", kListing); }
    CNmcliRemoteAccess m_nm;
    CRemoteAccess::Handle m_handle = 99;
};

} // namespace

// Dial-up profiles in nmcli's order, fields unescaped; a missing, stopped,
// flooding or hanging NetworkManager gives an empty list in bounded time.
TEST_F(FakeNmcli, ListingAndAbsentOrBrokenNetworkManager)
{
    QStringList names{"stale"};
    ASSERT_TRUE(m_nm.ListConnections(names));
    EXPECT_EQ(names, QStringList({"Field Modem", "Back:up \\ link", "", "Zeta DSL"}));
    EXPECT_EQ(Calls(), QStringList({"|-t|-f|NAME,UUID,TYPE,DEVICE,STATE|connection|show"}));

    Script("list", "", 8);
    EXPECT_FALSE(m_nm.ListConnections(names));
    EXPECT_TRUE(names.isEmpty());
    EXPECT_EQ(m_nm.Dial("Field Modem", "", "", m_handle), 8);
    EXPECT_EQ(m_handle, 0u);
    Write("list.out", QByteArray(CNmcliRemoteAccess::kMaxOutput + 10, 'x'));
    EXPECT_FALSE(m_nm.ListConnections(names));

    Write("list.sleep", "");
    m_nm.SetTimeouts(300, 300, 300);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(m_nm.ListConnections(names));
    EXPECT_LT(timer.elapsed(), 15000); // the fake hangs for 30 s

    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", Path("no-such-folder").toUtf8());
    EXPECT_FALSE(m_nm.ListConnections(names));
    EXPECT_EQ(m_nm.Dial("Field Modem", "", "", m_handle), 8);
    qputenv("PATH", path);
}

// nmcli's answer to "up", and what is already up, make the result; the
// handle names the connection that a hang-up then takes down.
TEST_F(FakeNmcli, DialResults)
{
    const struct
    {
        const char* what;
        QByteArray listing;
        const char* name;
        int upRc, result, ups, downs;
        const char* handleUuid;
    } rows[] = {
        {"up", kListing, "Field Modem", 0, 0, 1, 0, "1111"},
        {"activation failed", kListing, "Zeta DSL", 4, 628, 1, 0, "5555"},
        {"timed out: taken down", kListing, "Back:up \\ link", 3, 628, 1, 1, "3333"},
        {"other error", kListing, "Field Modem", 5, 5, 1, 0, "1111"},
        {"unknown name", kListing, "No Such Link", 0, 10, 0, 0, nullptr},
        {"not dial-up", kListing, "Wired connection 1", 0, 10, 0, 0, nullptr},
        {"already up", "Field Modem:1111:gsm:ttyUSB2:activated\n", "Field Modem", 0, 602, 0, 0, "1111"},
        {"modem busy", "Field Modem:1111:gsm::\nOther SIM:7777:gsm:ttyUSB2:activating\n", "Field Modem", 0, 602, 0, 0,
         "7777"},
        {"PPPoE is no modem", "Field Modem:1111:gsm::\nBack:3333:pppoe:ppp0:activated\n", "Field Modem", 0, 0, 1, 0,
         "1111"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QFile::remove(Path("calls.log"));
        Script("list", row.listing);
        Script("up", "", row.upRc);
        CNmcliRemoteAccess nm;
        EXPECT_EQ(nm.Dial(row.name, "", "", m_handle), row.result);
        EXPECT_EQ(Calls("up").size(), row.ups);
        EXPECT_EQ(Calls("down").size(), row.downs);
        EXPECT_EQ(m_handle != 0, row.handleUuid != nullptr);
        if (row.handleUuid) {
            EXPECT_TRUE(nm.HangUp(m_handle));
            EXPECT_TRUE(Calls("down").last().endsWith(QString("|down|uuid|") + row.handleUuid));
        }
    }
}

// The password only in a private file, removed at once; credentials that
// would smuggle lines into that file, or are too long, never reach nmcli.
TEST_F(FakeNmcli, CredentialsTravelSafely)
{
    Script("get", "old-user\n");
    ASSERT_EQ(m_nm.Dial("Field Modem", "crew", "s3cr:t with spaces", m_handle), 0);
    const QList<QByteArray> seen = Read("passwd.seen").split('\n');
    ASSERT_EQ(seen.size(), 4);
    EXPECT_EQ(QFileInfo(seen[0]).absolutePath(), QFileInfo(CLocalPaths::StagingPath("x")).absolutePath());
    EXPECT_FALSE(QFile::exists(seen[0]));
    EXPECT_EQ(seen[1] + '\n' + seen[2], "600\ngsm.password:s3cr:t with spaces");
    EXPECT_FALSE(Calls().join("").contains("s3cr"));
    EXPECT_EQ(Calls("modify"), QStringList({"|connection|modify|--temporary|uuid|1111|gsm.username|crew"}));
    EXPECT_TRUE(Calls("up")[0].endsWith("|connection|up|uuid|1111|passwd-file|" + seen[0]));

    Script("get", "crew\n"); // unchanged user name, no password: no modify, no file
    ASSERT_EQ(m_nm.Dial("Field Modem", "crew", "", m_handle), 0);
    EXPECT_EQ(Calls("modify").size(), 1);
    EXPECT_FALSE(Calls("up")[1].contains("passwd-file"));

    const int calls = Calls().size();
    for (const auto& [user, password] : {std::pair<QString, QString>{"crew", "pw\nvpn.secrets:x"},
                                         {"crew", "pw\r"},
                                         {"cr\new", ""},
                                         {QString("c") + QChar(0), ""},
                                         {QString(257, 'u'), ""},
                                         {"", QString(257, 'p')}})
        EXPECT_EQ(m_nm.Dial("Field Modem", user, password, m_handle), 2);
    EXPECT_EQ(Calls().size(), calls);
    EXPECT_EQ(m_nm.Dial("Field Modem", QString(256, 'u'), QString(256, 'p'), m_handle), 0);
}

TEST_F(FakeNmcli, LiveStateAndHangingDial)
{
    ASSERT_EQ(m_nm.Dial("Field Modem", "", "", m_handle), 0);
    const struct
    {
        QByteArray listing;
        int rc;
        bool live;
    } rows[] = {{"Field Modem:1111:gsm:ttyUSB2:activating\n", 0, true},
                {"Field Modem:1111:gsm:ttyUSB2:deactivating\n", 0, true},
                {"Field Modem:1111:gsm::deactivated\n", 0, false},
                {"Field Modem:1111:gsm::\n", 0, false},
                {"Field Modem:1111:gsm:ttyUSB2:activated\n", 8, false}};
    for (const auto& row : rows) {
        Script("list", row.listing, row.rc);
        EXPECT_EQ(m_nm.IsLive(m_handle), row.live) << row.listing.constData();
    }
    const int calls = Calls().size();
    EXPECT_FALSE(m_nm.IsLive(42));
    EXPECT_FALSE(m_nm.HangUp(42));
    EXPECT_EQ(Calls().size(), calls);

    // "up" never returns: killed, taken down, reported as no link.
    Script("list", kListing);
    Write("up.sleep", "");
    m_nm.SetTimeouts(300, 400, 300);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(m_nm.Dial("Field Modem", "", "secret", m_handle), 628);
    EXPECT_LT(timer.elapsed(), 15000);
    EXPECT_EQ(Calls("down").size(), 1);
    EXPECT_FALSE(QFile::exists(Read("passwd.seen").split('\n')[0]));
}
