#include "ServerTreeFixture.h"

#include "dialogs/ConnectDlg.h"

#include <QLineEdit>
#include <QPushButton>

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

// Delete, New Folder, rename by label editing and View on the nodes of
// "MyComputer" and of the FTP tree, which commands each kind of node enables,
// and Connect and Disconect on a scripted remote-access service. View starts
// the fake "quillon" beside this test.
class NodeCommandTests : public QObject, public CServerTreeFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(StartServer(), qPrintable(m_server.m_strProblem)); }
    void init() { StartWithServer(); }
    void cleanup() { StopWithServer(); }

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
            {instrumentNode({NK_JOB, 3, true}), "D---"},
            {instrumentNode({NK_JOB, 4, false}), "----"},
            {instrumentNode({NK_FORMATS, 0, false}), "----"},
            {ftp, "-N--"},
            {Node(ftp, "RSub"), "DN-R"},
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
        EndEdit("unused", Qt::Key_Escape);
    }

    void deleteFilesAndFolderTreesOnBothSides()
    {
        for (const char* file : {"top.txt", "Local/Stuck/loose.txt", "share/r.txt", "share/Full/f.txt",
                                 "share/Full/Deep/Deeper/d.txt", "share/Sub/s.txt", "share/Empty/"})
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
        // Parent, its folder, the label deleted, the message, what is gone.
        const std::tuple<QTreeWidgetItem*, const char*, const char*, QString, const char*> rows[] = {
            // A link to a folder goes alone; what it points to stays.
            {local, "Local", "Link", "", "Local/Link"},
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
        }
        QCOMPARE(Labels(local).mid(2), QStringList({"NewFolder", "NewFolder(2)", "NewFolder(3)"}));
        // In a folder not yet opened: it is opened, and a name typed at once
        // renames the new folder.
        Run(Node(local, "Shut"), ID_FILE_NEW_FOLDER);
        QVERIFY(Node(local, "Shut")->isExpanded());
        EndEdit("Survey 1", Qt::Key_Return);
        QCOMPARE(Sorted(Labels(Node(local, "Shut"))), QStringList({"Survey 1", "old.txt"}));
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
        const char* files[][2] = {{"Local/a.txt", "A"},   {"Local/b.txt", "B"},   {"Local/Dir/in.txt", ""},
                                  {"share/ra.txt", "RA"}, {"share/rb.txt", "RB"}, {"share/RDir/in.txt", ""},
                                  {"share/gone.txt", ""}};
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
                 QStringList({"Renamed", "b.txt", "c.txt"}));
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
    }

private:
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
            drive(dlg);
        });
        m_frame->Action(ID_CONNECTION_CONNECT)->trigger();
    }
};

QTEST_MAIN(NodeCommandTests)
#include "NodeCommandTests.moc"
