#include "FtpServerProcess.h"
#include "ScriptedFtpServer.h"
#include "TestCertificates.h"

#include "explorer/CommandIds.h"
#include "explorer/MainFrame.h"
#include "explorer/NodeData.h"
#include "explorer/TessaroView.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpSettings.h"
#include "platform/Clock.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"
#include "platform/Services.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedPrompt.h"
#include "support/ScriptedSerialDevice.h"

#include <QAction>
#include <QDirIterator>
#include <QtTest>

#include <memory>

// The FTP side of the tree against pyftpdlib on 127.0.0.1 (its shared folder
// lies inside "MyComputer", as on a machine that serves its own files), the
// instrument on a scripted serial line, and a virtual clock.
class FtpTreeTests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openingListsAnewAndFailuresLeaveAPlaceholder();
    void filesAndFolderTreesBothWays();
    void aFolderIsNeverPastedIntoItself();
    void instrumentDataPassOnlyWhatArrivedWhole();
    void quitOnlyEndsASessionThatALogonOpened();
    void tlsServerWithACertificateTrustedOnce();

private:
    QTreeWidgetItem* Node(QTreeWidgetItem* parent, const QString& path);
    QTreeWidgetItem* Open(QTreeWidgetItem* parent, const QString& path);
    void Paste(QTreeWidgetItem* source, QTreeWidgetItem* target);
    static QMap<QString, QByteArray> Files(const QString& folder);
    static void Write(const QString& path, const QByteArray& bytes);
    void SetServer(const QString& serverName, const QString& password);

    std::unique_ptr<CFtpServerProcess> m_server;
    QString m_strShare;
    QString m_strLocal;
    std::unique_ptr<QTemporaryDir> m_profileDir;
    std::unique_ptr<CVirtualClock> m_clock;
    std::unique_ptr<CScriptedPrompt> m_prompt;
    std::unique_ptr<CRecordingProgress> m_progress;
    std::unique_ptr<CScopedServices> m_services;
    std::unique_ptr<CScriptedSerialDevice> m_device;
    std::unique_ptr<CMainFrame> m_frame;
    CTessaroView* m_view = nullptr;
};

void FtpTreeTests::initTestCase()
{
    m_server = std::make_unique<CFtpServerProcess>(CFtpServerProcess::Pyftpdlib);
    QVERIFY2(m_server->Start(), qPrintable(m_server->m_strProblem));
    m_strShare = m_server->m_strRoot;
    m_strLocal = QFileInfo(m_strShare).path() + "/Local";
    QVERIFY(CLocalPaths::SetRoot(QFileInfo(m_strShare).path()));
}

