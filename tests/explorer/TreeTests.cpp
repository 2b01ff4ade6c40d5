#include "explorer/CommandIds.h"
#include "explorer/MainFrame.h"
#include "explorer/NodeData.h"
#include "explorer/TessaroView.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

class TreeTests : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rootsAndTheirChildren();
    void localListingOrderAndHiddenFiles();
    void reopeningAFolderShowsCurrentContents();
    void unreadableFolderListsEmpty();
    void nodePaths();
    void menuHasEveryItemAndUnbuiltOnesAreDisabled();
    void rightClickDoesNothing();
    void settingsCommandsOpenTheirDialogs();

private:
    QTreeWidgetItem* Child(QTreeWidgetItem* node, const QString& label);
    void Touch(const QString& relative);

    QTemporaryDir* m_dir = nullptr;
    CMainFrame* m_frame = nullptr;
    CTessaroView* m_view = nullptr;
};

void TreeTests::init()
{
    m_dir = new QTemporaryDir;
    QDir root(m_dir->path());
    root.mkpath("Data/Sub");
    root.mkpath("Windows/Desktop");
    root.mkpath(".config");
    Touch("zeta.txt");
    Touch("alpha.txt");
    Touch(".profile");
    Touch("Data/job 1.txt");
    Touch("Data/.hidden");
    QVERIFY(CLocalPaths::SetRoot(m_dir->path()));
    CProfile::SetFile(m_dir->filePath("profile.ini"));
    m_frame = new CMainFrame;
    m_view = m_frame->View();
    m_view->OnInitialUpdate();
    m_frame->UpdateCommandUI();
}

void TreeTests::cleanup()
{
    delete m_frame;
    delete m_dir;
    CProfile::SetFile(QString());
    CLocalPaths::SetRoot("/");
}

void TreeTests::Touch(const QString& relative)
{
    QFile f(m_dir->filePath(relative));
    QVERIFY(f.open(QIODevice::WriteOnly));
}

QTreeWidgetItem* TreeTests::Child(QTreeWidgetItem* node, const QString& label)
{
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == label)
            return node->child(i);
    }
    return nullptr;
}

void TreeTests::rootsAndTheirChildren()
{
    QCOMPARE(m_frame->windowTitle(), QString("Marvo Tessaro"));
    QCOMPARE(m_view->topLevelItemCount(), 3);
    QCOMPARE(m_view->topLevelItem(0)->text(0), QString("Port1:"));
    QCOMPARE(m_view->topLevelItem(1)->text(0), QString("FTP"));
    QCOMPARE(m_view->topLevelItem(2)->text(0), QString("MyComputer"));
    QCOMPARE(CTessaroView::ChildLabels(m_view->PortRoot()), QStringList("no instruments connected"));
    QCOMPARE(CTessaroView::ChildLabels(m_view->FtpRoot()), QStringList("not connected"));
    QCOMPARE(CNodeData::Of(m_view->PortRoot()).Word(), quint32(NK_PORT));
    QCOMPARE(CNodeData::Of(m_view->FtpRoot()).Word(), quint32(NK_FTP_FOLDER));
    QCOMPARE(CNodeData::Of(m_view->MyComputerRoot()).Word(), quint32(0));
    // Status child of "Port1:" has no image; "not connected" has the document.
    QVERIFY(m_view->PortRoot()->child(0)->icon(0).isNull());
    QVERIFY(!m_view->FtpRoot()->child(0)->icon(0).isNull());
    QVERIFY(!m_view->PortRoot()->icon(0).isNull());
}

void TreeTests::localListingOrderAndHiddenFiles()
{
    const QStringList top = CTessaroView::ChildLabels(m_view->MyComputerRoot());
    // Folders first (hidden ones too), then files without the hidden ones.
    const int firstFile =
        top.indexOf("alpha.txt") < top.indexOf("zeta.txt") ? top.indexOf("alpha.txt") : top.indexOf("zeta.txt");
    QCOMPARE(top.size(), 5);
    QVERIFY(!top.contains(".profile"));
    for (const QString& folder : {QString("Data"), QString("Windows"), QString(".config")}) {
        QVERIFY2(top.indexOf(folder) >= 0 && top.indexOf(folder) < firstFile, qPrintable(folder));
    }
    QTreeWidgetItem* data = Child(m_view->MyComputerRoot(), "Data");
    QVERIFY(data);
    QCOMPARE(CNodeData::Of(data).Word(), quint32(NK_LOCAL_FOLDER));
    QCOMPARE(CTessaroView::ChildLabels(data), QStringList("..."));
    QVERIFY(data->child(0)->icon(0).isNull());
    QTreeWidgetItem* alpha = Child(m_view->MyComputerRoot(), "alpha.txt");
    QCOMPARE(CNodeData::Of(alpha).Word(), quint32(NK_LOCAL_FILE));
    QCOMPARE(alpha->childCount(), 0);

    data->setExpanded(true);
    QCOMPARE(CTessaroView::ChildLabels(data), QStringList({"Sub", "job 1.txt"}));
}

