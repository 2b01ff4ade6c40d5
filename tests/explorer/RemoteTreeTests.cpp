#include "ScriptedFtpServer.h"
#include "ServerTreeFixture.h"

#include "ftp/FtpClient.h"

#include <QLineEdit>
#include <QTcpServer>

// The FTP tree against pyftpdlib and a scripted FTP peer: opening folders,
// copies both ways, sessions the client ended, and the instrument's data on
// its way through the server.
class RemoteTreeTests : public QObject, public CServerTreeFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(StartServer(), qPrintable(m_server.m_strProblem)); }
    void init() { StartWithServer(); }
    void cleanup() { StopWithServer(); }

    void openingListsAnewAndFailuresLeaveAPlaceholder()
    {
        for (const char* file : {"share/a.txt", "share/Jobs 2024/J1.VRN", "share/empty/", "share/gone/"})
            Write(file);
        QTreeWidgetItem* ftp = m_view->FtpRoot();

        // A refused logon shows the server's reply, and the next opening tries again.
        SetFtpServer(m_server.m_nPort, m_server.m_strUser, "wrong");
        Open(ftp);
        QCOMPARE(m_prompt->m_shown, QStringList(": 530 Authentication failed."));
        QCOMPARE(Labels(ftp), QStringList("..."));
        QVERIFY(!m_view->LoggedOn());
        SetFtpServer(m_server.m_nPort, m_server.m_strUser, m_server.m_strPassword);
        Open(ftp);
        QVERIFY(m_view->LoggedOn());
        QCOMPARE(Labels(ftp), QStringList({"Jobs 2024", "empty", "gone", "a.txt"}));
        QCOMPARE(Labels(Open(ftp, "Jobs 2024")), QStringList("J1.VRN"));
        QCOMPARE(Labels(Open(ftp, "empty")), QStringList());
        QVERIFY(m_statuses.contains(QString("Logging on to 127.0.0.1:%1...").arg(m_server.m_nPort)));
        QVERIFY(m_statuses.contains("Opening /Jobs 2024..."));
        // A folder that went away keeps only the placeholder, and says why.
        QVERIFY(QDir(Path("share/gone")).removeRecursively());
        QCOMPARE(Labels(Open(Node(ftp, "gone"))), QStringList("..."));
        QCOMPARE(m_prompt->m_shown.last(), QString(": 550 No such file or directory."));
        // Every opening lists anew, never doubled. A connection the client had
        // to close (a late or endless reply) ends the session: the next opening
        // logs on afresh instead of failing for good.
        Write("share/b.txt");
        m_view->FtpClient().CloseControlChannel();
        Open(ftp);
        QVERIFY(m_view->LoggedOn());
        QCOMPARE(Labels(ftp), QStringList({"Jobs 2024", "empty", "a.txt", "b.txt"}));
        QCOMPARE(m_prompt->m_shown.size(), 2);
        QCOMPARE(Node(ftp, "a.txt")->toolTip(0).section('\n', 0, 0), QString("1 bytes"));

        // A server that accepts and never answers: the Transfer window names
        // it, and its Cancel ends the wait at once, with no message.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        m_view->ReplaceFtpClient(std::make_unique<CFtpClient>());
        SetFtpServer(silent.serverPort(), "u", "p");
        m_progress->m_nCancelAtPoll = m_progress->m_nPolls + 3;
        QElapsedTimer waited;
        waited.start();
        Open(ftp);
        QVERIFY2(waited.elapsed() < 3000, qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(m_progress->m_strText, QString("127.0.0.1:%1").arg(silent.serverPort()));
        QVERIFY(m_progress->m_bCancelled && !m_progress->m_bVisible);
        QCOMPARE(m_prompt->m_shown.size(), 2);
        QCOMPARE(Labels(ftp), QStringList("..."));
        m_progress->m_nCancelAtPoll = 0;
    }

    void filesAndFolderTreesBothWays()
    {
        // That the bytes arrive whole is the FTP client tests' to check.
        const QByteArray bytes(70000, '\xE9');
        Write("Local/all.bin", bytes);
        Write("Local/Tree/a.txt", "a\r\n");
        Write("Local/Tree/sub/b.txt", "b");
        Write("Local/Tree/sub/deep/c.bin", bytes.left(5000));
        Write("Local/Back/");
        Write("share/in/");
        QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
        QTreeWidgetItem* ftp = m_view->FtpRoot();
        QTreeWidgetItem* in = Open(ftp, "in");

        // Into closed folders, which open to show what arrived.
        in->setExpanded(false);
        Paste(Node(local, "all.bin"), in);
        QCOMPARE(FilesBelow(Path("share/in")), (QMap<QString, QByteArray>{{"all.bin", bytes}}));
        QVERIFY(in->isExpanded() && !Node(local, "Back")->isExpanded());
        Paste(Node(in, "all.bin"), Node(local, "Back"));
        QCOMPARE(FilesBelow(Path("Local/Back")), (QMap<QString, QByteArray>{{"all.bin", bytes}}));
        QVERIFY(Node(local, "Back")->isExpanded());

        // A folder tree up into the server's root folder and down again.
        Paste(Node(local, "Tree"), ftp);
        QCOMPARE(FilesBelow(Path("share/Tree")), FilesBelow(Path("Local/Tree")));
        QCOMPARE(Labels(ftp), QStringList({"Tree", "in"}));
        Paste(Node(ftp, "Tree"), Node(local, "Back"));
        QCOMPARE(FilesBelow(Path("Local/Back/Tree")), FilesBelow(Path("Local/Tree")));
        QCOMPARE(Labels(Node(local, "Back")), QStringList({"Tree", "all.bin"}));
        // The root "FTP" itself, as a folder called FTP.
        Paste(ftp, Node(local, "Back"));
        QCOMPARE(FilesBelow(Path("Local/Back/FTP")), FilesBelow(Path("share")));
        QVERIFY(m_prompt->m_shown.isEmpty());

        // Onto a remote folder that went away: the server's answer, then the placeholder.
        in = Node(ftp, "in");
        QVERIFY(QDir(Path("share/in")).removeRecursively());
        Paste(Node(local, "all.bin"), in);
        QCOMPARE(m_prompt->m_shown.size(), 1);
        QVERIFY2(m_prompt->m_shown.first().startsWith(": 550 "), qPrintable(m_prompt->m_shown.first()));
        QCOMPARE(Labels(in), QStringList("..."));
    }

    void aFolderIsNeverPastedIntoItself()
    {
        Write("share/sub/f.txt", "f");
        Write("share/sub/deeper/");
        const QMap<QString, QByteArray> before = FilesBelow(Path("share"));
        QTreeWidgetItem* localShare = Open(m_view->MyComputerRoot(), "share\\sub\\deeper")->parent()->parent();
        QTreeWidgetItem* ftp = m_view->FtpRoot();
        QTreeWidgetItem* remoteSub = Open(ftp, "sub\\deeper")->parent();

        // The local "share" and the root "FTP" are one folder seen from both sides.
        const std::pair<QTreeWidgetItem*, QTreeWidgetItem*> rows[] = {
            {Node(localShare, "sub"), remoteSub},                 // into itself
            {Node(localShare, "sub"), Node(remoteSub, "deeper")}, // into its own subfolder
            {Node(localShare, "sub"), ftp},                       // onto itself, from its parent
            {remoteSub, Node(localShare, "sub\\deeper")},         // down into its own subfolder
            {remoteSub, localShare},                              // down onto itself
            {ftp, Node(localShare, "sub")},                       // the root into its subfolder
        };
        for (const auto& [source, target] : rows) {
            m_prompt->m_shown.clear();
            Paste(source, target);
            QCOMPARE(m_prompt->m_shown,
                     QStringList(": A folder can not be pasted into itself or into one of its own subfolders."));
            QCOMPARE(FilesBelow(Path("share")), before);
            QVERIFY(QDir(Path("share/sub/deeper")).isEmpty());
            QVERIFY(!Exists("share/sub/sub") && !Exists("share/FTP"));
        }
    }

    void instrumentDataPassOnlyWhatArrivedWhole()
    {
        ScriptConnect({"A1,3,5,7", ",4,0,0"});
        m_view->PortRoot()->setExpanded(true);
        QTreeWidgetItem* jobs = Node(m_view->PortRoot(), "Jobs");
        QTreeWidgetItem* job = Find(jobs, "Job 3");
        Write("share/up/");
        QTreeWidgetItem* up = Open(m_view->FtpRoot(), "up");

        // Received whole, the measurements go on to the server.
        const QMap<QString, QByteArray> received = {{"up/A1.VRN", "11 line one\r\n"}};
        ScriptReceive({"11 line one\r\n", ""});
        m_prompt->PushDataDownload(true, "A1.VRN", 0);
        Paste(Node(job, "Measurements: 7 Measurements blocks"), up);
        QCOMPARE(FilesBelow(Path("share")), received);
        QCOMPARE(Labels(up), QStringList("A1.VRN"));

        // The instrument breaks off: nothing reaches the server.
        QVERIFY(WriteFile(CLocalPaths::StagingPath("tempftp"), "left by an earlier run\r\n"));
        ScriptReceive({"11 line one\r\n", "@E1\r\n"});
        m_device->Expect("c\r\n");
        m_prompt->PushDataDownload(true, "A1.VRN", 0);
        Paste(Node(job, "Measurements: 7 Measurements blocks"), up);
        QCOMPARE(FilesBelow(Path("share")), received);

        // Downloaded for the instrument, the file goes to the empty job 4,
        // under a name the user gives (job 3 has the one the file proposes).
        m_prompt->PushName(true, "A2");
        for (const char* written : {"c", "FORM/SET/1", "c", "JOB/SET/A2/4", "c", "JOB/SND/COORD/4"})
            m_device->Expect(QByteArray(written) + "\r\n", "OK\r\n");
        m_device->Expect("11 line one\r\n\r\n", "?\r\n");
        ScriptJobs({"A1,3,5,7", "A2,4,1,0"});
        Paste(Node(up, "A1.VRN"), Find(jobs, "Job 4"));
        QCOMPARE(Labels(jobs), QStringList({"Job 3: A1", "Job 4: A2"}));

        // A download bound for the instrument that fails or is cancelled sends
        // nothing at all.
        const qsizetype writes = m_device->m_writes.size();
        QVERIFY(QFile::remove(Path("share/up/A1.VRN")));
        m_prompt->m_shown.clear();
        Paste(Node(up, "A1.VRN"), Find(jobs, "Job 3"));
        QCOMPARE(m_prompt->m_shown, QStringList(": 550 No such file or directory."));
        Write("share/up/A1.VRN");
        m_progress->m_nCancelAtPoll = m_progress->m_nPolls + 1;
        m_frame->Action(ID_EDIT_PASTE)->trigger();
        QCOMPARE(m_device->m_writes.size(), writes);
        QCOMPARE(m_prompt->m_shown.size(), 1);
    }

    // The exact wire of a session, against a scripted peer.
    void quitOnlyEndsASessionThatALogonOpened()
    {
        auto refused = std::make_unique<CScriptedFtpServer>();
        refused->On("AUTH", "502 Command not implemented."); // no TLS here: plain FTP
        refused->Queue({"331 Password required", "530 Login incorrect."});
        refused->Start();
        SetFtpServer(refused->Port(), m_server.m_strUser, "pw");
        Open(m_view->FtpRoot());
        // A client put in place of one that never logged on ends nothing either.
        m_view->ReplaceFtpClient(std::make_unique<CFtpClient>());
        refused->Join();
        m_frame.reset();
        QCOMPARE(refused->m_transcript, (std::vector<std::string>{"AUTH TLS", "USER tess", "PASS pw"}));

        CScriptedFtpServer server;
        for (const char* rule : {"USER|331 Password required", "PASS|230 Logged in", "CWD|250 OK", "TYPE|200 OK",
                                 "PORT|200 OK", "QUIT|221 Bye", "MKD|257 Created", "RMD|550 Not allowed"}) {
            const QList<QByteArray> parts = QByteArray(rule).split('|');
            server.On(parts[0].toStdString(), parts[1].toStdString());
        }
        server.On("LIST",
                  ScriptedFtp::SendFile("drwxr-xr-x 2 u g 0 Dec 06 21:16 data\r\n"
                                        "-rw-r--r-- 1 u g 0 Dec 06 21:16 ..\\evil\r\n"));
        server.Start();
        SetFtpServer(server.Port(), m_server.m_strUser, "pw");
        m_frame = std::make_unique<CMainFrame>();
        m_view = m_frame->View();
        m_view->OnInitialUpdate();
        QTreeWidgetItem* data = Open(m_view->FtpRoot(), "data");
        QCOMPARE(Labels(data), QStringList({"data", "..\\evil"}));
        // A name that is no plain name is shown, but nothing acts on it.
        QVERIFY(!Enabled(Node(data, "..\\evil"), ID_EDIT_COPY));
        // Whether a folder copy would land in itself is found out without
        // writing to the server (this account cannot remove folders).
        Write("Local/Up/");
        Paste(Node(Open(m_view->MyComputerRoot(), "Local"), "Up"), data);
        QVERIFY(QDir(Path("Local/Up")).isEmpty());
        // Another password ends the session, and "FTP" is as before its first opening.
        OnModal([](QWidget* dlg) {
            Control<QLineEdit>(dlg, 1002)->setText("other");
            QMetaObject::invokeMethod(dlg, "accept");
        });
        m_frame->Action(ID_SETTINGS_FTP)->trigger();
        server.Join();
        QVERIFY(!m_view->LoggedOn());
        QCOMPARE(Labels(m_view->FtpRoot()), QStringList("not connected"));
        QVERIFY(!m_view->FtpRoot()->isExpanded());
        m_frame.reset();
        // The copy walks the scripted folder that holds itself, with no probe
        // made or removed there; the new password's QUIT is the session's only one.
        const ScriptedFtp::Lines walked = ScriptedFtp::Only(server.m_transcript, {"CWD"});
        QCOMPARE(ScriptedFtp::Lines(walked.begin(), walked.begin() + 2), ScriptedFtp::Split("CWD /|CWD /data/"));
        QCOMPARE(ScriptedFtp::Only(server.m_transcript, {"MKD", "RMD", "QUIT"}), ScriptedFtp::Split("MKD Up|QUIT"));
    }
};

QTEST_MAIN(RemoteTreeTests)
#include "RemoteTreeTests.moc"