void FtpTreeTests::init()
{
    QDir(m_strShare).removeRecursively();
    QDir(m_strLocal).removeRecursively();
    QDir().mkpath(m_strShare);
    QDir().mkpath(m_strLocal);
    m_profileDir = std::make_unique<QTemporaryDir>();
    CProfile::SetFile(m_profileDir->filePath("profile.ini"));
    SetServer(QString("127.0.0.1:%1").arg(m_server->m_nPort), m_server->m_strPassword);
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

void FtpTreeTests::cleanup()
{
    m_frame.reset();
    QVERIFY2(m_prompt->m_unexpected.isEmpty(), qPrintable(m_prompt->m_unexpected.join(" | ")));
    // No staging file outlives a paste, and no probe folder is left behind.
    QVERIFY(!QFile::exists(CLocalPaths::StagingPath("tempftp")));
    QVERIFY(!QFile::exists(CLocalPaths::StagingPath("FTP-INSTRUMENT")));
    QDirIterator it(m_strShare, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        QVERIFY2(!it.next().contains(".tessaro-probe"), qPrintable(it.filePath()));
    m_services.reset();
    m_device.reset();
    CProfile::SetFile(QString());
}

void FtpTreeTests::SetServer(const QString& serverName, const QString& password)
{
    CProfile::WriteString("FTP", "ServerName", serverName);
    CProfile::WriteString("FTP", "UserName", m_server->m_strUser);
    CProfile::WriteString("FTP", "Password", password);
}

// The node at a "\"-separated path of labels below parent.
QTreeWidgetItem* FtpTreeTests::Node(QTreeWidgetItem* parent, const QString& path)
{
    for (const QString& label : path.split('\\')) {
        QTreeWidgetItem* child = nullptr;
        for (int i = 0; parent && i < parent->childCount() && !child; ++i)
            child = parent->child(i)->text(0) == label ? parent->child(i) : nullptr;
        parent = child;
    }
    return parent;
}

// Opens every folder along the path, as a user clicking down to it.
QTreeWidgetItem* FtpTreeTests::Open(QTreeWidgetItem* node, const QString& path)
{
    node->setExpanded(false);
    node->setExpanded(true);
    for (const QString& label : path.isEmpty() ? QStringList() : path.split('\\')) {
        node = Node(node, label);
        if (!node)
            return nullptr;
        node->setExpanded(false);
        node->setExpanded(true);
    }
    return node;
}

void FtpTreeTests::Paste(QTreeWidgetItem* source, QTreeWidgetItem* target)
{
    QVERIFY(source && target);
    m_view->setCurrentItem(source);
    m_frame->UpdateCommandUI();
    QVERIFY(m_frame->Action(ID_EDIT_COPY)->isEnabled());
    m_frame->Action(ID_EDIT_COPY)->trigger();
    m_view->setCurrentItem(target);
    m_frame->UpdateCommandUI();
    QVERIFY2(m_frame->Action(ID_EDIT_PASTE)->isEnabled(), qPrintable(target->text(0)));
    m_frame->Action(ID_EDIT_PASTE)->trigger();
}

QMap<QString, QByteArray> FtpTreeTests::Files(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(QDir(folder).relativeFilePath(it.filePath()), file.readAll());
    }
    return files;
}

void FtpTreeTests::Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void FtpTreeTests::openingListsAnewAndFailuresLeaveAPlaceholder()
{
    Write(m_strShare + "/a.txt", "A");
    Write(m_strShare + "/Jobs 2024/J1.VRN", "J");
    QDir(m_strShare).mkpath("empty");
    QDir(m_strShare).mkpath("gone");
    QTreeWidgetItem* ftp = m_view->FtpRoot();
    QCOMPARE(CTessaroView::ChildLabels(ftp), QStringList("not connected"));

    // A refused logon shows the server's reply, and the next opening tries again.
    SetServer(QString("127.0.0.1:%1").arg(m_server->m_nPort), "wrong");
    Open(ftp, QString());
    QCOMPARE(m_prompt->m_shown, QStringList(": 530 Authentication failed."));
    QCOMPARE(CTessaroView::ChildLabels(ftp), QStringList("..."));
    QVERIFY(!m_view->LoggedOn());
    SetServer(QString("127.0.0.1:%1").arg(m_server->m_nPort), m_server->m_strPassword);
    Open(ftp, QString());
    QVERIFY(m_view->LoggedOn());
    QCOMPARE(CTessaroView::ChildLabels(ftp), QStringList({"Jobs 2024", "empty", "gone", "a.txt"}));
    QCOMPARE(CNodeData::Of(Node(ftp, "Jobs 2024")).Word(), quint32(NK_FTP_FOLDER));
    QCOMPARE(CTessaroView::ChildLabels(Node(ftp, "Jobs 2024")), QStringList("..."));
    QCOMPARE(CNodeData::Of(Node(ftp, "a.txt")).Word(), quint32(NK_FTP_FILE));

    QCOMPARE(CTessaroView::ChildLabels(Open(ftp, "Jobs 2024")), QStringList("J1.VRN"));
    QCOMPARE(CTessaroView::ChildLabels(Open(ftp, "empty")), QStringList());
    // A folder that went away keeps only the placeholder.
    QTreeWidgetItem* gone = Node(ftp, "gone");
    QDir(m_strShare + "/gone").removeRecursively();
    gone->setExpanded(false);
    gone->setExpanded(true);
    QCOMPARE(CTessaroView::ChildLabels(gone), QStringList("..."));
    // Every opening lists anew, never doubled.
    Write(m_strShare + "/b.txt", "B");
    Open(ftp, QString());
    QCOMPARE(CTessaroView::ChildLabels(ftp), QStringList({"Jobs 2024", "empty", "a.txt", "b.txt"}));
    QCOMPARE(m_prompt->m_shown.size(), 1);
    // A connection the client had to close (a late or endless reply) ends the
    // session: the next opening logs on afresh instead of failing for good.
    m_view->FtpClient().CloseControlChannel();
    Open(ftp, QString());
    QVERIFY(m_view->LoggedOn());
    QCOMPARE(CTessaroView::ChildLabels(ftp), QStringList({"Jobs 2024", "empty", "a.txt", "b.txt"}));
    QCOMPARE(m_prompt->m_shown.size(), 1);
}

void FtpTreeTests::filesAndFolderTreesBothWays()
{
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i)
        bytes.append(static_cast<char>((i * 7 + i / 256) & 0xFF));
    Write(m_strLocal + "/all.bin", bytes);
    Write(m_strLocal + "/Tree/a.txt", "a\r\n");
    Write(m_strLocal + "/Tree/sub/b.txt", "b");
    Write(m_strLocal + "/Tree/sub/deep/c.bin", bytes.left(5000));
    QDir(m_strLocal).mkpath("Back");
    QDir(m_strShare).mkpath("in");
    QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
    QTreeWidgetItem* ftp = m_view->FtpRoot();
    QTreeWidgetItem* in = Open(ftp, "in");

    Paste(Node(local, "all.bin"), in);
    QCOMPARE(Files(m_strShare + "/in"), (QMap<QString, QByteArray>{{"all.bin", bytes}}));
    QCOMPARE(CTessaroView::ChildLabels(in), QStringList("all.bin"));
    Paste(Node(in, "all.bin"), Node(local, "Back"));
    QCOMPARE(Files(m_strLocal + "/Back"), (QMap<QString, QByteArray>{{"all.bin", bytes}}));
    QCOMPARE(CTessaroView::ChildLabels(Node(local, "Back")), QStringList("all.bin"));

    // A folder tree up into the server's root folder and down again.
    Paste(Node(local, "Tree"), ftp);
    QCOMPARE(Files(m_strShare + "/Tree"), Files(m_strLocal + "/Tree"));
    QCOMPARE(CTessaroView::ChildLabels(ftp), QStringList({"Tree", "in"}));
    Paste(Node(ftp, "Tree"), Node(local, "Back"));
    QCOMPARE(Files(m_strLocal + "/Back/Tree"), Files(m_strLocal + "/Tree"));
    QCOMPARE(CTessaroView::ChildLabels(Node(local, "Back")), QStringList({"Tree", "all.bin"}));
    // The root "FTP" itself, as a folder called FTP.
    Paste(ftp, Node(local, "Back"));
    QCOMPARE(Files(m_strLocal + "/Back/FTP"), Files(m_strShare));
    QVERIFY(m_prompt->m_shown.isEmpty());

    // Onto a remote folder that went away: the server's answer, then the placeholder.
    in = Node(ftp, "in");
    QDir(m_strShare + "/in").removeRecursively();
    Paste(Node(local, "all.bin"), in);
    QCOMPARE(m_prompt->m_shown.size(), 1);
    QVERIFY2(m_prompt->m_shown.first().startsWith(": 550 "), qPrintable(m_prompt->m_shown.first()));
    QCOMPARE(CTessaroView::ChildLabels(in), QStringList("..."));
}

