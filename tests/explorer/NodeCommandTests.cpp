#include "ExplorerFixture.h"
#include "FtpServerProcess.h"
#include "ScriptedFtpServer.h"

#include "dialogs/ConnectDlg.h"
#include "dialogs/DialogTestUtil.h"
#include "ftp/FtpClient.h"
#include "resources/StringTable.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>

namespace {

// A message as the prompt records it, or none.
QStringList Shown(const QString& message)
{
    return message.isEmpty() ? QStringList() : QStringList(message);
}

const QString kNotPlain =
    ": The name \"%1\" can not be used: a name is not \".\" or \"..\" and holds no \"/\" or \"\\\".";
const QString kNotSendable =
    ": The name \"%1\" can not be sent to the FTP server: it holds a line break or characters beyond 8 bits.";
const QString kDeleteFull = ": Delete the folder \"Full\" with 2 files and 2 folders in it from the server?";
const QString kSeparator =
    ": \"%1\" holds \"\\\", which the explorer reads as a folder separator: it can be shown, but not used.";

} // namespace

// The commands on the nodes of "MyComputer", which holds "Local" and the
// folder "share" that pyftpdlib serves on 127.0.0.1 (as on a machine that
// serves its own files), of the FTP tree and of the instrument on a scripted
// line; Connect and Disconect on a scripted remote-access service. View
// starts the fake "quillon" beside this test.
class NodeCommandTests : public QObject, public CExplorerFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(m_server.Start(), qPrintable(m_server.m_strProblem)); }
    void init()
    {
        const QString root = QFileInfo(m_server.m_strRoot).path();
        for (const char* folder : {"share", "Local"}) {
            QDir(root + "/" + folder).removeRecursively();
            QVERIFY(QDir(root).mkpath(folder));
        }
        StartExplorer(root);
        SetFtpServer(m_server.m_nPort, m_server.m_strUser, m_server.m_strPassword);
        m_remoteAccess->m_names = {"Field Modem"};
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    }
    void cleanup()
    {
        StopExplorer();
        // No probe folder is left behind on the server.
        QDirIterator it(m_server.m_strRoot, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            QVERIFY2(!it.next().contains("tessaro-probe"), qPrintable(it.filePath()));
    }

    void openingListsAnewAndFailuresLeaveAPlaceholder()
    {
        for (const char* file : {"share/a.txt", "share/Jobs 2024/J1.VRN", "share/empty/", "share/gone/"})
            Write(file);
        QTreeWidgetItem* ftp = m_view->FtpRoot();
        QCOMPARE(Labels(ftp), QStringList("not connected"));

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
        // Every opening lists anew, never doubled.
        Write("share/b.txt");
        Open(ftp);
        QCOMPARE(Labels(ftp), QStringList({"Jobs 2024", "empty", "a.txt", "b.txt"}));
        // A connection the client had to close (a late or endless reply) ends the
        // session: the next opening logs on afresh instead of failing for good.
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
        QByteArray bytes;
        for (int i = 0; i < 70000; ++i)
            bytes.append(static_cast<char>((i * 7 + i / 256) & 0xFF));
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
        ScriptConnect();
        m_view->PortRoot()->setExpanded(true);
        QVERIFY2(m_device->AllExpected(), qPrintable(DeviceMismatches()));
        QTreeWidgetItem* job = Node(m_view->PortRoot(), "Jobs\\Job 3: A1");
        Write("share/up/");
        QTreeWidgetItem* up = Open(m_view->FtpRoot(), "up");

        // The instrument breaks off: nothing reaches the server.
        QVERIFY(WriteFile(CLocalPaths::StagingPath("tempftp"), "left by an earlier run\r\n"));
        ScriptReceive({"11 line one\r\n", "@E1\r\n"});
        m_device->Expect("c\r\n");
        m_prompt->PushDataDownload(true, "A1.VRN", 0);
        Paste(Node(job, "Measurements: 7 Measurements blocks"), up);
        QVERIFY2(m_device->AllExpected(), qPrintable(DeviceMismatches()));
        QVERIFY(FilesBelow(Path("share")).isEmpty());

        ScriptReceive({"11 line one\r\n", "12 line two\r\n", ""});
        m_prompt->PushDataDownload(true, "A1.VRN", 0);
        m_frame->Action(ID_EDIT_PASTE)->trigger();
        QVERIFY2(m_device->AllExpected(), qPrintable(DeviceMismatches()));
        QCOMPARE(FilesBelow(Path("share")),
                 (QMap<QString, QByteArray>{{"up/A1.VRN", "11 line one\r\n12 line two\r\n"}}));
        QCOMPARE(Labels(up), QStringList("A1.VRN"));

        // A download bound for the instrument that fails or is cancelled sends
        // nothing at all.
        const qsizetype writes = m_device->m_writes.size();
        QVERIFY(QFile::rename(Path("share/up/A1.VRN"), Path("share/up/kept.VRN")));
        m_prompt->m_shown.clear();
        Paste(Node(up, "A1.VRN"), job);
        QCOMPARE(m_prompt->m_shown, QStringList(": 550 No such file or directory."));
        QVERIFY(QFile::rename(Path("share/up/kept.VRN"), Path("share/up/A1.VRN")));
        m_progress->m_nCancelAtPoll = m_progress->m_nPolls + 1;
        m_frame->Action(ID_EDIT_PASTE)->trigger();
        QCOMPARE(m_device->m_writes.size(), writes);
        QCOMPARE(m_prompt->m_shown.size(), 1);
    }

    // A server that ended an idle session (421, then the close) is logged on
    // to again by the next command, which then does its work.
    void sessionsTheServerEndedAreLoggedOnAgain()
    {
        CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
        server.m_nIdleSeconds = 1;
        QVERIFY2(server.Start(), qPrintable(server.m_strProblem));
        QVERIFY(WriteFile(server.m_strRoot + "/Jobs/J1.VRN", "1\r\n"));
        SetFtpServer(server.m_nPort, server.m_strUser, server.m_strPassword);
        QTreeWidgetItem* ftp = m_view->FtpRoot();
        QCOMPARE(Labels(Open(ftp)), QStringList("Jobs"));
        QTest::qWait(1600);
        QCOMPARE(Labels(Open(ftp, "Jobs")), QStringList("J1.VRN"));
        QTest::qWait(1600);
        m_prompt->PushName(true, "Made");
        Run(ftp, ID_FILE_NEW_FOLDER);
        QCOMPARE(m_prompt->m_shown, QStringList("Enter folder name: "));
        QVERIFY(QFileInfo(server.m_strRoot + "/Made").isDir());
        QCOMPARE(server.Transcript().filter(QRegularExpression("^USER ")).size(), 3);
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
        QCOMPARE(m_prompt->m_shown, QStringList(": 530 Login incorrect."));
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
        QTimer::singleShot(0, this, [] {
            QWidget* dlg = QApplication::activeModalWidget();
            Control<QLineEdit>(dlg, 1002)->setText("other");
            QMetaObject::invokeMethod(dlg, "accept");
        });
        m_frame->Action(ID_SETTINGS_FTP)->trigger();
        server.Join();
        QVERIFY(!m_view->LoggedOn());
        QCOMPARE(Labels(m_view->FtpRoot()), QStringList("not connected"));
        QVERIFY(!m_view->FtpRoot()->isExpanded());
        m_frame.reset();
        std::vector<std::string> commands;
        for (const std::string& line : server.m_transcript) {
            if (line.rfind("CWD", 0) == 0 || line == "QUIT" || line.find("probe") != std::string::npos)
                commands.push_back(line);
        }
        // The copy walks the scripted folder that holds itself; no probe was made or removed there.
        QCOMPARE(std::vector<std::string>(commands.begin(), commands.begin() + 2),
                 (std::vector<std::string>{"CWD /", "CWD /data/"}));
        QCOMPARE(
            std::count_if(commands.begin(), commands.end(), [](const std::string& line) { return line == "QUIT"; }), 1);
        QCOMPARE(commands.back(), std::string("QUIT"));
        QVERIFY(std::none_of(commands.begin(), commands.end(),
                             [](const std::string& line) { return line.find("probe") != std::string::npos; }));
    }

    void enableRulesByNodeKind()
    {
        for (const char* path : {"Local/f.txt", "share/r.txt", "Local/Sub/", "share/RSub/"})
            Write(path);
        QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
        QTreeWidgetItem* ftp = Open(m_view->FtpRoot());
        const auto instrumentNode = [this](const CNodeData& data) {
            auto* item = new QTreeWidgetItem(m_view->PortRoot(), QStringList("item"));
            data.Store(item);
            return item;
        };
        // What is enabled: Delete, New Folder, View, label editing (F2).
        const std::pair<QTreeWidgetItem*, QString> rows[] = {
            {m_view->PortRoot(), "----"},
            {m_view->PortRoot()->child(0), "----"},
            {instrumentNode({NK_JOB, 3, true}), "D---"},
            {instrumentNode({NK_JOB, 4, false}), "----"},
            {instrumentNode({NK_FORMATS, 0, false}), "----"},
            {ftp, "-N--"},
            {Node(ftp, "RSub"), "DN-R"},
            {Node(ftp, "RSub\\..."), "----"},
            {Node(ftp, "r.txt"), "D--R"},
            {m_view->MyComputerRoot(), "----"},
            {local, "DN-R"},
            {Node(local, "Sub\\..."), "----"},
            {Node(local, "f.txt"), "D-VR"},
        };
        // Placeholders lie in closed folders: selecting one must not scroll to it,
        // which would open (and so list) its folder.
        m_view->setAutoScroll(false);
        for (const auto& [node, expected] : rows) {
            const QString label = node->text(0);
            QString enabled;
            for (const auto& [id, flag] :
                 {std::pair{ID_EDIT_DELETE, 'D'}, {ID_FILE_NEW_FOLDER, 'N'}, {ID_EDIT_VIEW, 'V'}})
                enabled += Enabled(node, id) ? flag : '-';
            QTest::keyClick(m_view, Qt::Key_F2);
            enabled += Editor() ? 'R' : '-';
            if (Editor())
                EndEdit("unused", Qt::Key_Escape);
            QCOMPARE(enabled + " " + node->text(0), expected + " " + label);
        }
        m_view->setAutoScroll(true);

        // A second click on the selected node, slower than a double click.
        QTreeWidgetItem* file = Node(local, "f.txt");
        const QPoint at = m_view->visualItemRect(file).center();
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, at);
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(Editor());
        EndEdit("g.txt", Qt::Key_Return);
        QCOMPARE(file->text(0), QString("g.txt"));
        QVERIFY(Exists("Local/g.txt"));
        QCOMPARE(m_prompt->m_shown, QStringList());
    }

    void deleteFilesAndFolderTreesOnBothSides()
    {
        for (const char* file : {"top.txt", "Local/Tree/sub/deep/c.bin", "Local/Stuck/loose.txt", "share/r.txt",
                                 "share/Full/f.txt", "share/Full/Deep/Deeper/d.txt", "share/Sub/s.txt", "share/Empty/"})
            Write(file);
        Write("Local/Kept/k.txt", "kept");
        QVERIFY(QFile::link(Path("Local/Kept"), Path("Local/Link")));
        for (const char* file : {"Local/locked.txt", "Local/Stuck/locked.txt"}) {
            Write(file);
            QFile::setPermissions(Path(file), QFileDevice::ReadOwner);
        }
        Write("Local/Kept\\k.txt", "odd");
        m_view->OnInitialUpdate();

        // Directly below "MyComputer": the top level is listed again.
        Run(Node(m_view->MyComputerRoot(), "top.txt"), ID_EDIT_DELETE);
        QCOMPARE(Sorted(Labels(m_view->MyComputerRoot())), QStringList({"Local", "share"}));

        QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
        QTreeWidgetItem* ftp = Open(m_view->FtpRoot());
        QTreeWidgetItem* sub = Open(ftp, "Sub");
        QVERIFY(!Enabled(ftp, ID_EDIT_DELETE));
        // Parent, its folder, the label deleted, the message, what is gone.
        const std::tuple<QTreeWidgetItem*, const char*, const char*, QString, const char*> rows[] = {
            // A link to a folder goes alone; what it points to stays.
            {local, "Local", "Link", "", "Local/Link"},
            {local, "Local", "Tree", "", "Local/Tree"},
            {local, "Local", "locked.txt", ": Can not delete file", ""},
            // A name holding the tree's own separator would name another entry
            // (Local/Kept/k.txt); it is refused.
            {local, "Local", "Kept\\k.txt", kSeparator.arg("Kept\\k.txt"), ""},
            // What could be deleted stays deleted.
            {local, "Local", "Stuck", ": Can not delete folder", "Local/Stuck/loose.txt"},
            {sub, "share/Sub", "s.txt", "", "share/Sub/s.txt"},
            {ftp, "share", "r.txt", "", "share/r.txt"},
            {ftp, "share", "Empty", "", "share/Empty"},
            // A remote folder goes with everything in it once the user says so.
            {ftp, "share", "Full", kDeleteFull, ""},
            {ftp, "share", "Full", kDeleteFull, "share/Full"},
        };
        for (const auto& [parent, folder, label, message, gone] : rows) {
            m_prompt->m_shown.clear();
            if (message == kDeleteFull)
                m_prompt->PushButton(*gone ? IDYES : IDNO);
            Run(Node(parent, label), ID_EDIT_DELETE);
            QCOMPARE(m_prompt->m_shown, Shown(message));
            QVERIFY2(!*gone || !Exists(gone), gone);
            // The parent shows what is left.
            QCOMPARE(Sorted(Labels(parent)),
                     Sorted(QDir(Path(folder)).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)));
        }
        QCOMPARE(ReadFile(Path("Local/Kept\\k.txt")), QByteArray("odd"));
        QCOMPARE(ReadFile(Path("Local/Kept/k.txt")) + ReadFile(Path("Local/locked.txt"))
                     + ReadFile(Path("Local/Stuck/locked.txt")),
                 QByteArray("keptxx"));
    }

    void newFoldersOnBothSides()
    {
        Write("Local/Shut/old.txt");
        Write("Local/Gone/");
        QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");

        // Three times without renaming: the label editor opens on each, and
        // Escape keeps the name.
        for (const QString name : {"NewFolder", "NewFolder(2)", "NewFolder(3)"}) {
            Run(local, ID_FILE_NEW_FOLDER);
            QVERIFY2(QFileInfo(Path("Local/" + name)).isDir(), qPrintable(name));
            QCOMPARE(m_view->currentItem()->text(0), name);
            EndEdit("unused", Qt::Key_Escape);
            QCOMPARE(m_view->currentItem()->text(0), name);
        }
        QCOMPARE(Labels(local).mid(2), QStringList({"NewFolder", "NewFolder(2)", "NewFolder(3)"}));
        // In a folder not yet opened: it is opened, and a name typed at once
        // renames the new folder.
        Run(Node(local, "Shut"), ID_FILE_NEW_FOLDER);
        QVERIFY(Node(local, "Shut")->isExpanded());
        EndEdit("Survey 1", Qt::Key_Return);
        QCOMPARE(Sorted(Labels(Node(local, "Shut"))), QStringList({"Survey 1", "old.txt"}));
        QVERIFY(QFileInfo(Path("Local/Shut/Survey 1")).isDir());
        QVERIFY(QDir(Path("Local/Gone")).removeRecursively());
        Run(Node(local, "Gone"), ID_FILE_NEW_FOLDER);
        QCOMPARE(m_prompt->m_shown, QStringList(": Can not create folder"));

        // On the server: the Name prompt, then MKD and the folder listed again.
        QTreeWidgetItem* ftp = m_view->FtpRoot();
        // In the root or in "Made", the name typed, the message.
        const std::tuple<bool, QString, QString> rows[] = {
            {true, "Made", ""},
            {false, "Inner", ""},
            {true, "Made", ": 550 File exists."},
            {true, "a\\b", kNotPlain.arg("a\\b")},
            {true, "..", kNotPlain.arg("..")},
            // U+010A would go out as a line feed that ends the command early.
            {true, "x\u010Ay", kNotSendable.arg("x\u010Ay")},
        };
        for (const auto& [inRoot, name, message] : rows) {
            m_prompt->m_shown.clear();
            m_prompt->PushName(true, name);
            Run(inRoot ? ftp : Node(ftp, "Made"), ID_FILE_NEW_FOLDER);
            QCOMPARE(m_prompt->m_shown, QStringList("Enter folder name: ") + Shown(message));
        }
        // The empty name counts as an existing one: the Name prompt refuses an empty answer.
        const CNameRequest request = m_prompt->m_nameRequests.first();
        QCOMPARE(QStringList({request.m_strName}) + request.m_existingNames, QStringList({"NewFolder", ""}));
        QVERIFY(ftp->isExpanded());
        QCOMPARE(Labels(ftp), QStringList("Made"));
        QCOMPARE(Labels(Node(ftp, "Made")), QStringList("Inner"));
    }

    void renamesByLabelEditing()
    {
        const char* files[][2] = {{"Local/a.txt", "A"},      {"Local/b.txt", "B"},   {"Local/Dir/in.txt", ""},
                                  {"Local/Other/o.txt", ""}, {"share/ra.txt", "RA"}, {"share/rb.txt", "RB"},
                                  {"share/RDir/in.txt", ""}, {"share/gone.txt", ""}};
        for (const auto& [path, bytes] : files)
            Write(path, bytes);
        QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
        QTreeWidgetItem* ftp = Open(m_view->FtpRoot());
        QVERIFY(QFile::remove(Path("share/gone.txt")));

        // Parent, label, what is typed, the key that ends the edit, the label
        // after, the message, a path (below "MyComputer") that must be there.
        const std::tuple<QTreeWidgetItem*, const char*, QString, Qt::Key, const char*, QString, const char*> rows[] = {
            {local, "a.txt", "c.txt", Qt::Key_Return, "c.txt", "", "Local/c.txt"},
            // Onto an existing name: refused without a word, nothing replaced.
            {local, "b.txt", "c.txt", Qt::Key_Return, "b.txt", "", "Local/b.txt"},
            {local, "Dir", "Renamed", Qt::Key_Return, "Renamed", "", "Local/Renamed/in.txt"},
            {local, "Renamed", "Other", Qt::Key_Return, "Renamed", "", "Local/Renamed/in.txt"},
            // A cancelled edit leaves the name alone; so does an emptied one.
            {local, "c.txt", "x.txt", Qt::Key_Escape, "c.txt", "", "Local/c.txt"},
            {local, "c.txt", "", Qt::Key_Return, "c.txt", "", "Local/c.txt"},
            {local, "c.txt", "..\\up.txt", Qt::Key_Return, "c.txt", kNotPlain.arg("..\\up.txt"), "Local/c.txt"},
            {ftp, "ra.txt", "rc.txt", Qt::Key_Return, "rc.txt", "", "share/rc.txt"},
            // The server would replace the existing file: refused before RNFR.
            {ftp, "rb.txt", "rc.txt", Qt::Key_Return, "rb.txt", ": Duplicate name", "share/rb.txt"},
            // A remote folder is renamed on the server like a file.
            {ftp, "RDir", "RNew", Qt::Key_Return, "RNew", "", "share/RNew/in.txt"},
            {ftp, "gone.txt", "back.txt", Qt::Key_Return, "gone.txt", ": 550 No such file or directory.", ""},
            {ftp, "rb.txt", "r\u010A.txt", Qt::Key_Return, "rb.txt", kNotSendable.arg("r\u010A.txt"), "share/rb.txt"},
        };
        for (const auto& [parent, label, typed, key, after, message, present] : rows) {
            m_prompt->m_shown.clear();
            QTreeWidgetItem* node = Node(parent, label);
            m_view->setCurrentItem(node);
            QTest::keyClick(m_view, Qt::Key_F2);
            EndEdit(typed, key);
            QCOMPARE(node->text(0), QString(after));
            QCOMPARE(m_prompt->m_shown, Shown(message));
            QVERIFY2(!*present || Exists(present), present);
        }
        QCOMPARE(Sorted(QDir(Path("Local")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)),
                 QStringList({"Other", "Renamed", "b.txt", "c.txt"}));
        QCOMPARE(ReadFile(Path("Local/b.txt")) + ReadFile(Path("Local/c.txt")) + ReadFile(Path("share/rb.txt"))
                     + ReadFile(Path("share/rc.txt")),
                 QByteArray("BARBRA"));
        // The server keeps the new names: opened again, the folder shows them.
        Open(ftp);
        QCOMPARE(Labels(ftp), QStringList({"RNew", "rb.txt", "rc.txt"}));
    }

    void viewRunsTheEditorAndTakesNoInputMeanwhile()
    {
        Write("Local/my file.txt", "text");
        QTreeWidgetItem* file = Node(Open(m_view->MyComputerRoot(), "Local"), "my file.txt");
        QTemporaryDir work;
        qputenv("FAKE_QUILLON_LOG", work.filePath("arguments").toLocal8Bit());
        qputenv("FAKE_QUILLON_RELEASE", work.filePath("release").toLocal8Bit());

        // While the editor runs, the window is disabled yet repaints, opens no
        // label editor and runs no command; then the editor is let go.
        struct CPaintCounter : QObject
        {
            bool eventFilter(QObject*, QEvent* event) override
            {
                m_nPaints += event->type() == QEvent::Paint;
                return false;
            }
            int m_nPaints = 0;
        } counter;
        QStringList seen;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, this, [&] {
            if (seen.isEmpty() && QFile::exists(work.filePath("arguments"))) {
                seen << (m_frame->isEnabled() ? "enabled" : "disabled");
                m_view->viewport()->installEventFilter(&counter);
                m_view->viewport()->update();
                QTest::keyClick(m_view, Qt::Key_F2);
                m_frame->Action(ID_EDIT_DELETE)->trigger();
                seen << (Editor() ? "editor" : "no editor") << (Exists("Local/my file.txt") ? "kept" : "deleted");
            } else if (!seen.isEmpty() && counter.m_nPaints > 0) {
                WriteFile(work.filePath("release"));
            }
        });
        poll.start(20);
        Run(file, ID_EDIT_VIEW);
        QCOMPARE(seen, QStringList({"disabled", "no editor", "kept"}));
        QVERIFY(counter.m_nPaints > 0 && m_frame->isEnabled());
        QCOMPARE(ReadFile(work.filePath("arguments")), "1\n" + (Path("Local/my file.txt") + "\n").toLocal8Bit());
    }

    void connectAndDisconect()
    {
        const auto rules = [this] {
            m_frame->UpdateCommandUI();
            return QString("%1%2")
                .arg(m_frame->Action(ID_CONNECTION_CONNECT)->isEnabled())
                .arg(m_frame->Action(ID_CONNECTION_DISCONNECT)->isEnabled());
        };
        const auto dial = [](CConnectDlg* dlg) { Control<QPushButton>(dlg, 1)->click(); };
        const auto cancel = [](CConnectDlg* dlg) { Control<QPushButton>(dlg, 2)->click(); };
        // Connect only without a live connection and without a routable address.
        QCOMPARE(rules(), QString("10"));
        m_bRoutable = true;
        QCOMPARE(rules(), QString("00"));
        m_bRoutable = false;
        Write("share/data/");
        Open(m_view->FtpRoot());
        QVERIFY(m_view->LoggedOn());

        // A failed dial leaves the dialog open; its handle is kept however the
        // dialog ends, and the client stays.
        m_remoteAccess->PushDial(628, 9);
        Connect([&](CConnectDlg* dlg) {
            dial(dlg);
            cancel(dlg);
        });
        QCOMPARE(m_view->DialUpLink().m_hConnection, CRemoteAccess::Handle(9));
        QVERIFY(m_view->LoggedOn());
        QCOMPARE(rules(), QString("10"));

        // A successful dial: the client is replaced and logs on at the next opening.
        m_remoteAccess->PushDial(0, 7);
        Connect(dial);
        QCOMPARE(m_remoteAccess->m_dials.last().m_strUserName, QString("crew"));
        QCOMPARE(m_view->DialUpLink().m_hConnection, CRemoteAccess::Handle(7));
        QVERIFY(!m_view->LoggedOn());
        QCOMPARE(rules(), QString("01"));
        QCOMPARE(Labels(Open(m_view->FtpRoot())), QStringList("data"));
        // The other side dropped the line, then it came back.
        m_remoteAccess->m_live.remove(7);
        QCOMPARE(rules(), QString("10"));
        m_remoteAccess->m_live.insert(7);
        QCOMPARE(rules(), QString("01"));

        m_frame->Action(ID_CONNECTION_DISCONNECT)->trigger();
        QCOMPARE(m_remoteAccess->m_hangUps, QList<CRemoteAccess::Handle>({7}));
        m_remoteAccess->m_live.insert(7);
        QCOMPARE(rules(), QString("10"));
        QCOMPARE(m_prompt->m_shown,
                 QStringList({AppTitle() + ": Connection error", AppTitle() + ": Connection was opened successfuly"}));
    }

