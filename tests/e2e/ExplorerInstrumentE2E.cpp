#include "explorer/CommandIds.h"
#include "explorer/MainFrame.h"
#include "explorer/TessaroView.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"
#include "platform/Services.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedPrompt.h"

#include <QAction>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The explorer against the instrument simulator on a pseudo-terminal, with
// the protocol's real pauses: connect, list, receive into a folder, erase.
class ExplorerInstrumentE2E : public QObject
{
    Q_OBJECT

private slots:
    void connectReceiveAndErase();

private:
    QTreeWidgetItem* Find(QTreeWidgetItem* parent, const QString& prefix);
};

QTreeWidgetItem* ExplorerInstrumentE2E::Find(QTreeWidgetItem* parent, const QString& prefix)
{
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0).startsWith(prefix))
            return parent->child(i);
    }
    return nullptr;
}

void ExplorerInstrumentE2E::connectReceiveAndErase()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("handheld/Data");
    const QJsonObject state{
        {"name", "SIM"},
        {"jobs",
         QJsonArray{
             QJsonObject{{"name", "A1"},
                         {"number", 1},
                         {"measurements",
                          QJsonArray{"11 1001 100.000 200.000", "11 1002 110.000 205.500", "11 1003 120.250 210.000"}},
                         {"fixpoints", QJsonArray{"F1,1.0,2.0,3.0"}}},
             QJsonObject{{"name", ""}, {"number", 2}},
         }},
        {"formats",
         QJsonArray{QJsonObject{{"name", "TQS"}, {"number", 1}, {"first", 1}, {"second", 1}},
                    QJsonObject{{"name", "VORN"}, {"number", 2}, {"first", 1}, {"second", 1}}}},
        {"codeLists",
         QJsonArray{QJsonObject{
             {"name", "CODES"}, {"number", 1}, {"count", 2}, {"lines", QJsonArray{"001 TREE", "002 POLE"}}}}},
    };
    QFile stateFile(dir.filePath("state.json"));
    QVERIFY(stateFile.open(QIODevice::WriteOnly));
    stateFile.write(QJsonDocument(state).toJson());
    stateFile.close();

    QProcess sim;
    sim.start(qEnvironmentVariable("INSTRUMENT_SIM"),
              {"--state", dir.filePath("state.json"), "--link", dir.filePath("tty"), "--save-state",
               dir.filePath("saved.json"), "--transcript", dir.filePath("transcript.txt")});
    QVERIFY2(sim.waitForStarted(), qPrintable(sim.errorString()));
    QVERIFY(sim.waitForReadyRead(10000));
    QVERIFY(sim.readLine().startsWith("device: "));

    QVERIFY(CLocalPaths::SetRoot(dir.filePath("handheld")));
    CProfile::SetFile(dir.filePath("profile.ini"));
    CProfile::WriteString("COM_DEVICES", "COM1", dir.filePath("tty"));
    CScriptedPrompt prompt;
    CRecordingProgress progress;
    CScopedServices services(nullptr, &prompt, &progress);

    {
        CMainFrame frame;
        CTessaroView* view = frame.View();
        view->OnInitialUpdate();

        view->PortRoot()->setExpanded(true);
        QVERIFY2(prompt.m_shown.isEmpty(), qPrintable(prompt.m_shown.join(" | ")));
        QCOMPARE(view->PortRoot()->text(0), QString("Port1:SIM"));
        QCOMPARE(CTessaroView::ChildLabels(view->PortRoot()), QStringList({"Jobs", "Formats", "Codes"}));
        QTreeWidgetItem* jobs = view->PortRoot()->child(0);
        QCOMPARE(CTessaroView::ChildLabels(jobs), QStringList({"Job 1: A1", "Job 2: empty"}));
        QCOMPARE(CTessaroView::ChildLabels(Find(jobs, "Job 1")),
                 QStringList({"Fix Points: 1 Fix blocks", "Measurements: 3 Measurements blocks"}));
        QCOMPARE(CTessaroView::ChildLabels(view->PortRoot()->child(1)), QStringList("Formats 1: VORN"));
        QCOMPARE(CTessaroView::ChildLabels(view->PortRoot()->child(2)), QStringList("Code 0: CODES: 2 "));

        // Measurements of job 1 into the local folder Data.
        view->setCurrentItem(Find(Find(jobs, "Job 1"), "Measurements"));
        frame.UpdateCommandUI();
        frame.Action(ID_EDIT_COPY)->trigger();
        view->setCurrentItem(Find(view->MyComputerRoot(), "Data"));
        frame.UpdateCommandUI();
        prompt.PushDataDownload(true, "A1.VRN", 0);
        frame.Action(ID_EDIT_PASTE)->trigger();
        QFile received(dir.filePath("handheld/Data/A1.VRN"));
        QVERIFY2(received.open(QIODevice::ReadOnly), qPrintable(prompt.m_shown.join(" | ")));
        QCOMPARE(received.readAll(),
                 QByteArray("11 1001 100.000 200.000\r\n11 1002 110.000 205.500\r\n11 1003 120.250 210.000\r\n"));
        QCOMPARE(CTessaroView::ChildLabels(Find(view->MyComputerRoot(), "Data")), QStringList("A1.VRN"));

        // Erase them: question, pause, the Jobs folder listed again.
        view->setCurrentItem(Find(Find(jobs, "Job 1"), "Measurements"));
        frame.UpdateCommandUI();
        prompt.PushButton(IDYES);
        frame.Action(ID_EDIT_DELETE)->trigger();
        QCOMPARE(prompt.m_shown.last(),
                 QString("Warning: Delete Measurements: A1:\nData will be definitely lost! - Continue anyway?"));
        QCOMPARE(CTessaroView::ChildLabels(Find(jobs, "Job 1")).value(1),
                 QString("Measurements: 0 Measurements blocks"));
        QVERIFY(prompt.m_unexpected.isEmpty());
    }

    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
    QFile saved(dir.filePath("saved.json"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QJsonObject job1 = QJsonDocument::fromJson(saved.readAll()).object()["jobs"].toArray()[0].toObject();
    QCOMPARE(job1["measurements"].toArray().size(), 0);
    QCOMPARE(job1["fixpoints"].toArray().size(), 1);
    CProfile::SetFile(QString());
}

QTEST_MAIN(ExplorerInstrumentE2E)
#include "ExplorerInstrumentE2E.moc"
