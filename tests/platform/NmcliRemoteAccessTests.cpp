#include "platform/LocalPaths.h"
#include "platform/NmcliRemoteAccess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A stand-in for nmcli, first on PATH. Each call appends its arguments to
// calls.log (one call a line, arguments separated by '|'), copies a
// passwd-file's content and mode, and then answers as scripted for its verb
// (list, get, modify, up, down): <verb>.out is printed, <verb>.rc is the exit
// code, <verb>.sleep makes it hang.
const char kFakeNmcli[] = R"SH(#!/bin/sh
dir=$(dirname "$0")
verb=list
prev=
line=
for a in "$@"; do
  line="$line|$a"
  if [ "$verb" = list ]; then
    case "$a" in
      up|down|modify) verb=$a ;;
      -g) verb=get ;;
    esac
  fi
  if [ "$prev" = passwd-file ]; then
    cat "$a" > "$dir/passwd.seen"
    stat -c %a "$a" > "$dir/passwd.mode"
    printf '%s' "$a" > "$dir/passwd.path"
  fi
  prev=$a
done
printf '%s\n' "$line" >> "$dir/calls.log"
[ -f "$dir/$verb.sleep" ] && exec sleep "$(cat "$dir/$verb.sleep")"
[ -f "$dir/$verb.out" ] && cat "$dir/$verb.out"
exit "$(cat "$dir/$verb.rc" 2>/dev/null || echo 0)"
)SH";

const QByteArray kListing = "Field Modem:1111-aaaa:gsm::\n"
                            "Wired connection 1:2222-bbbb:802-3-ethernet:eth0:activated\n"
                            "Back\\:up \\\\ link:3333-cccc:pppoe::\n"
                            ":4444-dddd:cdma::\n"
                            "a line that nmcli would not write\n"
                            "Zeta DSL:5555-eeee:adsl::\n";

class FakeNmcli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_oldPath = qgetenv("PATH");
        QFile script(m_dir.filePath("nmcli"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(kFakeNmcli);
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("PATH", (m_dir.path() + ":").toUtf8() + m_oldPath);
        Script("list", kListing);
        m_nm.SetTimeouts(5000, 5000, 5000);
    }
    void TearDown() override { qputenv("PATH", m_oldPath); }

    void Script(const char* verb, const QByteArray& out, int rc = 0)
    {
        Write(QString::fromLatin1(verb) + ".out", out);
        Write(QString::fromLatin1(verb) + ".rc", QByteArray::number(rc));
    }
    void Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray Read(const QString& name) const
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList Calls() const { return QString::fromUtf8(Read("calls.log")).split('\n', Qt::SkipEmptyParts); }
    QStringList CallsOf(const QString& verb) const
    {
        QStringList calls;
        for (const QString& call : Calls()) {
            if (call.contains("|" + verb + "|"))
                calls << call;
        }
        return calls;
    }

    QTemporaryDir m_dir;
    QByteArray m_oldPath;
    CNmcliRemoteAccess m_nm;
};

} // namespace

TEST(NmcliOutput, TerseLinesSplitAtUnescapedColons)
{
    const struct
    {
        QByteArray line;
        QStringList fields;
    } rows[] = {
        {"Field Modem:1111:gsm::", {"Field Modem", "1111", "gsm", "", ""}},
        {"Back\\:up \\\\ link:3333:pppoe:ppp0:activated", {"Back:up \\ link", "3333", "pppoe", "ppp0", "activated"}},
        {"Gr\xc3\xbc\xc3\x9f"
         "e:1:gsm::",
         {QString::fromUtf8("Grüße"), "1", "gsm", "", ""}},
        {"trailing\\", {"trailing\\"}},
        {"", {""}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CNmcliRemoteAccess::SplitTerse(row.line), row.fields) << row.line.constData();

    const auto connections = CNmcliRemoteAccess::ParseConnections(kListing);
    ASSERT_EQ(connections.size(), 5);
    EXPECT_EQ(connections[1].m_strDevice, "eth0");
    EXPECT_EQ(connections[2].m_strName, "Back:up \\ link");
    EXPECT_EQ(connections[3].m_strName, "");
}

TEST_F(FakeNmcli, DialUpConnectionsAreListedInNmcliOrder)
{
    QStringList names{"stale"};
    ASSERT_TRUE(m_nm.ListConnections(names));
    EXPECT_EQ(names, QStringList({"Field Modem", "Back:up \\ link", "", "Zeta DSL"}));
    EXPECT_EQ(Calls(), QStringList({"|-t|-f|NAME,UUID,TYPE,DEVICE,STATE|connection|show"}));
}

// NetworkManager missing, not running, hanging or flooding: an empty list,
// never a hang, and a dial that fails with a number.
TEST_F(FakeNmcli, AbsentOrBrokenNetworkManagerGivesAnEmptyListInBoundedTime)
{
    QStringList names{"stale"};
    CRemoteAccess::Handle handle = 9;

    Script("list", "", 8);
    EXPECT_FALSE(m_nm.ListConnections(names));
    EXPECT_TRUE(names.isEmpty());
    EXPECT_EQ(m_nm.Dial("Field Modem", "", "", handle), 8);
    EXPECT_EQ(handle, 0u);

    Write("list.out", QByteArray(CNmcliRemoteAccess::kMaxOutput + 10, 'x'));
    EXPECT_FALSE(m_nm.ListConnections(names));

    Write("list.sleep", "30");
    m_nm.SetTimeouts(300, 300, 300);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(m_nm.ListConnections(names));
    EXPECT_FALSE(m_nm.IsLive(1));
    EXPECT_LT(timer.elapsed(), 3000);

    const QByteArray path = qgetenv("PATH");
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toUtf8());
    EXPECT_FALSE(m_nm.ListConnections(names));
    EXPECT_EQ(m_nm.Dial("Field Modem", "", "", handle), 8);
    qputenv("PATH", path);
}