private:
    QString Path(const QString& relative) const { return m_strRoot + "/" + relative; }
    bool Exists(const QString& relative) const { return QFileInfo::exists(Path(relative)); }
    // A file below "MyComputer" with its folders; a path ending in "/" is a folder.
    void Write(const QString& relative, const QByteArray& bytes = "x")
    {
        QVERIFY2(relative.endsWith('/') ? QDir().mkpath(Path(relative)) : WriteFile(Path(relative), bytes),
                 qPrintable(relative));
    }
    QLineEdit* Editor() const { return qobject_cast<QLineEdit*>(m_view->indexWidget(m_view->currentIndex())); }
    // Types into the open label editor and leaves it with key (Return commits
    // only once the event loop runs).
    void EndEdit(const QString& text, Qt::Key key)
    {
        QVERIFY(Editor());
        Editor()->setText(text);
        QTest::keyClick(Editor(), key);
        QTRY_VERIFY(!Editor());
    }
    void Connect(const std::function<void(CConnectDlg*)>& drive)
    {
        m_frame->UpdateCommandUI();
        QVERIFY(m_frame->Action(ID_CONNECTION_CONNECT)->isEnabled());
        QTimer::singleShot(0, this, [&] {
            auto* dlg = qobject_cast<CConnectDlg*>(QApplication::activeModalWidget());
            dlg->m_fnBeep = [] {};
            Control<QLineEdit>(dlg, 1028)->setText("crew");
            drive(dlg);
        });
        m_frame->Action(ID_CONNECTION_CONNECT)->trigger();
    }

    CFtpServerProcess m_server{CFtpServerProcess::Pyftpdlib};
};

QTEST_MAIN(NodeCommandTests)
#include "NodeCommandTests.moc"
