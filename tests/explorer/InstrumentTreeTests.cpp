#include "explorer/CommandIds.h"
#include "explorer/InstrumentNodes.h"
#include "explorer/MainFrame.h"
#include "explorer/NodeData.h"
#include "explorer/TessaroView.h"
#include "platform/Clock.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"
#include "platform/Services.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedPrompt.h"
#include "support/ScriptedSerialDevice.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The explorer's instrument subtree against the real instrument link on a
// scripted serial line, with a virtual clock.
class InstrumentTreeTests : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nodesFromTables();
    void connectBuildsTheSubtreeOnce();
    void failedProbeLeavesThePortAlone();
    void refreshCopyAndPasteFollowTheNodeKinds();
    void deleteErasesWaitsAndRebuilds();
    void pasteMeasurementsIntoALocalFolder();
    void namesHoldingABackslashNeverLeadOutOfTheRoot();

private:
    void ScriptConnect();
    void ScriptJobs(const QList<QByteArray>& rows);
    void ScriptFormats(const QList<QByteArray>& rows);
    QTreeWidgetItem* Find(QTreeWidgetItem* parent, const QString& prefix);
    void Select(QTreeWidgetItem* item);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CVirtualClock> m_clock;
    std::unique_ptr<CScriptedPrompt> m_prompt;
    std::unique_ptr<CRecordingProgress> m_progress;
    std::unique_ptr<CScopedServices> m_services;
    std::unique_ptr<CScriptedSerialDevice> m_device;
    std::unique_ptr<CMainFrame> m_frame;
    CTessaroView* m_view = nullptr;
};

void InstrumentTreeTests::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir(m_dir->path()).mkpath("Data");
    QVERIFY(CLocalPaths::SetRoot(m_dir->path()));
    CProfile::SetFile(m_dir->filePath("profile.ini"));
    m_clock = std::make_unique<CVirtualClock>();
    m_prompt = std::make_unique<CScriptedPrompt>();
    m_progress = std::make_unique<CRecordingProgress>();
    m_services = std::make_unique<CScopedServices>(m_clock.get(), m_prompt.get(), m_progress.get());
    m_device = std::make_unique<CScriptedSerialDevice>(m_clock.get());
    m_frame = std::make_unique<CMainFrame>();
    m_view = m_frame->View();
    m_view->Instrument().m_port.SetDevice(m_device.get());
    m_view->OnInitialUpdate();
}

void InstrumentTreeTests::cleanup()
{
    m_frame.reset();
    m_services.reset();
    m_device.reset();
    CProfile::SetFile(QString());
    CLocalPaths::SetRoot("/");
}

void InstrumentTreeTests::ScriptConnect()
{
    m_device->Expect("a\r\n");
    m_device->Expect("c\r\n", "\r\n");
    m_device->Expect("c\r\n", "OK\r\n");
    m_device->Expect("%R1Q,5004:\r\n", "%R1P,0,0:0,\"SIM\"\r\n");
}

void InstrumentTreeTests::ScriptJobs(const QList<QByteArray>& rows)
{
    m_device->Expect("c\r\n", "\r\n");
    m_device->Expect("JOB/CONF/LIST\r\n", rows.value(0));
    for (int i = 1; i < rows.size(); ++i)
        m_device->Expect("?\r\n", rows.at(i));
    m_device->Expect("?\r\n");
    m_device->Expect("?\r\n");
}

void InstrumentTreeTests::ScriptFormats(const QList<QByteArray>& rows)
{
    m_device->Expect("c\r\n", "\r\n");
    m_device->Expect("FORM/CONF/LIST\r\n", rows.value(0));
    for (int i = 1; i < rows.size(); ++i)
        m_device->Expect("?\r\n", rows.at(i));
    m_device->Expect("?\r\n", "?\r\n");
    m_device->Expect("c\r\n", "\r\n");
}

QTreeWidgetItem* InstrumentTreeTests::Find(QTreeWidgetItem* parent, const QString& prefix)
{
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0).startsWith(prefix))
            return parent->child(i);
    }
    return nullptr;
}

void InstrumentTreeTests::Select(QTreeWidgetItem* item)
{
    m_view->setCurrentItem(item);
    m_frame->UpdateCommandUI();
}