void FtpTreeTests::aFolderIsNeverPastedIntoItself()
{
    Write(m_strShare + "/sub/f.txt", "f");
    QDir(m_strShare).mkpath("sub/deeper");
    const QMap<QString, QByteArray> before = Files(m_strShare);
    QTreeWidgetItem* localShare = Open(m_view->MyComputerRoot(), "share\\sub\\deeper")->parent()->parent();
    QTreeWidgetItem* ftp = m_view->FtpRoot();
    QTreeWidgetItem* remoteSub = Open(ftp, "sub\\deeper")->parent();

    // The local "share" and the root "FTP" are one folder seen from both sides.
    const struct
    {
        QTreeWidgetItem* m_pSource;
        QTreeWidgetItem* m_pTarget;
    } rows[] = {
        {Node(localShare, "sub"), remoteSub},                 // into itself
        {Node(localShare, "sub"), Node(remoteSub, "deeper")}, // into its own subfolder
        {Node(localShare, "sub"), ftp},                       // onto itself, from its parent
        {remoteSub, Node(localShare, "sub\\deeper")},         // down into its own subfolder
        {remoteSub, localShare},                              // down onto itself
        {ftp, Node(localShare, "sub")},                       // the root into its subfolder
    };
    for (const auto& row : rows) {
        m_prompt->m_shown.clear();
        Paste(row.m_pSource, row.m_pTarget);
        QCOMPARE(m_prompt->m_shown,
                 QStringList(": A folder can not be pasted into itself or into one of its own subfolders."));
        QCOMPARE(Files(m_strShare), before);
        QVERIFY(QDir(m_strShare + "/sub/deeper").isEmpty());
        QVERIFY(!QFile::exists(m_strShare + "/sub/sub") && !QFile::exists(m_strShare + "/FTP"));
    }
}

