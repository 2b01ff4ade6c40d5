#include "ExplorerFixture.h"

#include "explorer/InstrumentNodes.h"
#include "platform/Trace.h"

#include <QMenuBar>

#include <sys/stat.h>

// The tree of the explorer's window: its roots, menus and local folders, and
// the instrument subtree against the real instrument link on a scripted
// serial line with the virtual clock.
class TreeTests : public QObject, public CExplorerFixture
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        for (const char* folder : {"Data/Sub", "Windows/Desktop", ".config"})
            QVERIFY(QDir(m_dir->path()).mkpath(folder));
        for (const char* file : {"zeta.txt", "alpha.txt", ".profile", "Data/job 1.txt", "Data/.hidden"})
            QVERIFY(WriteFile(m_dir->filePath(file)));
        StartExplorer(m_dir->path());
    }
    void cleanup() { StopExplorer(); }

    // The window as it opens: roots, menus, shortcuts, the settings dialogs,
    // and a right click that does nothing.
    void windowRootsMenusAndSettings()
    {
        QCOMPARE(m_frame->windowTitle(), QString("Marvo Tessaro"));
        QCOMPARE(Labels(m_view->invisibleRootItem()), QStringList({"Port1:", "FTP", "MyComputer"}));
        QCOMPARE(Labels(m_view->PortRoot()) + Labels(m_view->FtpRoot()),
                 QStringList({"no instruments connected", "not connected"}));
        // Status child of "Port1:" has no image; "not connected" has the document.
        QVERIFY(m_view->PortRoot()->child(0)->icon(0).isNull());
        QVERIFY(!m_view->FtpRoot()->child(0)->icon(0).isNull() && !m_view->PortRoot()->icon(0).isNull());
        // Node paths leave out "MyComputer" and "FTP" below them, but name the roots themselves.
        QCOMPARE(m_view->NodePath(m_view->FtpRoot()) + m_view->NodePath(m_view->MyComputerRoot()), "FTPMyComputer");

        QStringList menus;
        for (QAction* a : m_frame->menuBar()->actions())
            menus.append(a->text());
        QCOMPARE(menus, QStringList({"&File", "&Edit", "Settings", "Connection", "&Help"}));
        QCOMPARE(m_frame->Action(ID_CONNECTION_DISCONNECT)->text(), QString("Disconect"));
        QCOMPARE(m_frame->Action(ID_EDIT_DELETE)->shortcuts(),
                 QList<QKeySequence>({QKeySequence("Ctrl+X"), QKeySequence("Shift+Del")}));
        QCOMPARE(m_frame->Action(ID_EDIT_PASTE)->shortcuts(),
                 QList<QKeySequence>({QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")}));
        // Without a selected node, the node commands are off.
        m_view->setCurrentItem(nullptr);
        m_frame->UpdateCommandUI();
        QVERIFY(m_frame->Action(ID_APP_ABOUT)->isEnabled() && m_frame->Action(ID_APP_EXIT)->isEnabled());
        for (int id : {ID_EDIT_COPY, ID_EDIT_PASTE, ID_FILE_REFRESH, ID_FILE_NEW_FOLDER, ID_EDIT_VIEW})
            QVERIFY2(!m_frame->Action(id)->isEnabled(), qPrintable(QString::number(id)));

        for (const auto& [id, title] :
             {std::pair{ID_SETTINGS_FTP, "FTP Settings"}, {ID_SETTINGS_COM, "COM Settings"}}) {
            QString seen;
            OnModal([&seen](QWidget* dialog) {
                seen = dialog->windowTitle();
                QMetaObject::invokeMethod(dialog, "reject");
            });
            m_frame->Action(id)->trigger();
            QCOMPARE(seen, QString(title));
        }
        // The wire trace: off until checked, then kept in the state folder and the profile.
        qputenv("XDG_STATE_HOME", m_profile->m_dir.filePath("state").toLocal8Bit());
        QAction* trace = m_frame->menuBar()->actions().at(2)->menu()->actions().last();
        QVERIFY(trace->isCheckable() && !trace->isChecked() && !CServices::Trace().IsOn());
        trace->trigger();
        CTrace::FtpSent("PASS secret\r\n");
        QVERIFY(
            ReadFile(m_profile->m_dir.filePath("state/tessaro/trace.log")).endsWith(" FTP > PASS ****\\x0D\\x0A\n"));
        QCOMPARE(CProfile::ReadInt("Settings", "Trace", 0), 1);
        trace->trigger();
        QVERIFY(!CServices::Trace().IsOn());
        QCOMPARE(CProfile::ReadInt("Settings", "Trace", 1), 0);

        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
        const QRect rect = m_view->visualItemRect(m_view->MyComputerRoot());
        QTest::mouseClick(m_view->viewport(), Qt::RightButton, {}, rect.center());
        QVERIFY(m_view->currentItem() != m_view->MyComputerRoot());
        QVERIFY(!Node(m_view->MyComputerRoot(), "Data")->isExpanded());
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(m_view->currentItem(), m_view->MyComputerRoot());
    }

    // Folders first (hidden ones too), then files without the hidden ones, as
    // the folder is at each opening.
    void localFoldersAsTheyAreAtEachOpening()
    {
        QTreeWidgetItem* top = m_view->MyComputerRoot();
        QCOMPARE(Sorted(Labels(top).mid(0, 3)), QStringList({".config", "Data", "Windows"}));
        QCOMPARE(Sorted(Labels(top).mid(3)), QStringList({"alpha.txt", "zeta.txt"}));
        QTreeWidgetItem* data = Node(top, "Data");
        QCOMPARE(Labels(data), QStringList("..."));
        QVERIFY(data->child(0)->icon(0).isNull());
        QCOMPARE(Node(top, "alpha.txt")->childCount(), 0);
        // A file tells its size and time.
        QVERIFY(WriteFile(m_dir->filePath("Data/big.bin"), QByteArray(12345, 'b')));
        QFile big(m_dir->filePath("Data/big.bin"));
        QVERIFY(big.open(QIODevice::ReadWrite)
                && big.setFileTime(QDateTime(QDate(2024, 6, 7), QTime(21, 22, 33)), QFileDevice::FileModificationTime));
        QCOMPARE(Node(Open(data), "big.bin")->toolTip(0), QString("12,345 bytes\n2024-06-07 21:22"));
        QVERIFY(QFile::remove(m_dir->filePath("Data/big.bin")));

        // Opened again: what is there now. Pipes and links that lead nowhere
        // are left out too; any other name is shown as it is.
        QVERIFY(WriteFile(m_dir->filePath("Data/new.txt")) && QFile::remove(m_dir->filePath("Data/job 1.txt")));
        QCOMPARE(Labels(Open(data)), QStringList({"Sub", "new.txt"}));
        const QString sub = m_dir->filePath("Data/Sub/");
        const QStringList names = {"a file with spaces.txt", "quote\"d 'name'", "Grüße-ñ-日本.txt", QString(250, 'n')};
        for (const QString& name : names + QStringList{".hidden", "b-folder/", ".hidden-folder/"})
            QVERIFY(name.endsWith('/') ? QDir().mkpath(sub + name) : WriteFile(sub + name));
        QCOMPARE(::mkfifo(QFile::encodeName(sub + "pipe").constData(), 0600), 0);
        QVERIFY(QFile::link(sub + "nowhere", sub + "broken-link"));
        const QStringList labels = Labels(Open(data, "Sub"));
        QCOMPARE(Sorted(labels.mid(0, 2)), QStringList({".hidden-folder", "b-folder"}));
        QCOMPARE(Sorted(labels.mid(2)), Sorted(names));
        // A folder that went away shows no children.
        QVERIFY(QDir(m_dir->filePath("Windows")).removeRecursively());
        QCOMPARE(Labels(Open(Node(top, "Windows"))), QStringList());
    }

    // Each node as "label 0xword", children indented after their parent.
    void instrumentNodesFromTables()
    {
        CCodeListTable codes;
        for (int i = 0; i < 5; ++i)
            codes.append({QString("L%1").arg(i), 10 + i, i, i == 2 ? 1 : 0});
        QCOMPARE(Describe(JobNodes({{"A1", 3, 5, 7, 0}, {"B", 4, 0, 1, 0}, {"empty", 5, 2, 2, 1}})),
                 QStringList({"Job 3: A1 0x8403", " Fix Points: 5 Fix blocks 0x443",
                              " Measurements: 7 Measurements blocks 0x483",
                              // One measurement block cannot be copied from; no fix points neither.
                              "Job 4: B 0x8404", " Fix Points: 0 Fix blocks 0x44",
                              " Measurements: 1 Measurements blocks 0x84",
                              // An empty slot marks none of its three nodes.
                              "Job 5: empty 0x8005", " Fix Points: 2 Fix blocks 0x45",
                              " Measurements: 2 Measurements blocks 0x85"}));
        QCOMPARE(Describe(FormatNodes({{"X", 1, 1, 1, 0}, {"VRN", 2, 1, 1, 0}, {"F3", 3, 0, 4, 0}})),
                 QStringList({"Formats 1: VRN 0x602", "Formats 2: F3 0x203"}));
        QCOMPARE(Describe(CodeListNodes(codes)),
                 QStringList({"Code 0: L0: 0  0x1040a", "Code 1: L1: 1  0x1040b", "Code 2: L2: 2  0x1000c",
                              "Code 3: L3: 3  0x1040d", "Code 4: L4: 4  0x1040e"}));
    }

    // A failed probe leaves the port alone; the next opening connects and
    // builds the subtree, once. Then Copy and Paste of the nodes the listings
    // built (which pairs of kinds paste is up to the paste rules' own test),
    // and Refresh.
    void openingThePortBuildsTheSubtreeOnceForCopyPasteAndRefresh()
    {
        for (const char* line : {"a", "c", "c"})
            m_device->Expect(QByteArray(line) + "\r\n");
        m_view->PortRoot()->setExpanded(true);
        QCOMPARE(m_prompt->m_shown.size(), 1); // the link's own message, nothing of the view's
        QCOMPARE(m_statuses, QStringList({"Waking the instrument...", ""}));
        QCOMPARE(Labels(m_view->PortRoot()), QStringList("no instruments connected"));
        QVERIFY(!m_view->InstrumentConnected());

        m_prompt->m_shown.clear();
        ScriptConnect({"A1,3,5,7", ",4,0,0"}, {"VORN,1,1,1", " F1,2,1,1 "});
        Open(m_view->PortRoot());
        QVERIFY(m_view->InstrumentConnected());
        QCOMPARE(m_view->PortRoot()->text(0), QString("Port1:SIM"));
        QCOMPARE(Labels(m_view->PortRoot()), QStringList({"Jobs", "Formats", "Codes"}));
        QTreeWidgetItem* jobs = m_view->PortRoot()->child(0);
        QCOMPARE(Labels(jobs), QStringList({"Job 3: A1", "Job 4: empty"}));
        QCOMPARE(CNodeData::Of(jobs).Word(), quint32(NK_JOBS));
        QCOMPARE(Labels(m_view->PortRoot()->child(1)), QStringList({"Formats 1: F1"}));
        QCOMPARE(Labels(m_view->PortRoot()->child(2)), QStringList({"Code 0: CODES: 12 "}));
        QVERIFY(m_prompt->m_shown.isEmpty());
        // Each step of the seconds-long opening says what it does.
        QCOMPARE(m_statuses.mid(2),
                 QStringList({"Waking the instrument...", "Listing jobs...", "Listing formats...",
                              "Listing code lists...", "Connected to SIM"}));

        // A second opening sends nothing and the label grows only once.
        const qsizetype writes = m_device->m_writes.size();
        Open(m_view->PortRoot());
        QCOMPARE(m_device->m_writes.size(), writes);
        QCOMPARE(m_view->PortRoot()->text(0), QString("Port1:SIM"));

        QTreeWidgetItem* a1 = Find(jobs, "Job 3");
        QTreeWidgetItem* data = Node(m_view->MyComputerRoot(), "Data");
        QVERIFY(Enabled(m_view->PortRoot(), ID_FILE_REFRESH) && Enabled(a1, ID_FILE_REFRESH));
        QVERIFY(!Enabled(m_view->MyComputerRoot(), ID_FILE_REFRESH));

        // The paste receives what the clip holds: job 3's measurements.
        Run(Find(a1, "Measurements"), ID_EDIT_COPY);
        QVERIFY(!Enabled(Find(a1, "Fix Points"), ID_EDIT_PASTE)); // the rules decide, not the clip alone
        m_prompt->PushDataDownload(true, "A1.VRN", 0);
        ScriptReceive({"11 line one\r\n", "12 line two\r\n", ""});
        Run(data, ID_EDIT_PASTE);
        QCOMPARE(ReadFile(m_dir->filePath("Data/A1.VRN")), QByteArray("11 line one\r\n12 line two\r\n"));
        QCOMPARE(Sorted(Labels(data)), QStringList({"A1.VRN", "Sub", "job 1.txt"}));

        Run(Open(data, "job 1.txt"), ID_EDIT_COPY);
        QCOMPARE(m_view->Clip().m_strPath, QString("Data\\job 1.txt"));

        // Refresh on a job lists the Jobs folder again.
        ScriptJobs({"A1,3,5,7", "B,4,0,2", "C,5,1,1"});
        Run(a1, ID_FILE_REFRESH);
        QCOMPARE(Labels(jobs), QStringList({"Job 3: A1", "Job 4: B", "Job 5: C"}));
    }

    void deleteErasesWaitsAndRebuilds()
    {
        ScriptConnect({"A1,3,5,7"}, {"F1,2,1,1"}, false);
        // No answer, twice: the code-list listing fails.
        m_device->Expect("c\r\n", "\r\n");
        m_device->Expect("CODE/CONF/LIST\r\n");
        m_device->Expect("CODE/CONF/LIST\r\n", "?");
        m_view->PortRoot()->setExpanded(true);
        QCOMPARE(m_prompt->m_shown, QStringList("Error: No response from instrument"));
        QCOMPARE(Labels(m_view->PortRoot()), QStringList({"Jobs", "Formats", "Codes"}));
        QCOMPARE(m_view->PortRoot()->child(2)->childCount(), 0);
        m_prompt->m_shown.clear();

        QTreeWidgetItem* jobs = m_view->PortRoot()->child(0);
        m_prompt->PushButton(IDYES);
        m_device->Expect("c\r\n", "\r\n");
        m_device->Expect("JOB/ERASE/OBSERV/3\r\n", "\r\n");
        ScriptJobs({"A1,3,5,0"});
        m_clock->m_pauses.clear();
        Run(Find(Find(jobs, "Job 3"), "Measurements"), ID_EDIT_DELETE);
        QCOMPARE(m_prompt->m_shown.size(), 1); // the link's question
        QVERIFY(m_clock->m_pauses.contains(10000));
        QCOMPARE(Find(Find(jobs, "Job 3"), "Measurements")->text(0), QString("Measurements: 0 Measurements blocks"));
        QCOMPARE(m_statuses.mid(m_statuses.indexOf("Connected to SIM")),
                 QStringList({"Connected to SIM", "Erasing on the instrument...", "Waiting for the instrument...",
                              "Listing jobs...", "Connected to SIM"}));

        // Saying No still waits and lists again.
        m_prompt->PushButton(IDNO);
        ScriptJobs({"A1,3,5,0"});
        m_clock->m_pauses.clear();
        Run(Find(jobs, "Job 3"), ID_EDIT_DELETE);
        QVERIFY(m_clock->m_pauses.contains(10000));
    }

    // Names holding "\\" are legal on Linux and shown, but a node path would
    // read them as separators: opening, copying and pasting into them are refused.
    void namesHoldingABackslashNeverLeadOutOfTheRoot()
    {
        // The root lies inside the scratch folder: a path that escaped it would
        // land where the test looks. With a real folder "up" beside it, the node
        // path Data\up\..\..\.. of the folder "up\..\..\.." resolves to the
        // scratch folder.
        const QString folder = m_dir->filePath("root/Data/up\\..\\..\\..");
        QVERIFY(QDir().mkpath(m_dir->filePath("root/Data/up")));
        QVERIFY(WriteFile(folder + "/inside.txt") && WriteFile(m_dir->filePath("root/Data/x\\..\\..\\..\\A1.VRN")));
        QVERIFY(m_localRoot->Set(m_dir->filePath("root")));
        m_view->OnInitialUpdate();
        ScriptConnect();
        m_view->PortRoot()->setExpanded(true);

        QTreeWidgetItem* data = Open(m_view->MyComputerRoot(), "Data");
        QCOMPARE(Sorted(Labels(data)), QStringList({"up", "up\\..\\..\\..", "x\\..\\..\\..\\A1.VRN"}));
        const QString refused = ": \"%1\" holds \"\\\", which the explorer reads as a folder separator: it can be "
                                "shown, but not used.";
        QTreeWidgetItem* up = Find(data, "up\\");
        up->setExpanded(true);
        QCOMPARE(up->childCount(), 0);
        Run(Find(data, "x"), ID_EDIT_COPY);
        QVERIFY(!m_view->Clip().m_bValid);
        Paste(Node(m_view->PortRoot(), "Jobs\\Job 3: A1\\Measurements: 7 Measurements blocks"), up);
        QCOMPARE(
            m_prompt->m_shown,
            QStringList({refused.arg(up->text(0)), refused.arg("x\\..\\..\\..\\A1.VRN"), refused.arg(up->text(0))}));
        QVERIFY(!QFile::exists(m_dir->filePath("A1.VRN")));
    }

private:
    static QStringList Describe(const QList<CNodeTemplate>& nodes, const QString& indent = QString())
    {
        QStringList lines;
        for (const CNodeTemplate& node : nodes)
            lines << indent + node.m_strLabel + " 0x" + QString::number(node.m_data.Word(), 16)
                  << Describe(node.m_children, indent + " ");
        return lines;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TreeTests)
#include "TreeTests.moc"
