#include "FtpServerProcess.h"

#include "dialogs/ConnectDlg.h"
#include "dialogs/DialogTestUtil.h"
#include "dialogs/NameDlg.h"
#include "explorer/CommandIds.h"
#include "explorer/MainFrame.h"
#include "explorer/NodeData.h"
#include "explorer/TessaroView.h"
#include "platform/Clock.h"
#include "platform/LocalPaths.h"
#include "platform/Services.h"
#include "resources/StringTable.h"
#include "support/ScriptedPrompt.h"
#include "support/ScriptedRemoteAccess.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// Scripted answers, except that the Name prompt can be the real dialog.
struct CNamePrompt : CScriptedPrompt
{
    bool AskName(CNameRequest& request) override
    {
        if (!m_bRealDialog)
            return CScriptedPrompt::AskName(request);
        CNameDlg dlg;
        dlg.m_strTitle = request.m_strTitle;
        dlg.m_strName = request.m_strName;
        dlg.m_pExistingNames = &request.m_existingNames;
        const bool ok = dlg.exec() == QDialog::Accepted;
        request.m_strName = dlg.m_strName;
        return ok;
    }
    bool m_bRealDialog = false;
};

QStringList Sorted(QStringList list)
{
    list.sort();
    return list;
}

// A message as the prompt records it, or none.
QStringList Shown(const QString& message)
{
    return message.isEmpty() ? QStringList() : QStringList(message);
}

const QString kNotPlain =
    ": The name \"%1\" can not be used: a name is not \".\" or \"..\" and holds no \"/\" or \"\\\".";
const QString kNotSendable =
    ": The name \"%1\" can not be sent to the FTP server: it holds a line break or characters beyond 8 bits.";

} // namespace

// The node commands on a temporary "MyComputer" that holds "Local" and the
// folder "share" that pyftpdlib serves; Connect and Disconect on a scripted
// remote-access service. View starts the fake "quillon" beside this test.
class NodeCommandTests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void enableRulesByNodeKind();
    void deleteFilesAndFolderTreesOnBothSides();
    void newFoldersOnBothSides();
    void renamesByLabelEditing();
    void viewRunsTheEditorAndTakesNoInputMeanwhile();
    void connectAndDisconect();

private:
    QTreeWidgetItem* Node(QTreeWidgetItem* parent, const QString& path);
    QTreeWidgetItem* Open(QTreeWidgetItem* node, const QString& path = QString());
    bool Enabled(QTreeWidgetItem* node, int id);
    void Run(QTreeWidgetItem* node, int id);
    QLineEdit* Editor() const { return qobject_cast<QLineEdit*>(m_view->indexWidget(m_view->currentIndex())); }
    void EndEdit(const QString& text, Qt::Key key);
    void Write(const QString& relative, const QByteArray& bytes = "x");
    bool Exists(const QString& relative) const { return QFileInfo(m_strRoot + "/" + relative).exists(); }
    QByteArray Read(const QString& relative) const;
    void Connect(const std::function<void(CConnectDlg*)>& drive);

    CFtpServerProcess m_server{CFtpServerProcess::Pyftpdlib};
    QString m_strRoot;
    std::unique_ptr<CTempProfile> m_profile;
    std::unique_ptr<CVirtualClock> m_clock;
    std::unique_ptr<CNamePrompt> m_prompt;
    std::unique_ptr<CScopedServices> m_services;
    std::unique_ptr<CScriptedRemoteAccess> m_remoteAccess;
    std::unique_ptr<CMainFrame> m_frame;
    CTessaroView* m_view = nullptr;
    bool m_bRoutable = false;
};

void NodeCommandTests::initTestCase()
{
    QVERIFY2(m_server.Start(), qPrintable(m_server.m_strProblem));
    m_strRoot = QFileInfo(m_server.m_strRoot).path();
    QVERIFY(CLocalPaths::SetRoot(m_strRoot));
}