void InstrumentTreeTests::nodesFromTables()
{
    CJobTable jobs = {{"A1", 3, 5, 7, 0}, {"B", 4, 0, 1, 0}, {"empty", 5, 2, 2, 1}};
    const QList<CNodeTemplate> jobNodes = JobNodes(jobs);
    QCOMPARE(jobNodes.size(), 3);
    QCOMPARE(jobNodes[0].m_strLabel, QString("Job 3: A1"));
    QCOMPARE(jobNodes[0].m_children[0].m_strLabel, QString("Fix Points: 5 Fix blocks"));
    QCOMPARE(jobNodes[0].m_children[1].m_strLabel, QString("Measurements: 7 Measurements blocks"));
    QCOMPARE(jobNodes[0].m_data.Word(), quint32(0x8403));
    QCOMPARE(jobNodes[0].m_children[0].m_data.Word(), quint32(0x443));
    QCOMPARE(jobNodes[0].m_children[1].m_data.Word(), quint32(0x483));
    // One measurement block cannot be copied from; no fix points neither.
    QCOMPARE(jobNodes[1].m_children[0].m_data.Word(), quint32(0x44));
    QCOMPARE(jobNodes[1].m_children[1].m_data.Word(), quint32(0x84));
    // An empty slot marks none of its three nodes.
    for (const CNodeTemplate& n : {jobNodes[2], jobNodes[2].m_children[0], jobNodes[2].m_children[1]})
        QVERIFY(!n.m_data.m_bHasData);

    CFormatTable formats = {{"X", 1, 1, 1, 0}, {"VRN", 2, 1, 1, 0}, {"F3", 3, 0, 4, 0}};
    const QList<CNodeTemplate> formatNodes = FormatNodes(formats);
    QCOMPARE(formatNodes.size(), 2);
    QCOMPARE(formatNodes[0].m_strLabel, QString("Formats 1: VRN"));
    QCOMPARE(formatNodes[0].m_data.Word(), quint32(0x602));
    QCOMPARE(formatNodes[1].m_data.Word(), quint32(0x203));

    CCodeListTable codes;
    for (int i = 0; i < 5; ++i)
        codes.append({QString("L%1").arg(i), 10 + i, i, i == 2 ? 1 : 0});
    const QList<CNodeTemplate> codeNodes = CodeListNodes(codes);
    QCOMPARE(codeNodes.size(), 5);
    QCOMPARE(codeNodes[0].m_strLabel, QString("Code 0: L0: 0 "));
    QCOMPARE(codeNodes[4].m_strLabel, QString("Code 4: L4: 4 "));
    QCOMPARE(codeNodes[4].m_data.Word(), quint32(0x10400 + 14));
    QVERIFY(!codeNodes[2].m_data.m_bHasData);
}

void InstrumentTreeTests::connectBuildsTheSubtreeOnce()
{
    ScriptConnect();
    ScriptJobs({"A1,3,5,7\r\n", ",4,0,0\r\n"});
    ScriptFormats({"VORN,1,1,1\r\n", " F1,2,1,1 \r\n"});
    m_device->Expect("c\r\n", "\r\n");
    m_device->Expect("CODE/CONF/LIST\r\n", "CODES,3,12\r\n");
    m_device->Expect("?\r\n", "XYZ\r\n");

    m_view->PortRoot()->setExpanded(true);
    QVERIFY2(m_device->AllExpected(), m_device->m_mismatches.join(" | ").constData());
    QCOMPARE(m_view->PortRoot()->text(0), QString("Port1:SIM"));
    QCOMPARE(CTessaroView::ChildLabels(m_view->PortRoot()), QStringList({"Jobs", "Formats", "Codes"}));
    QTreeWidgetItem* jobs = m_view->PortRoot()->child(0);
    QCOMPARE(CTessaroView::ChildLabels(jobs), QStringList({"Job 3: A1", "Job 4: empty"}));
    QCOMPARE(CNodeData::Of(jobs).Word(), quint32(NK_JOBS));
    QCOMPARE(CTessaroView::ChildLabels(m_view->PortRoot()->child(1)), QStringList({"Formats 1: F1"}));
    QCOMPARE(CTessaroView::ChildLabels(m_view->PortRoot()->child(2)), QStringList({"Code 0: CODES: 12 "}));
    QVERIFY(m_clock->m_pauses.contains(1000));
    QVERIFY(m_prompt->m_shown.isEmpty());

    // A second opening sends nothing and the label grows only once.
    const int writes = m_device->m_writes.size();
    m_view->PortRoot()->setExpanded(false);
    m_view->PortRoot()->setExpanded(true);
    QCOMPARE(m_device->m_writes.size(), writes);
    QCOMPARE(m_view->PortRoot()->text(0), QString("Port1:SIM"));
}

