#pragma once

#include "ExplorerFixture.h"
#include "FtpServerProcess.h"

// The explorer on a root folder that holds "Local" and "share", the folder
// pyftpdlib serves on 127.0.0.1 (as on a machine that serves its own files):
// what a test does to the FTP tree can be checked below "MyComputer".
class CServerTreeFixture : public CExplorerFixture
{
public:
    bool StartServer() { return m_server.Start(); }
    // Empty "Local" and "share", the window shown and pointed at the server.
    void StartWithServer()
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
    // Closes the window; no probe folder may be left behind on the server.
    void StopWithServer()
    {
        StopExplorer();
        QDirIterator it(m_server.m_strRoot, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            QVERIFY2(!it.next().contains("tessaro-probe"), qPrintable(it.filePath()));
    }

    QString Path(const QString& relative) const { return m_strRoot + "/" + relative; }
    bool Exists(const QString& relative) const { return QFileInfo::exists(Path(relative)); }
    // A file below "MyComputer" with its folders; a path ending in "/" is a folder.
    void Write(const QString& relative, const QByteArray& bytes = "x")
    {
        QVERIFY2(relative.endsWith('/') ? QDir().mkpath(Path(relative)) : WriteFile(Path(relative), bytes),
                 qPrintable(relative));
    }

    CFtpServerProcess m_server{CFtpServerProcess::Pyftpdlib};
};