void NodeCommandTests::init()
{
    for (const char* folder : {"share", "Local"}) {
        QDir(m_strRoot + "/" + folder).removeRecursively();
        QVERIFY(QDir(m_strRoot).mkpath(folder));
    }
    m_profile = std::make_unique<CTempProfile>();
    CProfile::WriteString("FTP", "ServerName", QString("127.0.0.1:%1").arg(m_server.m_nPort));
    CProfile::WriteString("FTP", "UserName", m_server.m_strUser);
    CProfile::WriteString("FTP", "Password", m_server.m_strPassword);
    m_clock = std::make_unique<CVirtualClock>();
    m_prompt = std::make_unique<CNamePrompt>();
    m_services = std::make_unique<CScopedServices>(m_clock.get(), m_prompt.get(), nullptr);
    m_remoteAccess = std::make_unique<CScriptedRemoteAccess>();
    m_remoteAccess->m_names = {"Field Modem"};
    CServices::SetRemoteAccess(m_remoteAccess.get());
    m_frame = std::make_unique<CMainFrame>();
    m_view = m_frame->View();
    m_view->m_fnHasRoutableAddress = [this] { return m_bRoutable; };
    m_bRoutable = false;
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
}

void NodeCommandTests::cleanup()
{
    m_frame.reset();
    QVERIFY2(m_prompt->Idle(), qPrintable(m_prompt->m_unexpected.join(" | ")));
    QCOMPARE(m_remoteAccess->m_nUnexpectedDials, 0);
    CServices::SetRemoteAccess(nullptr);
    m_services.reset();
    m_profile.reset();
}

void NodeCommandTests::Write(const QString& relative, const QByteArray& bytes)
{
    const QString path = m_strRoot + "/" + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray NodeCommandTests::Read(const QString& relative) const
{
    QFile file(m_strRoot + "/" + relative);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QTreeWidgetItem* NodeCommandTests::Node(QTreeWidgetItem* parent, const QString& path)
{
    // A label that itself holds "\\" is looked for whole first.
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == path)
            return parent->child(i);
    }
    for (const QString& label : path.split('\\')) {
        QTreeWidgetItem* child = nullptr;
        for (int i = 0; parent && i < parent->childCount() && !child; ++i)
            child = parent->child(i)->text(0) == label ? parent->child(i) : nullptr;
        parent = child;
    }
    return parent;
}

// Opens the node and every folder along the path below it, as a user would.
QTreeWidgetItem* NodeCommandTests::Open(QTreeWidgetItem* node, const QString& path)
{
    const QStringList labels = path.isEmpty() ? QStringList() : path.split('\\');
    for (qsizetype i = 0; node; node = i < labels.size() ? Node(node, labels[i++]) : nullptr) {
        node->setExpanded(false);
        node->setExpanded(true);
        if (i == labels.size())
            return node;
    }
    return nullptr;
}

bool NodeCommandTests::Enabled(QTreeWidgetItem* node, int id)
{
    m_view->setCurrentItem(node);
    m_frame->UpdateCommandUI();
    return m_frame->Action(id)->isEnabled();
}

void NodeCommandTests::Run(QTreeWidgetItem* node, int id)
{
    QVERIFY(node);
    QVERIFY2(Enabled(node, id), qPrintable(node->text(0)));
    m_frame->Action(id)->trigger();
}

// Types into the open label editor and leaves it with key (Return commits
// only once the event loop runs).
void NodeCommandTests::EndEdit(const QString& text, Qt::Key key)
{
    QVERIFY(Editor());
    Editor()->setText(text);
    QTest::keyClick(Editor(), key);
    QTRY_VERIFY(!Editor());
}