void FtpTreeTests::instrumentDataPassOnlyWhatArrivedWhole()
{
    const char* connect[][2] = {
        {"a", nullptr}, {"c", ""},
        {"c", "OK"},    {"%R1Q,5004:", "%R1P,0,0:0,\"TC\""},
        {"c", ""},      {"JOB/CONF/LIST", "A1,3,5,7"},
        {"?", nullptr}, {"?", nullptr},
        {"c", ""},      {"FORM/CONF/LIST", "VORN,2,1,1"},
        {"?", "?"},     {"c", ""},
        {"c", ""},      {"CODE/CONF/LIST", "CODES,3,12"},
        {"?", "?"},     {"c", ""},
    };
    for (const auto& [written, reply] : connect)
        m_device->Expect(QByteArray(written) + "\r\n", reply ? QByteArray(reply) + "\r\n" : QByteArray());
    m_view->PortRoot()->setExpanded(true);
    QVERIFY2(m_device->AllExpected(), m_device->m_mismatches.join(" | ").constData());
    QTreeWidgetItem* job = Node(m_view->PortRoot(), "Jobs\\Job 3: A1");
    QDir(m_strShare).mkpath("up");
    QTreeWidgetItem* up = Open(m_view->FtpRoot(), "up");

    // The instrument breaks off: nothing reaches the server.
    const auto scriptReceive = [this](const QByteArray& lastReply) {
        m_device->Expect("c\r\n", "\r\n");
        m_device->Expect("FORM/SET/0\r\n", "\r\n");
        m_device->Expect("JOB/RCV/OBSERV/3\r\n", "\r\n");
        m_device->Expect("?\r\n", "11 line one\r\n");
        m_device->Expect("?\r\n", lastReply);
    };
    Write(CLocalPaths::StagingPath("tempftp"), "left by an earlier run\r\n");
    scriptReceive("@E1\r\n");
    m_device->Expect("c\r\n");
    m_prompt->PushDataDownload(true, "A1.VRN", 0);
    Paste(Node(job, "Measurements: 7 Measurements blocks"), up);
    QVERIFY2(m_device->AllExpected(), m_device->m_mismatches.join(" | ").constData());
    QVERIFY(Files(m_strShare).isEmpty());

    scriptReceive("12 line two\r\n");
    m_device->Expect("?\r\n");
    m_prompt->PushDataDownload(true, "A1.VRN", 0);
    m_frame->Action(ID_EDIT_PASTE)->trigger();
    QVERIFY2(m_device->AllExpected(), m_device->m_mismatches.join(" | ").constData());
    QCOMPARE(Files(m_strShare), (QMap<QString, QByteArray>{{"up/A1.VRN", "11 line one\r\n12 line two\r\n"}}));
    QCOMPARE(CTessaroView::ChildLabels(up), QStringList("A1.VRN"));

    // A download bound for the instrument that fails or is cancelled sends
    // nothing at all.
    const qsizetype writes = m_device->m_writes.size();
    QFile::rename(m_strShare + "/up/A1.VRN", m_strShare + "/up/kept.VRN");
    m_prompt->m_shown.clear();
    Paste(Node(up, "A1.VRN"), job);
    QCOMPARE(m_prompt->m_shown, QStringList(": 550 No such file or directory."));
    QFile::rename(m_strShare + "/up/kept.VRN", m_strShare + "/up/A1.VRN");
    m_progress->m_nCancelAtPoll = m_progress->m_nPolls + 1;
    m_frame->Action(ID_EDIT_PASTE)->trigger();
    QCOMPARE(m_device->m_writes.size(), writes);
    QCOMPARE(m_prompt->m_shown.size(), 1);
}

