#include "dialogs/ConnectDlg.h"
#include "DialogTestUtil.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"
#include "support/ScriptedPrompt.h"
#include "support/ScriptedRemoteAccess.h"
#include "tests/platform/FakeNmcli.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

void Store(const QString& entry, const QString& user, const QString& password)
{
    CProfile::WriteString("DIAL_UP_SETTINGS", entry + "_DIAL_UP_USER_NAME", user);
    CProfile::WriteString("DIAL_UP_SETTINGS", entry + "_DIAL_UP_PWD", password);
}

// The list's entries, then the selected one, user name, password, "Save password".
QStringList Shown(const CConnectDlg& dlg)
{
    QStringList shown;
    const auto* list = Control<QComboBox>(&dlg, 1026);
    for (int i = 0; i < list->count(); ++i)
        shown << list->itemText(i);
    return shown << "|" << list->currentText() << Control<QLineEdit>(&dlg, 1028)->text()
                 << Control<QLineEdit>(&dlg, 1029)->text()
                 << (Control<QCheckBox>(&dlg, 1037)->isChecked() ? "checked" : "unchecked");
}

void Type(CConnectDlg& dlg, const QString& user, const QString& password)
{
    Control<QLineEdit>(&dlg, 1028)->setText(user);
    Control<QLineEdit>(&dlg, 1029)->setText(password);
    Control<QPushButton>(&dlg, 1)->click();
}

// Profile, prompts, clock and (unless nmcli's) remote access of one test.
struct CFixture
{
    explicit CFixture(bool scripted = true) { CServices::SetRemoteAccess(scripted ? &m_service : nullptr); }
    ~CFixture() { CServices::SetRemoteAccess(nullptr); }
    QStringList Messages() const { return QStringList(m_prompt.m_shown).replaceInStrings(AppTitle() + ": ", ""); }

    CTempProfile m_profile;
    CScriptedPrompt m_prompt;
    CVirtualClock m_clock;
    CScriptedRemoteAccess m_service;
    CScopedServices m_services{&m_clock, &m_prompt, nullptr};
};

const QString kInUse = "Port already in use. Try to disconnect and connect again ?";
const QString kOpened = "Connection was opened successfuly";

} // namespace

class ConnectDlgTest : public QObject
{
    Q_OBJECT

private slots:
    // Sorted, without empty names, the manager's first entry selected with its
    // stored credentials (keys without trailing blanks); choosing another loads
    // its own but leaves "Save password" as it was. No manager: the message,
    // an empty dialog, and Connect dials an empty name.
    void listAndRecalledCredentials()
    {
        CFixture f;
        f.m_service.m_names = {"Zeta DSL", "", "alpha modem", "Field Modem  "};
        Store("Zeta DSL", "zeta-user", "zeta-pw");
        Store("Field Modem", "field-user", "");
        CConnectDlg dlg;
        QCOMPARE(Shown(dlg),
                 QStringList(
                     {"alpha modem", "Field Modem  ", "Zeta DSL", "|", "Zeta DSL", "zeta-user", "zeta-pw", "checked"}));
        Control<QComboBox>(&dlg, 1026)->setCurrentIndex(1);
        QCOMPARE(Shown(dlg).mid(4), QStringList({"Field Modem  ", "field-user", "", "checked"}));
        QVERIFY(f.m_prompt.m_shown.isEmpty());

        for (bool listOk : {false, true}) {
            CFixture g;
            g.m_service.m_bListOk = listOk;
            Store("", "stray-user", "stray-pw");
            CConnectDlg empty;
            QCOMPARE(Shown(empty), QStringList({"|", "", "", "", "unchecked"}));
            g.m_service.PushDial(623, 0);
            Type(empty, "", "");
            QCOMPARE(g.m_service.m_dials[0].m_strName, QString());
            QCOMPARE(g.Messages(),
                     QStringList(listOk ? QStringList() : QStringList{"Can not find avaiable connections"})
                         << "Connection error 623");
        }
    }