void InstrumentTreeTests::failedProbeLeavesThePortAlone()
{
    m_device->Expect("a\r\n");
    m_device->Expect("c\r\n");
    m_device->Expect("c\r\n");
    m_view->PortRoot()->setExpanded(true);
    // An empty caption stands for the application's name.
    QCOMPARE(m_prompt->m_shown, QStringList(": Communication problem"));
    QCOMPARE(CTessaroView::ChildLabels(m_view->PortRoot()), QStringList("no instruments connected"));
    QVERIFY(!m_view->InstrumentConnected());
}

void InstrumentTreeTests::refreshCopyAndPasteFollowTheNodeKinds()
{
    ScriptConnect();
    ScriptJobs({"A1,3,5,7\r\n", "B,4,0,1\r\n"});
    ScriptFormats({"F1,2,1,1\r\n"});
    m_device->Expect("c\r\n", "\r\n");
    m_device->Expect("CODE/CONF/LIST\r\n", "CODES,3,12\r\n");
    m_device->Expect("?\r\n", "?\r\n");
    m_device->Expect("c\r\n", "\r\n");
    m_view->PortRoot()->setExpanded(true);
    QVERIFY(m_device->AllExpected());

    QTreeWidgetItem* jobs = m_view->PortRoot()->child(0);
    QTreeWidgetItem* formats = m_view->PortRoot()->child(1);
    QTreeWidgetItem* a1 = Find(jobs, "Job 3");
    QTreeWidgetItem* b = Find(jobs, "Job 4");
    QAction* copy = m_frame->Action(ID_EDIT_COPY);
    QAction* paste = m_frame->Action(ID_EDIT_PASTE);
    QAction* refresh = m_frame->Action(ID_FILE_REFRESH);

    Select(Find(b, "Measurements"));
    QVERIFY(!copy->isEnabled()); // one measurement block
    QVERIFY(refresh->isEnabled());
    Select(a1);
    QVERIFY(!copy->isEnabled()); // a job as a whole is not copied
    Select(m_view->PortRoot());
    QVERIFY(!copy->isEnabled());
    QVERIFY(refresh->isEnabled());
    Select(m_view->MyComputerRoot());
    QVERIFY(!refresh->isEnabled());

    Select(Find(a1, "Measurements"));
    QVERIFY(copy->isEnabled());
    copy->trigger();
    QCOMPARE(m_view->Clip().m_nSourceKind, quint32(NK_MEASUREMENTS));
    QCOMPARE(m_view->Clip().m_nNumber, 3);
    QTreeWidgetItem* data = Find(m_view->MyComputerRoot(), "Data");
    Select(data);
    QVERIFY(paste->isEnabled());
    Select(Find(b, "Fix Points"));
    QVERIFY(!paste->isEnabled()); // instrument data never goes onto the instrument

    // A local file pastes onto jobs, fix points, code lists and formats, not
    // onto the folder "Formats" (no number to send it to), nor a local folder.
    QFile f(m_dir->filePath("P7.tqs"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    m_view->DeleteChildren(m_view->MyComputerRoot());
    m_view->ListLocalFolder(m_view->MyComputerRoot(), QString());
    Select(Find(m_view->MyComputerRoot(), "P7.tqs"));
    copy->trigger();
    QCOMPARE(m_view->Clip().m_nSourceKind, CK_LOCAL_FILE);
    QCOMPARE(m_view->Clip().m_strPath, QString("P7.tqs"));
    for (QTreeWidgetItem* target :
         {a1, Find(a1, "Fix Points"), formats->child(0), m_view->PortRoot()->child(2)->child(0)}) {
        Select(target);
        QVERIFY2(paste->isEnabled(), qPrintable(target->text(0)));
    }
    Select(formats);
    QVERIFY(!paste->isEnabled());
    Select(Find(m_view->MyComputerRoot(), "Data"));
    QVERIFY(!paste->isEnabled());

    // Refresh on a job lists the Jobs folder again, collapsed and current.
    m_device->m_writes.clear();
    ScriptJobs({"A1,3,5,7\r\n", "B,4,0,2\r\n", "C,5,1,1\r\n"});
    Select(a1);
    refresh->trigger();
    QVERIFY(m_device->AllExpected());
    QCOMPARE(CTessaroView::ChildLabels(jobs), QStringList({"Job 3: A1", "Job 4: B", "Job 5: C"}));
}

void InstrumentTreeTests::deleteErasesWaitsAndRebuilds()
{
    ScriptConnect();
    ScriptJobs({"A1,3,5,7\r\n"});
    ScriptFormats({"F1,2,1,1\r\n"});
    m_device->Expect("c\r\n", "\r\n");
    // No answer, twice: the code-list listing fails.
    m_device->Expect("CODE/CONF/LIST\r\n");
    m_device->Expect("CODE/CONF/LIST\r\n", "?");
    m_view->PortRoot()->setExpanded(true);
    QCOMPARE(m_prompt->m_shown, QStringList("Error: No response from instrument"));
    QCOMPARE(CTessaroView::ChildLabels(m_view->PortRoot()), QStringList({"Jobs", "Formats", "Codes"}));
    QCOMPARE(m_view->PortRoot()->child(2)->childCount(), 0);
    m_prompt->m_shown.clear();

    QTreeWidgetItem* jobs = m_view->PortRoot()->child(0);
    QTreeWidgetItem* meas = Find(Find(jobs, "Job 3"), "Measurements");
    Select(meas);
    QVERIFY(m_frame->Action(ID_EDIT_DELETE)->isEnabled());
    m_prompt->PushButton(IDYES);
    m_device->Expect("c\r\n", "\r\n");
    m_device->Expect("JOB/ERASE/OBSERV/3\r\n", "\r\n");
    ScriptJobs({"A1,3,5,0\r\n"});
    m_clock->m_pauses.clear();
    m_frame->Action(ID_EDIT_DELETE)->trigger();
    QVERIFY2(m_device->AllExpected(), m_device->m_mismatches.join(" | ").constData());
    QCOMPARE(m_prompt->m_shown,
             QStringList("Warning: Delete Measurements: A1:\nData will be definitely lost! - Continue anyway?"));
    QVERIFY(m_clock->m_pauses.contains(10000));
    QCOMPARE(Find(Find(jobs, "Job 3"), "Measurements")->text(0), QString("Measurements: 0 Measurements blocks"));

    // Saying No still waits and lists again.
    Select(Find(jobs, "Job 3"));
    m_prompt->PushButton(IDNO);
    ScriptJobs({"A1,3,5,0\r\n"});
    m_clock->m_pauses.clear();
    m_frame->Action(ID_EDIT_DELETE)->trigger();
    QVERIFY(m_device->AllExpected());
    QVERIFY(m_clock->m_pauses.contains(10000));
}

void InstrumentTreeTests::pasteMeasurementsIntoALocalFolder()
{
    ScriptConnect();
    ScriptJobs({"A1,3,5,7\r\n"});
    ScriptFormats({"VORN,2,1,1\r\n"});
    m_device->Expect("c\r\n", "\r\n");
    m_device->Expect("CODE/CONF/LIST\r\n", "CODES,3,12\r\n");
    m_device->Expect("?\r\n", "?\r\n");
    m_device->Expect("c\r\n", "\r\n");
    m_view->PortRoot()->setExpanded(true);
    QVERIFY(m_device->AllExpected());

    Select(Find(Find(m_view->PortRoot()->child(0), "Job 3"), "Measurements"));
    m_frame->Action(ID_EDIT_COPY)->trigger();
    QTreeWidgetItem* data = Find(m_view->MyComputerRoot(), "Data");
    Select(data);

    m_prompt->PushDataDownload(true, "A1.VRN", 0);
    m_device->Expect("c\r\n", "\r\n");
    m_device->Expect("FORM/SET/0\r\n", "\r\n");
    m_device->Expect("JOB/RCV/OBSERV/3\r\n", "\r\n");
    m_device->Expect("?\r\n", "11 line one\r\n");
    m_device->Expect("?\r\n", "12 line two\r\n");
    m_device->Expect("?\r\n");
    m_frame->Action(ID_EDIT_PASTE)->trigger();
    QVERIFY2(m_device->AllExpected(), m_device->m_mismatches.join(" | ").constData());
    QCOMPARE(m_prompt->m_downloadRequests.size(), 1);
    QCOMPARE(m_prompt->m_downloadRequests[0].m_formatNames, QStringList("VRN"));
    QFile file(m_dir->filePath("Data/A1.VRN"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("11 line one\r\n12 line two\r\n"));
    QCOMPARE(CTessaroView::ChildLabels(data), QStringList("A1.VRN"));
}

// Names holding "\\" are legal on Linux and shown, but a node path would read
// them as separators: opening, copying and pasting into them are refused.
void InstrumentTreeTests::namesHoldingABackslashNeverLeadOutOfTheRoot()
{
    // The root lies inside the scratch folder: a path that escaped it would
    // land where the test looks. With a real folder "up" beside it, the node
    // path Data\up\..\..\.. of the folder "up\..\..\.." resolves to the
    // scratch folder.
    const QString folder = "root/Data/up\\..\\..\\..";
    QVERIFY(QDir(m_dir->path()).mkpath(folder));
    QVERIFY(QDir(m_dir->path()).mkpath("root/Data/up"));
    for (const QString& file : {folder + "/inside.txt", QString("root/Data/x\\..\\..\\..\\A1.VRN")}) {
        QFile touch(m_dir->filePath(file));
        QVERIFY(touch.open(QIODevice::WriteOnly));
    }
    QVERIFY(CLocalPaths::SetRoot(m_dir->filePath("root")));
    m_view->OnInitialUpdate();
    ScriptConnect();
    ScriptJobs({"A1,3,5,7\r\n"});
    ScriptFormats({"VORN,2,1,1\r\n"});
    m_device->Expect("c\r\n", "\r\n");
    m_device->Expect("CODE/CONF/LIST\r\n", "CODES,3,12\r\n");
    m_device->Expect("?\r\n", "?\r\n");
    m_device->Expect("c\r\n", "\r\n");
    m_view->PortRoot()->setExpanded(true);
    QVERIFY(m_device->AllExpected());

    QTreeWidgetItem* data = Find(m_view->MyComputerRoot(), "Data");
    data->setExpanded(true);
    QStringList labels = CTessaroView::ChildLabels(data);
    labels.sort();
    QCOMPARE(labels, QStringList({"up", "up\\..\\..\\..", "x\\..\\..\\..\\A1.VRN"}));
    const QString refused = "%1 \"%2\" holds \"\\\", which the explorer reads as a folder separator: it can be "
                            "shown, but not used.";
    m_prompt->m_shown.clear();
    QTreeWidgetItem* up = Find(data, "up\\");
    up->setExpanded(true);
    QCOMPARE(up->childCount(), 0);
    Select(Find(data, "x"));
    m_frame->Action(ID_EDIT_COPY)->trigger();
    QVERIFY(!m_view->Clip().m_bValid);

    Select(Find(Find(m_view->PortRoot()->child(0), "Job 3"), "Measurements"));
    m_frame->Action(ID_EDIT_COPY)->trigger();
    Select(up);
    m_frame->Action(ID_EDIT_PASTE)->trigger();
    QCOMPARE(m_prompt->m_shown,
             QStringList({refused.arg(":", up->text(0)), refused.arg(":", "x\\..\\..\\..\\A1.VRN"),
                          refused.arg(":", up->text(0))}));
    QVERIFY(m_prompt->m_downloadRequests.isEmpty());
    QVERIFY(m_device->AllExpected());
    QVERIFY(!QDir(m_dir->path()).entryList(QDir::Files).contains("A1.VRN"));
}

QTEST_MAIN(InstrumentTreeTests)
#include "InstrumentTreeTests.moc"