// The exact wire of a session, against a scripted peer.
void FtpTreeTests::quitOnlyEndsASessionThatALogonOpened()
{
    auto refused = std::make_unique<CScriptedFtpServer>();
    refused->On("AUTH", "502 Command not implemented."); // no TLS here: plain FTP
    refused->Queue({"331 Password required", "530 Login incorrect."});
    refused->Start();
    SetServer(QString("127.0.0.1:%1").arg(refused->Port()), "pw");
    Open(m_view->FtpRoot(), QString());
    QCOMPARE(m_prompt->m_shown, QStringList(": 530 Login incorrect."));
    // A client put in place of one that never logged on ends nothing either.
    m_view->ReplaceFtpClient(std::make_unique<CFtpClient>());
    refused->Join();
    m_frame.reset();
    QCOMPARE(refused->m_transcript, (std::vector<std::string>{"AUTH TLS", "USER tess", "PASS pw"}));

    CScriptedFtpServer server;
    for (const char* rule : {"USER|331 Password required", "PASS|230 Logged in", "CWD|250 OK", "TYPE|200 OK",
                             "PORT|200 OK", "QUIT|221 Bye"}) {
        const QList<QByteArray> parts = QByteArray(rule).split('|');
        server.On(parts[0].toStdString(), parts[1].toStdString());
    }
    server.On("LIST",
              ScriptedFtp::SendFile("drwxr-xr-x 2 u g 0 Dec 06 21:16 data\r\n"
                                    "-rw-r--r-- 1 u g 0 Dec 06 21:16 ..\\evil\r\n"));
    server.Start();
    SetServer(QString("127.0.0.1:%1").arg(server.Port()), "pw");
    m_frame = std::make_unique<CMainFrame>();
    m_view = m_frame->View();
    m_view->OnInitialUpdate();
    QTreeWidgetItem* data = Open(m_view->FtpRoot(), "data");
    QCOMPARE(CTessaroView::ChildLabels(data), QStringList({"data", "..\\evil"}));
    // A name that is no plain name is shown, but nothing acts on it.
    m_view->setCurrentItem(Node(data, "..\\evil"));
    m_frame->UpdateCommandUI();
    QVERIFY(!m_frame->Action(ID_EDIT_COPY)->isEnabled());
    m_frame.reset();
    server.Join();
    std::vector<std::string> commands;
    for (const std::string& line : server.m_transcript) {
        if (line.rfind("CWD", 0) == 0 || line == "QUIT")
            commands.push_back(line);
    }
    QCOMPARE(commands, (std::vector<std::string>{"CWD /", "CWD /data/", "QUIT"}));
}

// A server that requires TLS, with a certificate of its own: asked about
// once, remembered, and then files go both ways as with plain FTP.
void FtpTreeTests::tlsServerWithACertificateTrustedOnce()
{
    QTemporaryDir dir;
    CTestCertificate certificate;
    QString problem;
    if (!MakeSelfSignedCertificate(dir.path(), "server", certificate, problem))
        QSKIP(qPrintable(problem));
    CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
    server.m_strCertificate = certificate.m_strCertificate;
    server.m_strKey = certificate.m_strKey;
    QVERIFY2(server.Start(), qPrintable(server.m_strProblem));
    Write(server.m_strRoot + "/plan.VRN", "plan");
    Write(m_strLocal + "/up.VRN", "up");
    CProfile::WriteString("FTP", "ServerName", QString("127.0.0.1:%1").arg(server.m_nPort));
    CProfile::WriteString("FTP", "UserName", server.m_strUser);
    CProfile::WriteString("FTP", "Password", server.m_strPassword);
    CProfile::WriteString("FTP", "Encryption", "require");

    m_prompt->PushButton(IDYES);
    QTreeWidgetItem* ftp = Open(m_view->FtpRoot(), QString());
    QCOMPARE(CTessaroView::ChildLabels(ftp), QStringList("plan.VRN"));
    QCOMPARE(m_prompt->m_shown.size(), 1);
    QVERIFY2(m_prompt->m_shown[0].contains(certificate.m_strFingerprint), qPrintable(m_prompt->m_shown[0]));
    QVERIFY(m_view->FtpClient().IsDataEncrypted());
    const QString key = FtpServerKey("127.0.0.1", server.m_nPort);
    QCOMPARE(CFtpSettings::RememberedFingerprint(key), certificate.m_strFingerprint);

    // A new window, the same server: no question.
    m_frame = std::make_unique<CMainFrame>();
    m_view = m_frame->View();
    m_view->OnInitialUpdate();
    QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
    ftp = Open(m_view->FtpRoot(), QString());
    Paste(Node(ftp, "plan.VRN"), local);
    Paste(Node(local, "up.VRN"), ftp);
    QCOMPARE(Files(m_strLocal).value("plan.VRN"), QByteArray("plan"));
    QCOMPARE(Files(server.m_strRoot).value("up.VRN"), QByteArray("up"));
    QCOMPARE(m_prompt->m_shown.size(), 1);
    const QStringList commands = server.Transcript();
    QVERIFY(commands.contains("PROT P"));
    QVERIFY(commands.contains("MLSD"));
    m_frame.reset();
}

QTEST_MAIN(FtpTreeTests)
#include "FtpTreeTests.moc"