void TreeTests::reopeningAFolderShowsCurrentContents()
{
    QTreeWidgetItem* data = Child(m_view->MyComputerRoot(), "Data");
    data->setExpanded(true);
    QCOMPARE(data->childCount(), 2);
    data->setExpanded(false);
    Touch("Data/new.txt");
    QVERIFY(QFile::remove(m_dir->filePath("Data/job 1.txt")));
    data->setExpanded(true);
    QCOMPARE(CTessaroView::ChildLabels(data), QStringList({"Sub", "new.txt"}));

    // A folder holding only hidden files shows no children.
    QDir(m_dir->path()).mkpath("Data/Sub");
    Touch("Data/Sub/.only-hidden");
    QTreeWidgetItem* sub = Child(data, "Sub");
    sub->setExpanded(true);
    QCOMPARE(sub->childCount(), 0);
}

void TreeTests::unreadableFolderListsEmpty()
{
    QTreeWidgetItem* windows = Child(m_view->MyComputerRoot(), "Windows");
    QVERIFY(QDir(m_dir->path()).rmdir("Windows/Desktop"));
    QVERIFY(QDir(m_dir->path()).rmdir("Windows"));
    windows->setExpanded(true);
    QCOMPARE(windows->childCount(), 0);
}

void TreeTests::nodePaths()
{
    QTreeWidgetItem* windows = Child(m_view->MyComputerRoot(), "Windows");
    windows->setExpanded(true);
    QTreeWidgetItem* desktop = Child(windows, "Desktop");
    QVERIFY(desktop);
    QCOMPARE(m_view->NodePath(desktop), QString("Windows\\Desktop"));
    QCOMPARE(m_view->NodePath(windows), QString("Windows"));
    QCOMPARE(m_view->NodePath(m_view->FtpRoot()), QString("FTP"));
    QCOMPARE(m_view->NodePath(m_view->MyComputerRoot()), QString("MyComputer"));

    auto* data = new QTreeWidgetItem(m_view->FtpRoot(), QStringList("data"));
    auto* file = new QTreeWidgetItem(data, QStringList("a.txt"));
    QCOMPARE(m_view->NodePath(file), QString("data\\a.txt"));
}

void TreeTests::menuHasEveryItemAndUnbuiltOnesAreDisabled()
{
    QStringList menus;
    for (QAction* a : m_frame->menuBar()->actions())
        menus.append(a->text());
    QCOMPARE(menus, QStringList({"&File", "&Edit", "Settings", "Connection", "&Help"}));
    const int ids[] = {ID_FILE_REFRESH,
                       ID_FILE_NEW_FOLDER,
                       ID_APP_EXIT,
                       ID_EDIT_DELETE,
                       ID_EDIT_COPY,
                       ID_EDIT_PASTE,
                       ID_EDIT_VIEW,
                       ID_SETTINGS_FTP,
                       ID_SETTINGS_COM,
                       ID_CONNECTION_CONNECT,
                       ID_CONNECTION_DISCONNECT,
                       ID_APP_ABOUT};
    for (int id : ids)
        QVERIFY2(m_frame->Action(id), qPrintable(QString::number(id)));
    QCOMPARE(m_frame->Action(ID_CONNECTION_DISCONNECT)->text(), QString("Disconect"));
    QCOMPARE(m_frame->Action(ID_EDIT_DELETE)->shortcuts(),
             QList<QKeySequence>({QKeySequence("Ctrl+X"), QKeySequence("Shift+Del")}));
    QCOMPARE(m_frame->Action(ID_EDIT_PASTE)->shortcuts(),
             QList<QKeySequence>({QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")}));
    QVERIFY(m_frame->Action(ID_APP_ABOUT)->isEnabled());
    QVERIFY(m_frame->Action(ID_SETTINGS_COM)->isEnabled());
    // Nothing selected: node commands are off.
    QVERIFY(!m_frame->Action(ID_EDIT_COPY)->isEnabled());
    QVERIFY(!m_frame->Action(ID_EDIT_PASTE)->isEnabled());
    QVERIFY(!m_frame->Action(ID_FILE_REFRESH)->isEnabled());
}

void TreeTests::rightClickDoesNothing()
{
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    QTreeWidgetItem* data = Child(m_view->MyComputerRoot(), "Data");
    const QRect rect = m_view->visualItemRect(m_view->MyComputerRoot());
    QTest::mouseClick(m_view->viewport(), Qt::RightButton, {}, rect.center());
    QVERIFY(m_view->currentItem() == nullptr || m_view->currentItem() != m_view->MyComputerRoot());
    QVERIFY(!data->isExpanded());
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(m_view->currentItem(), m_view->MyComputerRoot());
}

void TreeTests::settingsCommandsOpenTheirDialogs()
{
    struct Row
    {
        int id;
        const char* title;
    };
    for (const Row& row : {Row{ID_SETTINGS_FTP, "FTP Settings"}, Row{ID_SETTINGS_COM, "COM Settings"}}) {
        QVERIFY(m_frame->Action(row.id)->isEnabled());
        QString seen;
        QTimer::singleShot(0, [&seen] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog) {
                seen = dialog->windowTitle();
                QMetaObject::invokeMethod(dialog, "reject");
            }
        });
        m_frame->Action(row.id)->trigger();
        QCOMPARE(seen, QString(row.title));
    }
    // Cancelled dialogs store nothing.
    QVERIFY(!QFile::exists(m_dir->filePath("profile.ini")) || QFile(m_dir->filePath("profile.ini")).size() == 0);
}

QTEST_MAIN(TreeTests)
#include "TreeTests.moc"