    // Each outcome's messages, hang-ups and pauses, the dial under the wait
    // cursor, the dialog left open and the profile untouched on failure. On
    // success "Save password" unchecked forgets the stored password; the
    // entry's trailing blanks are not part of its keys.
    void dialOutcomes()
    {
        const struct
        {
            QList<int> results; // dial results in order, each with handle 10 + position
            QList<int> answers; // to "Port already in use"
            QStringList messages;
            QList<CRemoteAccess::Handle> hangUps;
            CRemoteAccess::Handle handle;
            bool save = true;
        } rows[] = {
            {{0}, {}, {kOpened}, {}, 10},
            {{0}, {}, {kOpened}, {}, 10, false},
            {{602, 0}, {IDYES}, {kInUse, kOpened}, {10}, 11},
            {{602}, {IDNO}, {kInUse}, {}, 10},
            {{602, 628}, {IDYES}, {kInUse, "Connection error"}, {10}, 11},
            {{628}, {}, {"Connection error"}, {}, 10},
            {{4}, {}, {"Connection error 4"}, {}, 10},
        };
        for (const auto& row : rows) {
            CFixture f;
            f.m_service.m_names = {"Field Modem \t"};
            Store("Field Modem", "old-user", "old-pw");
            for (int i = 0; i < row.results.size(); ++i)
                f.m_service.PushDial(row.results[i], 10 + i);
            for (int answer : row.answers)
                f.m_prompt.PushButton(answer);
            CConnectDlg dlg;
            Control<QCheckBox>(&dlg, 1037)->setChecked(row.save);
            int beeps = 0;
            dlg.m_fnBeep = [&beeps] { ++beeps; };
            dlg.show();
            Type(dlg, "new-user", "new-pw");

            const bool ok = row.results.last() == 0;
            QCOMPARE(f.m_service.m_dials.size(), row.results.size());
            for (const auto& dial : f.m_service.m_dials)
                QVERIFY(dial.m_strName == "Field Modem \t" && dial.m_strUserName == "new-user"
                        && dial.m_strPassword == "new-pw" && dial.m_bWaitCursor);
            QCOMPARE(CWaitCursor::Depth(), 0);
            QCOMPARE(f.Messages(), row.messages);
            QVERIFY(f.m_prompt.Idle());
            QCOMPARE(dlg.result(), int(ok ? QDialog::Accepted : QDialog::Rejected));
            QCOMPARE(dlg.isVisible(), !ok);
            QCOMPARE(f.m_service.m_hangUps, row.hangUps);
            QCOMPARE(dlg.m_hConnection, row.handle);
            QCOMPARE(f.m_clock.m_pauses, ok ? QList<int>({5000, 3000}) : QList<int>());
            QCOMPARE(beeps, ok ? 1 : 0);
            QCOMPARE(QStringList({CProfile::ReadString("DIAL_UP_SETTINGS", "Field Modem_DIAL_UP_USER_NAME", "(none)"),
                                  CProfile::ReadString("DIAL_UP_SETTINGS", "Field Modem_DIAL_UP_PWD", "(none)")}),
                     ok ? QStringList({"new-user", row.save ? "new-pw" : ""}) : QStringList({"old-user", "old-pw"}));
            QCOMPARE(f.m_profile.Contents().contains("old-pw"), !ok);
        }
    }

    // Without a service set, the dialog lists and dials through nmcli (whose
    // own handling, credentials included, the platform tests cover).
    void nmcliEndToEnd()
    {
        CFakeNmcli nmcli;
        nmcli.Script("list", "Zeta Link:1111:gsm::\nField Modem:4444:gsm::\n");
        CFixture f(false);
        CConnectDlg dlg;
        dlg.m_fnBeep = [] {};
        QCOMPARE(Shown(dlg), QStringList({"Field Modem", "Zeta Link", "|", "Zeta Link", "", "", "unchecked"}));
        Type(dlg, "crew-7", "pw-7");
        QCOMPARE(f.Messages(), QStringList(kOpened));
    }
};

QTEST_MAIN(ConnectDlgTest)
#include "ConnectDlgTest.moc"