// What nmcli answers to "up", and what is already up, become the dial's result.
TEST_F(FakeNmcli, DialResultsMapOntoConnectedInUseAndLinkFailed)
{
    const struct
    {
        const char* what;
        QByteArray listing;
        const char* name;
        int upRc;
        int result;
        int ups;
        int downs;
        const char* handleUuid; // whose handle comes back, nullptr for none
    } rows[] = {
        {"up", kListing, "Field Modem", 0, 0, 1, 0, "1111-aaaa"},
        {"activation failed", kListing, "Zeta DSL", 4, 628, 1, 0, "5555-eeee"},
        {"nmcli timed out: taken down", kListing, "Back:up \\ link", 3, 628, 1, 1, "3333-cccc"},
        {"other error keeps its number", kListing, "Field Modem", 5, 5, 1, 0, "1111-aaaa"},
        {"unknown name", kListing, "No Such Link", 0, 10, 0, 0, nullptr},
        {"not a dial-up connection", kListing, "Wired connection 1", 0, 10, 0, 0, nullptr},
        {"already up", "Field Modem:1111-aaaa:gsm:ttyUSB2:activated\n", "Field Modem", 0, 602, 0, 0, "1111-aaaa"},
        {"modem busy with another", "Field Modem:1111-aaaa:gsm::\nOther SIM:7777-ffff:gsm:ttyUSB2:activating\n",
         "Field Modem", 0, 602, 0, 0, "7777-ffff"},
        {"a busy PPPoE link is no modem", "Field Modem:1111-aaaa:gsm::\nBack:3333-cccc:pppoe:ppp0:activated\n",
         "Field Modem", 0, 0, 1, 0, "1111-aaaa"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QFile::remove(m_dir.filePath("calls.log"));
        Script("list", row.listing);
        Script("up", "", row.upRc);
        CNmcliRemoteAccess nm;
        CRemoteAccess::Handle handle = 99;
        EXPECT_EQ(nm.Dial(row.name, "", "", handle), row.result);
        EXPECT_EQ(CallsOf("up").size(), row.ups);
        EXPECT_EQ(CallsOf("down").size(), row.downs);
        if (!row.handleUuid) {
            EXPECT_EQ(handle, 0u);
            continue;
        }
        ASSERT_NE(handle, 0u);
        // The handle names that connection: hanging up takes exactly it down.
        QFile::remove(m_dir.filePath("calls.log"));
        EXPECT_TRUE(nm.HangUp(handle));
        ASSERT_EQ(CallsOf("down").size(), 1);
        EXPECT_TRUE(CallsOf("down")[0].endsWith(QString("|down|uuid|") + row.handleUuid));
    }
}

TEST_F(FakeNmcli, PasswordTravelsOnlyInAPrivateFileThatIsRemovedAtOnce)
{
    const QString password = "s3cr:t with spaces";
    Script("get", "field-old\n");
    CRemoteAccess::Handle handle = 0;
    ASSERT_EQ(m_nm.Dial("Field Modem", "field-user", password, handle), 0);

    EXPECT_EQ(Read("passwd.seen"), "gsm.password:" + password.toUtf8() + "\n");
    EXPECT_EQ(Read("passwd.mode"), "600\n");
    const QString file = QString::fromUtf8(Read("passwd.path"));
    EXPECT_EQ(QFileInfo(file).absolutePath(), QFileInfo(CLocalPaths::StagingPath("x")).absolutePath());
    EXPECT_FALSE(QFile::exists(file));
    for (const QString& call : Calls())
        EXPECT_FALSE(call.contains("s3cr")) << qPrintable(call);

    // The user name goes to the profile in memory only, and only when it differs.
    EXPECT_EQ(CallsOf("modify"),
              QStringList({"|connection|modify|--temporary|uuid|1111-aaaa|gsm.username|field-user"}));
    ASSERT_EQ(CallsOf("up").size(), 1);
    EXPECT_TRUE(CallsOf("up")[0].contains("|connection|up|uuid|1111-aaaa|passwd-file|"));
    Script("get", "field-user\n");
    ASSERT_EQ(m_nm.Dial("Field Modem", "field-user", "", handle), 0);
    EXPECT_EQ(CallsOf("modify").size(), 1);
    EXPECT_FALSE(CallsOf("up")[1].contains("passwd-file"));

    // A modify that is refused ends the dial with its code.
    Script("get", "someone\n");
    Script("modify", "", 1);
    EXPECT_EQ(m_nm.Dial("Field Modem", "field-user", "", handle), 1);
    EXPECT_EQ(CallsOf("up").size(), 2);
}

// A line break would smuggle another property into the passwd-file; such
// credentials and over-long ones never reach nmcli.
TEST_F(FakeNmcli, CredentialsThatCannotPassUnchangedAreRefused)
{
    const struct
    {
        QString user;
        QString password;
    } rows[] = {
        {"field-user", "pw\nvpn.secrets:other"}, {"field-user", "pw\rx"}, {"field\nuser", "pw"},
        {QString("pw") + QChar(0) + "x", ""},    {QString(257, 'u'), ""}, {"", QString(257, 'p')},
    };
    for (const auto& row : rows) {
        CRemoteAccess::Handle handle = 5;
        EXPECT_EQ(m_nm.Dial("Field Modem", row.user, row.password, handle), 2);
        EXPECT_EQ(handle, 0u);
    }
    EXPECT_TRUE(Calls().isEmpty());
    CRemoteAccess::Handle handle = 0;
    EXPECT_EQ(m_nm.Dial("Field Modem", QString(256, 'u'), QString(256, 'p'), handle), 0);
}

TEST_F(FakeNmcli, LiveStateFollowsNmcliAndHangingDialsAreBounded)
{
    CRemoteAccess::Handle handle = 0;
    ASSERT_EQ(m_nm.Dial("Field Modem", "", "", handle), 0);
    for (const char* state : {"activating", "activated", "deactivating"}) {
        Script("list", QByteArray("Field Modem:1111-aaaa:gsm:ttyUSB2:") + state + "\n");
        EXPECT_TRUE(m_nm.IsLive(handle)) << state;
    }
    for (const QByteArray& listing : {QByteArray("Field Modem:1111-aaaa:gsm::deactivated\n"),
                                      QByteArray("Field Modem:1111-aaaa:gsm::\n"), QByteArray()}) {
        Script("list", listing);
        EXPECT_FALSE(m_nm.IsLive(handle)) << listing.constData();
    }
    Script("list", "Field Modem:1111-aaaa:gsm:ttyUSB2:activated\n", 1);
    EXPECT_FALSE(m_nm.IsLive(handle));

    QFile::remove(m_dir.filePath("calls.log"));
    EXPECT_FALSE(m_nm.IsLive(0));
    EXPECT_FALSE(m_nm.IsLive(42));
    EXPECT_FALSE(m_nm.HangUp(42));
    EXPECT_TRUE(Calls().isEmpty());
    Script("down", "", 10);
    EXPECT_FALSE(m_nm.HangUp(handle));

    // nmcli that never returns from "up": killed, taken down, reported failed.
    Script("list", kListing);
    Script("down", "");
    Write("up.sleep", "30");
    m_nm.SetTimeouts(300, 400, 300);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(m_nm.Dial("Field Modem", "", "secret", handle), 628);
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(CallsOf("down").size(), 2);
    EXPECT_FALSE(QFile::exists(QString::fromUtf8(Read("passwd.path"))));
}
