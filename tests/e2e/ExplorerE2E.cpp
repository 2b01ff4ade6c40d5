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
// job's measurements go to the server and on to another job of the
// instrument (erasing, listing and the local side are the explorer tests'
// own). And servers that require TLS or speak SFTP.
class ExplorerE2E : public QObject, public CExplorerFixture
{
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void measurementsThroughTheServerToAnotherJob()
    {
        CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
        QVERIFY2(server.Start(), qPrintable(server.m_strProblem));
        QVERIFY(QDir(server.m_strRoot).mkpath("survey"));
        QVERIFY(QDir(m_dir->path()).mkpath("handheld"));
        const QByteArray state = R"({"name": "SIM",
            "jobs": [{"name": "A1", "number": 1, "fixpoints": ["F1,1.0,2.0,3.0"], "measurements":
                      ["11 1001 100.000 200.000", "11 1002 110.000 205.500", "11 1003 120.250 210.000"]},
                     {"name": "", "number": 2}],
            "formats": [{"name": "TQS", "number": 1, "first": 1, "second": 1},
                        {"name": "VORN", "number": 2, "first": 1, "second": 1}],
            "codeLists": [{"name": "CODES", "number": 1, "lines": ["001 TREE", "002 POLE"]}]})";
        QVERIFY(WriteFile(m_dir->filePath("state.json"), state));
        CSimProcess sim;
        QVERIFY(sim.Start({"--state", m_dir->filePath("state.json"), "--link", m_dir->filePath("tty"), "--save-state",
                           m_dir->filePath("saved.json")}));

        StartExplorer(m_dir->filePath("handheld"), true);
        CProfile::WriteString("COM_DEVICES", "COM1", m_dir->filePath("tty"));
        SetFtpServer(server.m_nPort, server.m_strUser, server.m_strPassword);
        m_view->PortRoot()->setExpanded(true);
        QVERIFY2(m_prompt->m_shown.isEmpty(), qPrintable(m_prompt->m_shown.join(" | ")));
        QCOMPARE(m_view->PortRoot()->text(0), QString("Port1:SIM"));
        QTreeWidgetItem* jobs = Node(m_view->PortRoot(), "Jobs");
        QCOMPARE(Labels(jobs), QStringList({"Job 1: A1", "Job 2: empty"}));
        QTreeWidgetItem* survey = Open(m_view->FtpRoot(), "survey");
        const QByteArray measurements = "11 1001 100.000 200.000\r\n11 1002 110.000 205.500\r\n"
                                        "11 1003 120.250 210.000\r\n";

        m_prompt->PushDataDownload(true, "A1.VRN", 0);
        Paste(Find(Find(jobs, "Job 1"), "Measurements"), survey);
        QCOMPARE(ReadFile(server.m_strRoot + "/survey/A1.VRN"), measurements);
        QCOMPARE(Labels(survey), QStringList("A1.VRN"));
        // Job 1 already has the name the file proposes: the user names job 2.
        m_prompt->PushName(true, "A2");
        Paste(Node(survey, "A1.VRN"), Find(jobs, "Job 2"));
        QCOMPARE(Find(jobs, "Job 2")->text(0), QString("Job 2: A2"));
        QCOMPARE(m_prompt->m_shown, QStringList({"Data Download...: A1", "New job name: Enter new name"}));
        StopExplorer();

        QCOMPARE(sim.Stop(), 0);
        QVERIFY(!QFileInfo::exists(m_dir->filePath("tty"))); // the simulator removes its link
        const QJsonArray saved = QJsonDocument::fromJson(ReadFile(m_dir->filePath("saved.json")))["jobs"].toArray();
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
        StartTrusting(server, server.m_strPassword, {"Encryption", "require"}, certificate.m_strFingerprint);
        QVERIFY(m_view->FtpClient().IsDataEncrypted());
        // A new window, the same server: no question.
        m_frame = std::make_unique<CMainFrame>();
        m_view = m_frame->View();
        m_view->OnInitialUpdate();
        Download();
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
        StartTrusting(server, QString(), {"Protocol", "SFTP"}, "ssh-ed25519");
        Download();
        Paste(Node(m_view->MyComputerRoot(), "Local\\Sub"), m_view->FtpRoot());
        QCOMPARE(ReadFile(server.m_strRoot + "/Sub/s.VRN"), QByteArray("sub"));
        m_prompt->PushButton(IDYES);
        Run(Node(Open(m_view->FtpRoot()), "Sub"), ID_EDIT_DELETE);
        QVERIFY(!QFileInfo::exists(server.m_strRoot + "/Sub"));
        QCOMPARE(m_prompt->m_shown.size(), 2);
        StopExplorer();
        qputenv("HOME", home);
    }

private:
    // The explorer on a folder with "Local/Sub/s.VRN", pointed at a server
    // whose root holds "plan.VRN", with one more FTP setting: the first
    // opening of "FTP" asks once about the server, naming key.
    template <class TServer>
    void StartTrusting(const TServer& server, const QString& password, const QStringList& setting, const QString& key)
    {
        QVERIFY(WriteFile(server.m_strRoot + "/plan.VRN", "plan")
                && WriteFile(m_dir->filePath("Local/Sub/s.VRN"), "sub"));
        StartExplorer(m_dir->path());
        SetFtpServer(server.m_nPort, server.m_strUser, password);
        CProfile::WriteString("FTP", setting[0], setting[1]);
        m_prompt->PushButton(IDYES);
        QCOMPARE(Labels(Open(m_view->FtpRoot())), QStringList("plan.VRN"));
        QCOMPARE(m_prompt->m_shown.size(), 1);
        QVERIFY2(m_prompt->m_shown[0].contains(key), qPrintable(m_prompt->m_shown[0]));
    }
    // "plan.VRN" from the server's root into "Local".
    void Download()
    {
        QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
        Paste(Node(Open(m_view->FtpRoot()), "plan.VRN"), local);
        QCOMPARE(ReadFile(m_dir->filePath("Local/plan.VRN")), QByteArray("plan"));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(ExplorerE2E)
#include "ExplorerE2E.moc"