void NodeCommandTests::enableRulesByNodeKind()
{
    Write("Local/f.txt");
    Write("share/r.txt");
    QDir(m_strRoot).mkpath("Local/Sub");
    QDir(m_strRoot).mkpath("share/RSub");
    m_view->OnInitialUpdate();
    QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
    QTreeWidgetItem* ftp = Open(m_view->FtpRoot());
    const auto instrumentNode = [this](const CNodeData& data) {
        auto* item = new QTreeWidgetItem(m_view->PortRoot(), QStringList("item"));
        data.Store(item);
        return item;
    };
    // Delete, New Folder, View, label editing (F2).
    const struct
    {
        QTreeWidgetItem* m_pNode;
        bool m_bDelete, m_bNewFolder, m_bView, m_bRename;
    } rows[] = {
        {m_view->PortRoot(), false, false, false, false},
        {m_view->PortRoot()->child(0), false, false, false, false},
        {instrumentNode({NK_JOB, 3, true}), true, false, false, false},
        {instrumentNode({NK_JOB, 4, false}), false, false, false, false},
        {instrumentNode({NK_FORMATS, 0, false}), false, false, false, false},
        {ftp, false, true, false, false},
        {Node(ftp, "RSub"), true, true, false, true},
        {Node(ftp, "RSub\\..."), false, false, false, false},
        {Node(ftp, "r.txt"), true, false, false, true},
        {m_view->MyComputerRoot(), false, false, false, false},
        {local, true, true, false, true},
        {Node(local, "Sub\\..."), false, false, false, false},
        {Node(local, "f.txt"), true, false, true, true},
    };
    // Placeholders lie in closed folders: selecting one must not scroll to it,
    // which would open (and so list) its folder.
    m_view->setAutoScroll(false);
    for (const auto& row : rows) {
        const QString label = row.m_pNode->text(0);
        QVERIFY2(Enabled(row.m_pNode, ID_EDIT_DELETE) == row.m_bDelete, qPrintable(label));
        QVERIFY2(Enabled(row.m_pNode, ID_FILE_NEW_FOLDER) == row.m_bNewFolder, qPrintable(label));
        QVERIFY2(Enabled(row.m_pNode, ID_EDIT_VIEW) == row.m_bView, qPrintable(label));
        QTest::keyClick(m_view, Qt::Key_F2);
        QVERIFY2((Editor() != nullptr) == row.m_bRename, qPrintable(label));
        if (Editor())
            EndEdit("unused", Qt::Key_Escape);
        QCOMPARE(row.m_pNode->text(0), label);
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

void NodeCommandTests::deleteFilesAndFolderTreesOnBothSides()
{
    Write("top.txt");
    Write("Local/Tree/sub/deep/c.bin");
    Write("Local/Kept/k.txt", "kept");
    QVERIFY(QFile::link(m_strRoot + "/Local/Kept", m_strRoot + "/Local/Link"));
    for (const char* file : {"Local/locked.txt", "Local/Stuck/locked.txt"}) {
        Write(file);
        QFile::setPermissions(m_strRoot + "/" + file, QFileDevice::ReadOwner);
    }
    Write("Local/Stuck/loose.txt");
    Write("Local/Kept\\k.txt", "odd");
    for (const char* file : {"share/r.txt", "share/Full/f.txt", "share/Full/Deep/Deeper/d.txt", "share/Sub/s.txt"})
        Write(file);
    QDir(m_strRoot).mkpath("share/Empty");
    m_view->OnInitialUpdate();

    // Directly below "MyComputer": the top level is listed again.
    Run(Node(m_view->MyComputerRoot(), "top.txt"), ID_EDIT_DELETE);
    QCOMPARE(Sorted(CTessaroView::ChildLabels(m_view->MyComputerRoot())), QStringList({"Local", "share"}));

    QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
    QTreeWidgetItem* ftp = Open(m_view->FtpRoot());
    QTreeWidgetItem* sub = Open(ftp, "Sub");
    QVERIFY(!Enabled(ftp, ID_EDIT_DELETE));
    const struct
    {
        QTreeWidgetItem* m_pParent;
        const char* m_pszLabel;
        const char* m_pszMessage;
        const char* m_pszGone;
    } rows[] = {
        // A link to a folder goes alone; what it points to stays.
        {local, "Link", "", "Local/Link"},
        {local, "Tree", "", "Local/Tree"},
        {local, "locked.txt", ": Can not delete file", ""},
        // A name holding the tree's own separator would name another entry
        // (Local/Kept/k.txt); it is refused.
        {local, "Kept\\k.txt",
         ": \"Kept\\k.txt\" holds \"\\\", which the explorer reads as a folder separator: it can be shown, but "
         "not used.",
         ""},
        // What could be deleted stays deleted.
        {local, "Stuck", ": Can not delete folder", "Local/Stuck/loose.txt"},
        {sub, "s.txt", "", "share/Sub/s.txt"},
        {ftp, "r.txt", "", "share/r.txt"},
        {ftp, "Empty", "", "share/Empty"},
        // A remote folder goes with everything in it, as a local one does.
        {ftp, "Full", "", "share/Full"},
    };
    for (const auto& row : rows) {
        m_prompt->m_shown.clear();
        Run(Node(row.m_pParent, row.m_pszLabel), ID_EDIT_DELETE);
        QCOMPARE(m_prompt->m_shown, Shown(row.m_pszMessage));
        QVERIFY2(!*row.m_pszGone || !QFileInfo(m_strRoot + "/" + row.m_pszGone).exists(), row.m_pszGone);
        // The parent shows what is left.
        const QString folder = row.m_pParent == local ? "/Local" : row.m_pParent == sub ? "/share/Sub" : "/share";
        QCOMPARE(Sorted(CTessaroView::ChildLabels(row.m_pParent)),
                 Sorted(QDir(m_strRoot + folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)));
    }
    QVERIFY(!QFileInfo(m_strRoot + "/Local/Link").isSymLink());
    QCOMPARE(Read("Local/Kept\\k.txt"), QByteArray("odd"));
    QCOMPARE(Read("Local/Kept/k.txt") + Read("Local/locked.txt") + Read("Local/Stuck/locked.txt"),
             QByteArray("keptxx"));
}

void NodeCommandTests::newFoldersOnBothSides()
{
    Write("Local/Shut/old.txt");
    QDir(m_strRoot).mkpath("Local/Gone");
    m_view->OnInitialUpdate();
    QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");

    // Three times without renaming: the label editor opens on each, and
    // Escape keeps the name.
    for (const QString name : {"NewFolder", "NewFolder(2)", "NewFolder(3)"}) {
        Run(local, ID_FILE_NEW_FOLDER);
        QVERIFY2(QFileInfo(m_strRoot + "/Local/" + name).isDir(), qPrintable(name));
        QCOMPARE(m_view->currentItem()->text(0), name);
        EndEdit("unused", Qt::Key_Escape);
        QCOMPARE(m_view->currentItem()->text(0), name);
    }
    QCOMPARE(CTessaroView::ChildLabels(local).mid(2), QStringList({"NewFolder", "NewFolder(2)", "NewFolder(3)"}));
    // In a folder not yet opened: it is opened, and a name typed at once
    // renames the new folder.
    Run(Node(local, "Shut"), ID_FILE_NEW_FOLDER);
    QVERIFY(Node(local, "Shut")->isExpanded());
    EndEdit("Survey 1", Qt::Key_Return);
    QCOMPARE(Sorted(CTessaroView::ChildLabels(Node(local, "Shut"))), QStringList({"Survey 1", "old.txt"}));
    QVERIFY(QFileInfo(m_strRoot + "/Local/Shut/Survey 1").isDir());
    QVERIFY(QDir(m_strRoot + "/Local/Gone").removeRecursively());
    Run(Node(local, "Gone"), ID_FILE_NEW_FOLDER);
    QCOMPARE(m_prompt->m_shown, QStringList(": Can not create folder"));

    // On the server: the Name prompt, then MKD and the folder listed again.
    QTreeWidgetItem* ftp = m_view->FtpRoot();
    const struct
    {
        bool m_bInRoot;
        QString m_strName;
        QString m_strMessage;
    } rows[] = {
        {true, "Made", ""},
        {false, "Inner", ""},
        {true, "Made", ": 550 File exists."},
        {true, "a\\b", kNotPlain.arg("a\\b")},
        {true, "..", kNotPlain.arg("..")},
        // U+010A would go out as a line feed that ends the command early.
        {true, "x\u010Ay", kNotSendable.arg("x\u010Ay")},
    };
    for (const auto& row : rows) {
        m_prompt->m_shown.clear();
        m_prompt->PushName(true, row.m_strName);
        Run(row.m_bInRoot ? ftp : Node(ftp, "Made"), ID_FILE_NEW_FOLDER);
        QCOMPARE(m_prompt->m_shown, QStringList("Enter folder name: ") + Shown(row.m_strMessage));
    }
    const CNameRequest request = m_prompt->m_nameRequests.first();
    QCOMPARE(QStringList({request.m_strName}) + request.m_existingNames, QStringList({"NewFolder", ""}));
    QVERIFY(ftp->isExpanded());
    QCOMPARE(CTessaroView::ChildLabels(ftp), QStringList("Made"));
    QCOMPARE(CTessaroView::ChildLabels(Node(ftp, "Made")), QStringList("Inner"));

    // The real prompt refuses an empty name as a duplicate and stays open.
    m_prompt->m_bRealDialog = true;
    m_prompt->m_shown.clear();
    bool stayedOpen = false;
    QTimer::singleShot(0, this, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        auto* edit = dialog->findChild<QLineEdit*>();
        edit->clear();
        QTest::keyClick(edit, Qt::Key_Return);
        stayedOpen = dialog->isVisible() && dialog->windowTitle() == "Enter folder name";
        edit->setText("Later");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    Run(ftp, ID_FILE_NEW_FOLDER);
    QVERIFY(stayedOpen);
    QCOMPARE(m_prompt->m_shown, QStringList(": Duplicate name"));
    QCOMPARE(CTessaroView::ChildLabels(ftp), QStringList({"Later", "Made"}));
}

void NodeCommandTests::renamesByLabelEditing()
{
    const char* files[][2] = {{"Local/a.txt", "A"},      {"Local/b.txt", "B"},   {"Local/Dir/in.txt", ""},
                              {"Local/Other/o.txt", ""}, {"share/ra.txt", "RA"}, {"share/rb.txt", "RB"},
                              {"share/RDir/in.txt", ""}, {"share/gone.txt", ""}};
    for (const auto& [path, bytes] : files)
        Write(path, bytes);
    m_view->OnInitialUpdate();
    QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
    QTreeWidgetItem* ftp = Open(m_view->FtpRoot());
    QVERIFY(QFile::remove(m_strRoot + "/share/gone.txt"));

    const struct
    {
        QTreeWidgetItem* m_pParent;
        const char* m_pszLabel;
        QString m_strTyped;
        Qt::Key m_key;
        const char* m_pszLabelAfter;
        QString m_strMessage;
        const char* m_pszPresent; // relative to "MyComputer"
    } rows[] = {
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
    for (const auto& row : rows) {
        m_prompt->m_shown.clear();
        m_view->setCurrentItem(Node(row.m_pParent, row.m_pszLabel));
        QTreeWidgetItem* node = m_view->currentItem();
        QTest::keyClick(m_view, Qt::Key_F2);
        EndEdit(row.m_strTyped, row.m_key);
        QCOMPARE(node->text(0), QString(row.m_pszLabelAfter));
        QCOMPARE(m_prompt->m_shown, Shown(row.m_strMessage));
        QVERIFY2(!*row.m_pszPresent || Exists(row.m_pszPresent), row.m_pszPresent);
    }
    QCOMPARE(Sorted(QDir(m_strRoot + "/Local").entryList(QDir::AllEntries | QDir::NoDotAndDotDot)),
             QStringList({"Other", "Renamed", "b.txt", "c.txt"}));
    QCOMPARE(Read("Local/b.txt") + Read("Local/c.txt") + Read("share/rb.txt") + Read("share/rc.txt"),
             QByteArray("BARBRA"));
    // The server keeps the new names: opened again, the folder shows them.
    Open(ftp);
    QCOMPARE(CTessaroView::ChildLabels(ftp), QStringList({"RNew", "rb.txt", "rc.txt"}));
}

void NodeCommandTests::viewRunsTheEditorAndTakesNoInputMeanwhile()
{
    Write("Local/my file.txt", "text");
    m_view->OnInitialUpdate();
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
            QFile(work.filePath("release")).open(QIODevice::WriteOnly);
        }
    });
    poll.start(20);
    Run(file, ID_EDIT_VIEW);
    QCOMPARE(seen, QStringList({"disabled", "no editor", "kept"}));
    QVERIFY(counter.m_nPaints > 0 && m_frame->isEnabled());
    QFile arguments(work.filePath("arguments"));
    QVERIFY(arguments.open(QIODevice::ReadOnly));
    QCOMPARE(arguments.readAll(), "1\n" + (m_strRoot + "/Local/my file.txt\n").toLocal8Bit());
}

void NodeCommandTests::Connect(const std::function<void(CConnectDlg*)>& drive)
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

void NodeCommandTests::connectAndDisconect()
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
    QDir(m_server.m_strRoot).mkpath("data");
    m_view->OnInitialUpdate();
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
    Open(m_view->FtpRoot());
    QVERIFY(m_view->LoggedOn());
    QCOMPARE(CTessaroView::ChildLabels(m_view->FtpRoot()), QStringList("data"));
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

QTEST_MAIN(NodeCommandTests)
#include "NodeCommandTests.moc"
