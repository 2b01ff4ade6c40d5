#pragma once

#include "dialogs/DialogTestUtil.h"
#include "explorer/CommandIds.h"
#include "explorer/MainFrame.h"
#include "explorer/NodeData.h"
#include "explorer/TessaroView.h"
#include "platform/Clock.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"
#include "platform/Services.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedPrompt.h"
#include "support/ScriptedRemoteAccess.h"
#include "support/ScriptedSerialDevice.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QtTest>

#include <memory>

// The child labelled `path` as a whole, else the node along its "\"-separated labels.
QTreeWidgetItem* Node(QTreeWidgetItem* parent, const QString& path);
// The first child whose label starts with prefix.
QTreeWidgetItem* Find(QTreeWidgetItem* parent, const QString& prefix);
inline QStringList Labels(const QTreeWidgetItem* node)
{
    return CTessaroView::ChildLabels(node);
}
inline QStringList Sorted(QStringList list)
{
    list.sort();
    return list;
}

// The explorer's window on a handheld root folder, with a scripted prompt,
// progress and remote access, the virtual clock and a scripted instrument on
// the serial line. Test classes derive from it and call StartExplorer in
// init() and StopExplorer in cleanup().
class CExplorerFixture
{
public:
    void StartExplorer(const QString& root);
    // Closes the window; the prompt and the instrument's script must have had nothing left over.
    void StopExplorer();
    // Points the profile's FTP settings at a server.
    static void SetFtpServer(int port, const QString& user, const QString& password);

    // Opens the node and every folder along path below it, as a user clicking down to it.
    QTreeWidgetItem* Open(QTreeWidgetItem* node, const QString& path = QString());
    // Selects the node: is the command enabled on it?
    bool Enabled(QTreeWidgetItem* node, int id);
    // Selects the node and runs the command, which must be enabled.
    void Run(QTreeWidgetItem* node, int id);
    void Paste(QTreeWidgetItem* source, QTreeWidgetItem* target);

    // The instrument's side of opening "Port1:": wake-up, name "SIM", then the
    // listings of these rows (CR LF added); without code lists their listing
    // is left to the test.
    void ScriptConnect(const QList<QByteArray>& jobs = {"A1,3,5,7"}, const QList<QByteArray>& formats = {"VORN,2,1,1"},
                       bool codeLists = true);
    void ScriptJobs(const QList<QByteArray>& rows);
    // Receiving job 3's measurements in the first format: these replies to "?" (an empty one is silence).
    void ScriptReceive(const QList<QByteArray>& replies);

    QString m_strRoot;
    std::unique_ptr<CScopedLocalRoot> m_localRoot;
    std::unique_ptr<CTempProfile> m_profile;
    std::unique_ptr<CVirtualClock> m_clock;
    std::unique_ptr<CScriptedPrompt> m_prompt;
    std::unique_ptr<CRecordingProgress> m_progress;
    std::unique_ptr<CScopedServices> m_services;
    std::unique_ptr<CScriptedRemoteAccess> m_remoteAccess;
    std::unique_ptr<CScriptedSerialDevice> m_device;
    std::unique_ptr<CMainFrame> m_frame;
    CTessaroView* m_view = nullptr;
    bool m_bRoutable = false; // what the view learns of the machine's addresses
    QStringList m_statuses;   // the status line's texts, in order
};
