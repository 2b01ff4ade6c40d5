#include "ExplorerFixture.h"
#include "FtpServerProcess.h"
#include "SftpServerProcess.h"

#include "ftp/FtpClient.h"
#include "support/CiSkip.h"
#include "tools/PtyPeer.h"

#include <QJsonArray>
#include <QJsonDocument>

// In the explorer alone, with the protocols' real pauses and time-outs, the
// instrument simulator on a pseudo-terminal and pyftpdlib on 127.0.0.1: a
// job's measurements go to the server, come back into a local folder, go on
// to another job of the instrument, and are then erased from the first. And
// a server that requires TLS.
class ExplorerE2E : public QObject, public CExplorerFixture
{
    Q_OBJECT

private slots:
    void measurementsThroughTheServerToAnotherJobThenErased()
    {
        CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
        QVERIFY2(server.Start(), qPrintable(server.m_strProblem));
        QVERIFY(QDir(server.m_strRoot).mkpath("survey"));
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("handheld/Data"));
        const QByteArray state = R"({"name": "SIM",
            "jobs": [{"name": "A1", "number": 1, "fixpoints": ["F1,1.0,2.0,3.0"], "measurements":
                      ["11 1001 100.000 200.000", "11 1002 110.000 205.500", "11 1003 120.250 210.000"]},
                     {"name": "", "number": 2}],
            "formats": [{"name": "TQS", "number": 1, "first": 1, "second": 1},
                        {"name": "VORN", "number": 2, "first": 1, "second": 1}],
            "codeLists": [{"name": "CODES", "number": 1, "lines": ["001 TREE", "002 POLE"]}]})";
        QVERIFY(WriteFile(dir.filePath("state.json"), state));
        CSimProcess sim;
        QVERIFY(sim.Start({"--state", dir.filePath("state.json"), "--link", dir.filePath("tty"), "--save-state",
                           dir.filePath("saved.json")}));

        StartExplorer(dir.filePath("handheld"), true);
        CProfile::WriteString("COM_DEVICES", "COM1", dir.filePath("tty"));
        SetFtpServer(server.m_nPort, server.m_strUser, server.m_strPassword);
        m_view->PortRoot()->setExpanded(true);
        QVERIFY2(m_prompt->m_shown.isEmpty(), qPrintable(m_prompt->m_shown.join(" | ")));
        QCOMPARE(m_view->PortRoot()->text(0), QString("Port1:SIM"));
        QTreeWidgetItem* jobs = Node(m_view->PortRoot(), "Jobs");
        QCOMPARE(Labels(jobs), QStringList({"Job 1: A1", "Job 2: empty"}));
        QCOMPARE(Labels(jobs->child(0)),
                 QStringList({"Fix Points: 1 Fix blocks", "Measurements: 3 Measurements blocks"}));
        QCOMPARE(Labels(Node(m_view->PortRoot(), "Formats")), QStringList("Formats 1: VORN"));
        QCOMPARE(Labels(Node(m_view->PortRoot(), "Codes")), QStringList("Code 0: CODES: 2 "));
        QTreeWidgetItem* survey = Open(m_view->FtpRoot(), "survey");
        const QByteArray measurements = "11 1001 100.000 200.000\r\n11 1002 110.000 205.500\r\n"
                                        "11 1003 120.250 210.000\r\n";

        m_prompt->PushDataDownload(true, "A1.VRN", 0);
        Paste(Find(Find(jobs, "Job 1"), "Measurements"), survey);
        QCOMPARE(ReadFile(server.m_strRoot + "/survey/A1.VRN"), measurements);
        QCOMPARE(Labels(survey), QStringList("A1.VRN"));
        Paste(Node(survey, "A1.VRN"), Node(m_view->MyComputerRoot(), "Data"));
        QCOMPARE(ReadFile(dir.filePath("handheld/Data/A1.VRN")), measurements);
        // Job 1 already has the name the file proposes: the user names job 2.
        m_prompt->PushName(true, "A2");
        Paste(Node(survey, "A1.VRN"), Find(jobs, "Job 2"));
        QCOMPARE(Find(jobs, "Job 2")->text(0), QString("Job 2: A2"));

        // Erased: the question, the pause, the Jobs folder listed again.
        m_prompt->PushButton(IDYES);
        Run(Find(Find(jobs, "Job 1"), "Measurements"), ID_EDIT_DELETE);
        QCOMPARE(Labels(Find(jobs, "Job 1")).value(1), QString("Measurements: 0 Measurements blocks"));
        QCOMPARE(m_prompt->m_shown,
                 QStringList({"Data Download...: A1", "New job name: Enter new name",
                              "Warning: Delete Measurements: A1:\nData will be definitely lost! - Continue anyway?"}));
        StopExplorer();

        QCOMPARE(sim.Stop(), 0);
        QVERIFY(!QFileInfo::exists(dir.filePath("tty"))); // the simulator removes its link
        const QJsonArray saved = QJsonDocument::fromJson(ReadFile(dir.filePath("saved.json")))["jobs"].toArray();
        QCOMPARE(saved[0]["measurements"].toArray().size(), 0);
        QCOMPARE(saved[0]["fixpoints"].toArray().size(), 1);
        QCOMPARE(saved[1]["name"].toString(), QString("A2"));
        QCOMPARE(saved[1]["fixpoints"], QJsonDocument::fromJson(state)["jobs"][0]["measurements"]);
    }

    // A server that requires TLS, with a certificate of its own: asked about
    // once, remembered, and then files come as with plain FTP.
    void tlsServerWithACertificateTrustedOnce()
    {
        CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
        CTestCertificate certificate;
        if (!server.StartWithTls(certificate))
            TESSARO_QSKIP(qPrintable(server.m_strProblem));
        QVERIFY(WriteFile(server.m_strRoot + "/plan.VRN", "plan"));
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("Local"));
        StartExplorer(dir.path());
        SetFtpServer(server.m_nPort, server.m_strUser, server.m_strPassword);
        CProfile::WriteString("FTP", "Encryption", "require");

        m_prompt->PushButton(IDYES);
        QCOMPARE(Labels(Open(m_view->FtpRoot())), QStringList("plan.VRN"));
        QCOMPARE(m_prompt->m_shown.size(), 1);
        QVERIFY2(m_prompt->m_shown[0].contains(certificate.m_strFingerprint), qPrintable(m_prompt->m_shown[0]));
        QVERIFY(m_view->FtpClient().IsDataEncrypted());
        // A new window, the same server: no question.
        m_frame = std::make_unique<CMainFrame>();
        m_view = m_frame->View();
        m_view->OnInitialUpdate();
        QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
        Paste(Node(Open(m_view->FtpRoot()), "plan.VRN"), local);
        QCOMPARE(ReadFile(dir.filePath("Local/plan.VRN")), QByteArray("plan"));
        QCOMPARE(m_prompt->m_shown.size(), 1);
        StopExplorer();
    }

    // Protocol SFTP against sshd: the host key asked about once, then the
    // root, a download, an upload, a folder copy up and Delete as over FTP.
    void sftpServer()
    {
        CSftpServerProcess server;
        if (!server.Start())
            TESSARO_QSKIP(qPrintable(server.m_strProblem));
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", server.m_strHome.toLocal8Bit());
        qunsetenv("SSH_AUTH_SOCK");
        QVERIFY(WriteFile(server.m_strRoot + "/plan.VRN", "plan"));
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("Local/Sub") && WriteFile(dir.filePath("Local/Sub/s.VRN"), "sub"));
        StartExplorer(dir.path());
        SetFtpServer(server.m_nPort, server.m_strUser, QString());
        CProfile::WriteString("FTP", "Protocol", "SFTP");

        m_prompt->PushButton(IDYES);
        QTreeWidgetItem* root = Open(m_view->FtpRoot());
        QCOMPARE(Labels(root), QStringList("plan.VRN"));
        QVERIFY2(m_prompt->m_shown.value(0).contains("ssh-ed25519"), qPrintable(m_prompt->m_shown.join(" | ")));
        QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
        Paste(Node(root, "plan.VRN"), local);
        QCOMPARE(ReadFile(dir.filePath("Local/plan.VRN")), QByteArray("plan"));
        Paste(Node(local, "Sub"), root);
        QCOMPARE(ReadFile(server.m_strRoot + "/Sub/s.VRN"), QByteArray("sub"));
        m_prompt->PushButton(IDYES);
        Run(Node(Open(m_view->FtpRoot()), "Sub"), ID_EDIT_DELETE);
        QVERIFY(!QFileInfo::exists(server.m_strRoot + "/Sub"));
        QCOMPARE(m_prompt->m_shown.size(), 2);
        StopExplorer();
        qputenv("HOME", home);
    }
};

QTEST_MAIN(ExplorerE2E)
#include "ExplorerE2E.moc"
