#include "ExplorerFixture.h"
#include "FtpServerProcess.h"
#include "SftpServerProcess.h"

#include "ftp/FtpClient.h"
#include "support/CiSkip.h"

// In the explorer alone, against real servers on 127.0.0.1: pyftpdlib that
// requires TLS, and sshd.
class ExplorerE2E : public QObject, public CExplorerFixture
{
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // A server that requires TLS, with a certificate of its own: asked about
    // once (the command line's TLS test checks that the answer is
    // remembered), and then files come as with plain FTP.
    void tlsServerWithACertificateTrustedOnce()
    {
        CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
        CTestCertificate certificate;
        if (!server.StartWithTls(certificate))
            TESSARO_QSKIP(qPrintable(server.m_strProblem));
        StartTrusting(server, server.m_strPassword, {"Encryption", "require"}, certificate.m_strFingerprint);
        QVERIFY(m_view->FtpClient().IsDataEncrypted());
        DownloadAndClose();
    }

    // Protocol SFTP against sshd: the host key asked about once, then the
    // root and a download as over FTP (the other commands take the same way
    // through the view, and the SFTP client's test has them all).
    void sftpServer()
    {
        CSftpServerProcess server;
        if (!server.Start())
            TESSARO_QSKIP(qPrintable(server.m_strProblem));
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", server.m_strHome.toLocal8Bit());
        qunsetenv("SSH_AUTH_SOCK");
        StartTrusting(server, QString(), {"Protocol", "SFTP"}, "ssh-ed25519");
        DownloadAndClose();
        qputenv("HOME", home);
    }

private:
    // The explorer on a folder with "Local", pointed at a server whose root
    // holds "plan.VRN", with one more FTP setting: the first opening of "FTP"
    // asks once about the server, naming key.
    template <class TServer>
    void StartTrusting(const TServer& server, const QString& password, const QStringList& setting, const QString& key)
    {
        QVERIFY(WriteFile(server.m_strRoot + "/plan.VRN", "plan") && QDir(m_dir->path()).mkpath("Local"));
        StartExplorer(m_dir->path());
        SetFtpServer(server.m_nPort, server.m_strUser, password);
        CProfile::WriteString("FTP", setting[0], setting[1]);
        m_prompt->PushButton(IDYES);
        QCOMPARE(Labels(Open(m_view->FtpRoot())), QStringList("plan.VRN"));
        QCOMPARE(m_prompt->m_shown.size(), 1);
        QVERIFY2(m_prompt->m_shown[0].contains(key), qPrintable(m_prompt->m_shown[0]));
    }
    // "plan.VRN" from the server's root into "Local", asking nothing more; then the window closes.
    void DownloadAndClose()
    {
        QTreeWidgetItem* local = Open(m_view->MyComputerRoot(), "Local");
        Paste(Node(Open(m_view->FtpRoot()), "plan.VRN"), local);
        QCOMPARE(ReadFile(m_dir->filePath("Local/plan.VRN")), QByteArray("plan"));
        QCOMPARE(m_prompt->m_shown.size(), 1);
        StopExplorer();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(ExplorerE2E)
#include "ExplorerE2E.moc"
