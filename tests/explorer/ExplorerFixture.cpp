#include "ExplorerFixture.h"

#include <QStatusBar>

QTreeWidgetItem* Node(QTreeWidgetItem* parent, const QString& path)
{
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

QTreeWidgetItem* Find(QTreeWidgetItem* parent, const QString& prefix)
{
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0).startsWith(prefix))
            return parent->child(i);
    }
    return nullptr;
}

void CExplorerFixture::StartExplorer(const QString& root)
{
    m_strRoot = root;
    m_localRoot = std::make_unique<CScopedLocalRoot>();
    QVERIFY(m_localRoot->Set(root));
    m_profile = std::make_unique<CTempProfile>();
    m_clock = std::make_unique<CVirtualClock>();
    m_prompt = std::make_unique<CScriptedPrompt>();
    m_progress = std::make_unique<CRecordingProgress>();
    m_services = std::make_unique<CScopedServices>(m_clock.get(), m_prompt.get(), m_progress.get());
    m_remoteAccess = std::make_unique<CScriptedRemoteAccess>();
    CServices::SetRemoteAccess(m_remoteAccess.get());
    m_frame = std::make_unique<CMainFrame>();
    m_view = m_frame->View();
    m_statuses.clear();
    QObject::connect(m_frame->statusBar(), &QStatusBar::messageChanged,
                     [this](const QString& text) { m_statuses.append(text); });
    m_bRoutable = false;
    m_view->m_fnHasRoutableAddress = [this] { return m_bRoutable; };
    m_device = std::make_unique<CScriptedSerialDevice>(m_clock.get());
    m_view->Instrument().m_port.SetDevice(m_device.get());
    m_view->OnInitialUpdate();
    m_frame->UpdateCommandUI();
}

void CExplorerFixture::StopExplorer()
{
    m_frame.reset();
    const QStringList unexpected = m_prompt->m_unexpected;
    const bool idle = m_prompt->Idle();
    const int unexpectedDials = m_remoteAccess->m_nUnexpectedDials;
    const bool played = m_device->AllExpected();
    const QString mismatches = QString::fromLatin1(m_device->m_mismatches.join(" | "));
    CServices::SetRemoteAccess(nullptr);
    m_services.reset();
    m_device.reset();
    m_profile.reset();
    m_localRoot.reset();
    QVERIFY2(idle, qPrintable("unexpected or unused answers: " + unexpected.join(" | ")));
    QCOMPARE(unexpectedDials, 0);
    // The instrument's side went as scripted: every line used, none other written.
    QVERIFY2(played, qPrintable("unexpected or unused instrument lines: " + mismatches));
    // No staging file outlives a command.
    QVERIFY(!QFile::exists(CLocalPaths::StagingPath("tempftp")));
    QVERIFY(!QFile::exists(CLocalPaths::StagingPath("FTP-INSTRUMENT")));
}

void CExplorerFixture::SetFtpServer(int port, const QString& user, const QString& password)
{
    CProfile::WriteString("FTP", "ServerName", QString("127.0.0.1:%1").arg(port));
    CProfile::WriteString("FTP", "UserName", user);
    CProfile::WriteString("FTP", "Password", password);
}

QTreeWidgetItem* CExplorerFixture::Open(QTreeWidgetItem* node, const QString& path)
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

bool CExplorerFixture::Enabled(QTreeWidgetItem* node, int id)
{
    m_view->setCurrentItem(node);
    m_frame->UpdateCommandUI();
    return m_frame->Action(id)->isEnabled();
}

void CExplorerFixture::Run(QTreeWidgetItem* node, int id)
{
    QVERIFY(node);
    QVERIFY2(Enabled(node, id), qPrintable(node->text(0)));
    m_frame->Action(id)->trigger();
}

void CExplorerFixture::Paste(QTreeWidgetItem* source, QTreeWidgetItem* target)
{
    QVERIFY(source && target);
    Run(source, ID_EDIT_COPY);
    Run(target, ID_EDIT_PASTE);
}

void CExplorerFixture::ScriptConnect(const QList<QByteArray>& jobs, const QList<QByteArray>& formats, bool codeLists)
{
    const char* wake[][2] = {{"a", nullptr}, {"c", ""}, {"c", "OK"}, {"%R1Q,5004:", "%R1P,0,0:0,\"SIM\""}};
    for (const auto& [written, reply] : wake)
        m_device->Expect(QByteArray(written) + "\r\n", reply ? QByteArray(reply) + "\r\n" : QByteArray());
    ScriptJobs(jobs);
    // Formats and code lists end on "?" and a closing "c".
    const auto list = [this](const QByteArray& command, const QList<QByteArray>& rows) {
        m_device->Expect("c\r\n", "\r\n");
        for (qsizetype i = 0; i < rows.size(); ++i)
            m_device->Expect(i == 0 ? command : "?\r\n", rows.at(i) + "\r\n");
        m_device->Expect("?\r\n", "?\r\n");
        m_device->Expect("c\r\n", "\r\n");
    };
    list("FORM/CONF/LIST\r\n", formats);
    if (codeLists)
        list("CODE/CONF/LIST\r\n", {"CODES,3,12"});
}

void CExplorerFixture::ScriptJobs(const QList<QByteArray>& rows)
{
    m_device->Expect("c\r\n", "\r\n");
    for (qsizetype i = 0; i < rows.size(); ++i)
        m_device->Expect(i == 0 ? "JOB/CONF/LIST\r\n" : "?\r\n", rows.at(i) + "\r\n");
    // The job listing ends on silence, asked twice.
    m_device->Expect("?\r\n");
    m_device->Expect("?\r\n");
}

void CExplorerFixture::ScriptReceive(const QList<QByteArray>& replies)
{
    for (const char* written : {"c", "FORM/SET/0", "JOB/RCV/OBSERV/3"})
        m_device->Expect(QByteArray(written) + "\r\n", "\r\n");
    for (const QByteArray& reply : replies)
        m_device->Expect("?\r\n", reply);
}
