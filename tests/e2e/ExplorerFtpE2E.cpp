#include "FtpServerProcess.h"

#include "explorer/CommandIds.h"
#include "explorer/MainFrame.h"
#include "explorer/TessaroView.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedPrompt.h"
#include "platform/Services.h"

#include <QAction>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// In the explorer alone, with the protocols' real pauses: a job's
// measurements go from the instrument simulator to pyftpdlib, come back into
// a local folder, and go on to another job of the instrument.
class ExplorerFtpE2E : public QObject
{
    Q_OBJECT

private slots:
    void measurementsThroughTheServerToAnotherJob();

private:
    static QTreeWidgetItem* Find(QTreeWidgetItem* parent, const QString& prefix);
    void Paste(QTreeWidgetItem* source, QTreeWidgetItem* target);
    static QByteArray Read(const QString& path);

    CMainFrame* m_pFrame = nullptr;
};

QTreeWidgetItem* ExplorerFtpE2E::Find(QTreeWidgetItem* parent, const QString& prefix)
{
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0).startsWith(prefix))
            return parent->child(i);
    }
    return nullptr;
}

void ExplorerFtpE2E::Paste(QTreeWidgetItem* source, QTreeWidgetItem* target)
{
    QVERIFY(source && target);
    CTessaroView* view = m_pFrame->View();
    view->setCurrentItem(source);
    m_pFrame->UpdateCommandUI();
    m_pFrame->Action(ID_EDIT_COPY)->trigger();
    view->setCurrentItem(target);
    m_pFrame->UpdateCommandUI();
    QVERIFY(m_pFrame->Action(ID_EDIT_PASTE)->isEnabled());
    m_pFrame->Action(ID_EDIT_PASTE)->trigger();
}

QByteArray ExplorerFtpE2E::Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void ExplorerFtpE2E::measurementsThroughTheServerToAnotherJob()
{
    CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
    QVERIFY2(server.Start(), qPrintable(server.m_strProblem));
    QDir(server.m_strRoot).mkpath("survey");

    QTemporaryDir dir;
    QDir(dir.path()).mkpath("handheld/Data");
    const QJsonArray lines{"11 1001 100.000 200.000", "11 1002 110.000 205.500", "11 1003 120.250 210.000"};
    const QJsonObject state{
        {"name", "TC"},
        {"jobs",
         QJsonArray{QJsonObject{{"name", "A1"}, {"number", 1}, {"measurements", lines}},
                    QJsonObject{{"name", ""}, {"number", 2}}}},
        {"formats",
         QJsonArray{QJsonObject{{"name", "TQS"}, {"number", 1}, {"first", 1}, {"second", 1}},
                    QJsonObject{{"name", "VORN"}, {"number", 2}, {"first", 1}, {"second", 1}}}},
        {"codeLists", QJsonArray{QJsonObject{{"name", "CODES"}, {"number", 1}, {"lines", QJsonArray{"001 TREE"}}}}},
    };
    QFile stateFile(dir.filePath("state.json"));
    QVERIFY(stateFile.open(QIODevice::WriteOnly));
    stateFile.write(QJsonDocument(state).toJson());
    stateFile.close();
    QProcess sim;
    sim.start(qEnvironmentVariable("INSTRUMENT_SIM"),
              {"--state", dir.filePath("state.json"), "--link", dir.filePath("tty"), "--save-state",
               dir.filePath("saved.json")});
    QVERIFY2(sim.waitForStarted(), qPrintable(sim.errorString()));
    QVERIFY(sim.waitForReadyRead(10000));

    QVERIFY(CLocalPaths::SetRoot(dir.filePath("handheld")));
    CProfile::SetFile(dir.filePath("profile.ini"));
    CProfile::WriteString("COM_DEVICES", "COM1", dir.filePath("tty"));
    CProfile::WriteString("FTP", "ServerName", QString("127.0.0.1:%1").arg(server.m_nPort));
    CProfile::WriteString("FTP", "UserName", server.m_strUser);
    CProfile::WriteString("FTP", "Password", server.m_strPassword);
    CScriptedPrompt prompt;
    CRecordingProgress progress;
    CScopedServices services(nullptr, &prompt, &progress);
    const QByteArray measurements = "11 1001 100.000 200.000\r\n11 1002 110.000 205.500\r\n11 1003 120.250 210.000\r\n";

    {
        CMainFrame frame;
        m_pFrame = &frame;
        CTessaroView* view = frame.View();
        view->OnInitialUpdate();
        view->PortRoot()->setExpanded(true);
        view->FtpRoot()->setExpanded(true);
        QCOMPARE(CTessaroView::ChildLabels(view->FtpRoot()), QStringList("survey"));
        QTreeWidgetItem* jobs = view->PortRoot()->child(0);
        QTreeWidgetItem* survey = Find(view->FtpRoot(), "survey");

        prompt.PushDataDownload(true, "A1.VRN", 0);
        Paste(Find(Find(jobs, "Job 1"), "Measurements"), survey);
        QCOMPARE(Read(server.m_strRoot + "/survey/A1.VRN"), measurements);
        QCOMPARE(CTessaroView::ChildLabels(survey), QStringList("A1.VRN"));

        Paste(Find(survey, "A1.VRN"), Find(view->MyComputerRoot(), "Data"));
        QCOMPARE(Read(dir.filePath("handheld/Data/A1.VRN")), measurements);

        // Job 1 already has the name the file proposes: the user names job 2.
        prompt.PushName(true, "A2");
        Paste(Find(survey, "A1.VRN"), Find(jobs, "Job 2"));
        QVERIFY2(prompt.Idle(), qPrintable(prompt.m_unexpected.join(" | ")));
        QCOMPARE(Find(jobs, "Job 2")->text(0), QString("Job 2: A2"));
        QVERIFY(!QFile::exists(CLocalPaths::StagingPath("tempftp")));
        QVERIFY(!QFile::exists(CLocalPaths::StagingPath("FTP-INSTRUMENT")));
        QCOMPARE(prompt.m_shown, QStringList({"Data Download...: A1", "New job name: Enter new name"}));
    }

    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
    QFile saved(dir.filePath("saved.json"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QJsonObject job2 = QJsonDocument::fromJson(saved.readAll()).object()["jobs"].toArray()[1].toObject();
    QCOMPARE(job2["name"].toString(), QString("A2"));
    QCOMPARE(job2["fixpoints"].toArray(), lines);
    CProfile::SetFile(QString());
}

QTEST_MAIN(ExplorerFtpE2E)
#include "ExplorerFtpE2E.moc"
