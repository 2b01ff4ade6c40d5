// tessaro-cli ftp against pyftpdlib (over TLS, and plain) and against scripted
// servers that send terminal escapes; its options and each source of the
// password; the questions it asks on a terminal.
#include "FtpServerProcess.h"
#include "FtpTestSupport.h"
#include "SftpServerProcess.h"

#include <gtest/gtest.h>

#include "support/CiSkip.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <tuple>

#include <signal.h>

namespace {

class FtpCli : public testing::Test
{
protected:
    struct CRun
    {
        int m_nExit = -1;
        QByteArray m_out;
        QByteArray m_err;  // on a terminal: what it showed until the answer
        QByteArray m_echo; // on a terminal: what it showed after the answer
    };

    // "tessaro-cli --profile <the test's> ftp args", in the test's folder;
    // TESSARO_FTP_PASSWORD set only when given.
    CRun Run(const QStringList& args, const char* environmentPassword = nullptr)
    {
        QProcess process;
        Prepare(process, environmentPassword);
        process.start(QStringLiteral(TESSARO_CLI), Arguments(args));
        CRun run;
        if (process.waitForFinished(60000)) {
            run.m_nExit = process.exitCode();
            run.m_out = process.readAllStandardOutput();
            run.m_err = process.readAllStandardError();
        }
        return run;
    }
    void Prepare(QProcess& process, const char* environmentPassword = nullptr) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"TESSARO_FTP_PASSWORD"_s);
        if (environmentPassword)
            environment.insert(u"TESSARO_FTP_PASSWORD"_s, QString::fromLatin1(environmentPassword));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_dir.path());
    }
    // tessaro-cli with args on a terminal, which script(1) gives it, as a user
    // at a keyboard would run it: answer is typed once the terminal shows
    // question.
    CRun RunOnTerminal(const QStringList& args, const char* question, const QByteArray& answer) const
    {
        QStringList words = QStringList{QStringLiteral(TESSARO_CLI)} + Arguments(args);
        for (QString& word : words)
            word = u"'"_s + word.replace(u"'"_s, u"'\\''"_s) + u"'"_s;
        QProcess process;
        Prepare(process);
        process.start(u"script"_s, {u"-qefc"_s, words.join(u' '), u"/dev/null"_s});
        CRun run;
        for (QDeadlineTimer deadline(10000);
             !run.m_err.contains(question) && process.waitForReadyRead(int(deadline.remainingTime()));)
            run.m_err += process.readAllStandardOutput();
        process.write(answer);
        if (process.waitForFinished(20000))
            run.m_nExit = process.exitCode();
        run.m_echo = process.readAllStandardOutput();
        return run;
    }
    QStringList Arguments(const QStringList& args) const
    {
        return QStringList{u"--profile"_s, Path(u"profile.ini"_s), u"ftp"_s} + args;
    }
    static QStringList Logon(int port, const QString& user, const QString& password = QString())
    {
        QStringList args{u"--server"_s, u"127.0.0.1:%1"_s.arg(port), u"--user"_s, user};
        return password.isNull() ? args : args << u"--password"_s << password;
    }
    static QStringList Logon(const CFtpServerProcess& server)
    {
        return Logon(server.m_nPort, server.m_strUser, server.m_strPassword);
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

} // namespace

// Every command over TLS, the certificate named by its fingerprint; failures,
// usage errors, the profile's logon and the question on a terminal, whose Yes
// is remembered.
TEST_F(FtpCli, CommandsOverTls)
{
    CFtpServerProcess server(CFtpServerProcess::Pyftpdlib);
    CTestCertificate certificate;
    if (!server.StartWithTls(certificate))
        TESSARO_GTEST_SKIP(qPrintable(server.m_strProblem));
    const QString root = server.m_strRoot;
    const QString hex = QString(certificate.m_strFingerprint).remove(u':').toLower();
    const QStringList trusted = Logon(server) << u"--trust-fingerprint"_s << hex;
    const auto ok = [this](const QStringList& args) {
        const CRun run = Run(args);
        EXPECT_EQ(run.m_nExit, 0) << qPrintable(args.join(u' ')) << ": " << run.m_err.constData();
        return run.m_out;
    };
    const QByteArray content = RandomBytes(300000, 31);
    ASSERT_TRUE(WriteFile(Path(u"a b.bin"_s), content));
    ok(trusted + QStringList{u"--tls"_s, u"require"_s, u"mkdir"_s, u"/"_s, u"my folder"_s});
    ok(trusted + QStringList{u"put"_s, u"a b.bin"_s, u"/my folder/a b.bin"_s});
    ok(trusted + QStringList{u"--passive"_s, u"get"_s, u"/my folder/a b.bin"_s, u"copy.bin"_s});
    EXPECT_EQ(ReadFile(Path(u"copy.bin"_s)), content);

    // Names with spaces are listed whole, folders marked "d".
    ASSERT_TRUE(WriteFile(root + u"/  two leading"_s, "x"));
    EXPECT_EQ(ok(trusted + QStringList{u"ls"_s, u"/"_s}), "-\t  two leading\nd\tmy folder\n");
    const QDateTime modified = QFileInfo(root + u"/my folder/a b.bin"_s).lastModified().toUTC();
    EXPECT_EQ(ok(trusted + QStringList{u"ls"_s, u"-l"_s, u"/my folder"_s}),
              "-\t300000\t" + modified.toString(u"yyyy-MM-ddTHH:mm:ssZ"_s).toLatin1() + "\ta b.bin\n");
    // Each other command once, a folder tree up and down again among them.
    ASSERT_TRUE(WriteFile(Path(u"tree/top.txt"_s), "top") && WriteFile(Path(u"tree/in ner/deep.bin"_s), content));
    ASSERT_TRUE(QDir().mkpath(root + u"/gone"_s));
    const QStringList upload{u"upload-folder"_s, u"tree"_s, u"/my folder"_s, u"T"_s};
    for (const QStringList& args :
         {QStringList{u"--timeout"_s, u"2.5"_s, u"rename"_s, u"/my folder/a b.bin"_s, u"/my folder/c.bin"_s}, upload,
          QStringList{u"--passive"_s, u"download-folder"_s, u"/my folder/T"_s, m_dir.path(), u"T2"_s},
          QStringList{u"rm"_s, u"/my folder/c.bin"_s}, QStringList{u"rmdir"_s, u"/gone"_s}})
        ok(trusted + args);
    EXPECT_EQ(FilesBelow(root + u"/my folder"_s).keys(), (QStringList{u"T/in ner/deep.bin"_s, u"T/top.txt"_s}));
    EXPECT_EQ(FilesBelow(Path(u"T2"_s)), FilesBelow(Path(u"tree"_s)));
    EXPECT_FALSE(QFileInfo::exists(root + u"/gone"_s));
    // Uploading again skips existing files unless --yes.
    ASSERT_TRUE(WriteFile(Path(u"tree/top.txt"_s), "changed"));
    // Files left out end a copy that went through with 3: a script can tell.
    // A server name that cannot be a local name fails its file; without
    // --yes that stops the download (1). Other failures end with 1 and the
    // server's reply; without a terminal an unknown certificate fails, showing
    // its fingerprint, --yes or not. Usage errors are told before anything is
    // sent (2); a time-out must be a number of seconds from 0.001 to 86400.
    ASSERT_TRUE(WriteFile(root + u"/my folder/T/back\\slash"_s, "x"));
    const QStringList download{u"download-folder"_s, u"/my folder/T"_s, m_dir.path()};
    QList<std::tuple<QStringList, int, QByteArray>> failures{
        {trusted + upload, 3, "2 existing files were skipped"},
        {trusted + QStringList{u"--yes"_s} + download + QStringList{u"T3"_s}, 3, "not copied completely"},
        {trusted + download + QStringList{u"T4"_s}, 1, "not copied completely"},
        {trusted + QStringList{u"ls"_s, u"/no such folder"_s}, 1, "550"},
        {Logon(server) + QStringList{u"--yes"_s, u"ls"_s}, 1, certificate.m_strFingerprint.toLatin1()},
        {Logon(server) << u"frobnicate"_s, 2, "unknown ftp command \"frobnicate\""},
        {Logon(server) + QStringList{u"get"_s, u"only-one"_s}, 2, "wrong number of arguments for ftp get"},
        {Logon(server) + QStringList{u"--tls"_s, u"sometimes"_s, u"ls"_s}, 2, "--tls takes auto, require or off"},
        {Logon(server) + QStringList{u"--trust-fingerprint"_s, u"12:34"_s, u"ls"_s}, 2, "takes a SHA-256 fingerprint"},
        {{u"ls"_s}, 2, "no valid server"},
    };
    for (const char* timeout : {"nan", "inf", "1e12", "86401", "-1", "0", "0.0001", "ten"}) {
        failures.append({Logon(server) + QStringList{u"--timeout"_s, QString::fromLatin1(timeout), u"ls"_s}, 2,
                         "--timeout needs a number of seconds"});
    }
    for (const auto& [args, exit, text] : failures) {
        const CRun run = Run(args);
        EXPECT_EQ(run.m_nExit, exit) << qPrintable(args.join(u' ')) << ": " << run.m_err.constData();
        EXPECT_TRUE(run.m_err.contains(text)) << run.m_err.constData();
    }
    EXPECT_EQ(ReadFile(root + u"/my folder/T/top.txt"_s), QByteArray("top"));
    ok(trusted + QStringList{u"--yes"_s} + upload);
    EXPECT_EQ(ReadFile(root + u"/my folder/T/top.txt"_s), QByteArray("changed"));

    // Server, user and password from the profile.
    ASSERT_TRUE(WriteFile(Path(u"profile.ini"_s),
                          u"[FTP]\nServerName=127.0.0.1:%1\nUserName=%2\nPassword=%3\n"_s.arg(server.m_nPort)
                              .arg(server.m_strUser, server.m_strPassword)
                              .toUtf8()));
    EXPECT_EQ(ok({u"--trust-fingerprint"_s, hex, u"ls"_s, u"/my folder"_s}), "d\tT\n");

    // On a terminal the certificate is shown and asked about; a Yes is kept
    // in the profile, so the next run needs neither question nor option.
    CRun run = RunOnTerminal(Logon(server) << u"ls"_s, "[y/N]", "y\n");
    EXPECT_TRUE(run.m_err.contains("cannot be verified")) << run.m_err.constData();
    EXPECT_TRUE(run.m_err.contains(certificate.m_strFingerprint.toLatin1())) << run.m_err.constData();
    EXPECT_EQ(run.m_nExit, 0);
    run = Run(Logon(server) << u"ls"_s);
    EXPECT_EQ(run.m_nExit, 0) << run.m_err.constData();
}

// Over SFTP without a terminal an unknown host key fails with its
// fingerprint, which --trust-fingerprint then accepts (and keeps nowhere). On
// a terminal it is asked about (with keys at hand, no password is asked for
// first); the Yes is kept as the SFTP client's test shows.
TEST_F(FtpCli, HostKeyQuestionOnATerminalIsRemembered)
{
    CSftpServerProcess server;
    if (!server.Start())
        TESSARO_GTEST_SKIP(qPrintable(server.m_strProblem));
    const CEnvironment home("HOME", server.m_strHome.toLocal8Bit()), agent("SSH_AUTH_SOCK", QByteArray());
    const QString fingerprint = CSftpServerProcess::Fingerprint(server.m_strHostKey + u".pub"_s);
    ASSERT_TRUE(WriteFile(server.m_strRoot + u"/a.txt"_s, "12345"));
    const QStringList logon{u"--server"_s, u"sftp://127.0.0.1:%1"_s.arg(server.m_nPort), u"--user"_s, server.m_strUser};
    const QList<std::tuple<QStringList, int, QByteArray, QByteArray>> runs{
        {{u"ls"_s}, 1, "", fingerprint.toLatin1()},
        {{u"--trust-fingerprint"_s, fingerprint, u"ls"_s, u"-l"_s}, 0, "-\t5\t", ""},
        {{u"--trust-fingerprint"_s, u"SHA256:abc"_s, u"ls"_s}, 2, "", "--trust-fingerprint takes a host key"}};
    for (const auto& [more, exit, out, err] : runs) {
        const CRun run = Run(logon + more);
        EXPECT_EQ(run.m_nExit, exit) << run.m_err.constData();
        EXPECT_TRUE(run.m_out.startsWith(out)) << run.m_out.constData();
        EXPECT_TRUE(run.m_err.contains(err)) << run.m_err.constData();
    }
    const CRun run = RunOnTerminal(logon + QStringList{u"ls"_s}, "[y/N]", "y\n");
    EXPECT_FALSE(run.m_err.contains("Password")) << run.m_err.constData();
    EXPECT_TRUE(run.m_err.contains(fingerprint.toLatin1())) << run.m_err.constData();
    EXPECT_EQ(run.m_nExit, 0);
}

// A server without TLS, which "off" does not ask for. Names and replies with
// terminal escapes reach the terminal as text.
TEST_F(FtpCli, PlainServersAndTheirText)
{
    CScriptedFtpServer server;
    server.m_nConnections = 2;
    LogonRules(server);
    DataRules(server);
    server.On("CWD ", "250 Directory successfully changed.");
    server.On("LIST",
              SendFile(UnixLine("-", "\x1b[2Jclear") + UnixLine("-", "bell\x07")
                       + UnixLine("-",
                                  "\xc2\x9b"
                                  "31m")
                       + UnixLine("-", "M\xc3\xbcller") + UnixLine("-", "raw\xff") + UnixLine("-", "back\\slash")));
    server.On("RETR ", "550 \x1b]0;owned\x07 No such file.");
    server.Start();
    const QStringList plain = Logon(server.Port(), u"surveyor"_s, u"x"_s) << u"--tls"_s << u"off"_s;
    CRun run = Run(plain + QStringList{u"ls"_s, u"/"_s});
    EXPECT_EQ(run.m_nExit, 0) << run.m_err.constData();
    EXPECT_EQ(run.m_out.toStdString(),
              "-\t\\x1b[2Jclear\n-\tbell\\x07\n-\t\\x9b31m\n-\tM\xc3\xbcller\n-\traw\\xff\n"
              "-\tback\\\\slash\n");
    run = Run(plain + QStringList{u"get"_s, u"/f"_s, Path(u"f"_s)});
    server.Join();
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_EQ(run.m_err.toStdString(), "tessaro-cli: 550 \\x1b]0;owned\\x07 No such file.\n");
    EXPECT_TRUE(Only(server.m_transcript, {"AUTH"}).empty());
}

// Each source of the password, as the server sees it (the profile's alone:
// its logon over TLS); on a terminal what is typed is not echoed.
TEST_F(FtpCli, PasswordSources)
{
    const QString file = Path(u"password"_s);
    ASSERT_TRUE(WriteFile(file, "file secret\r\nsecond line\n"));
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    struct CCase
    {
        QStringList m_args;
        const char* m_szEnvironment; // nullptr: not set
        const char* m_szProfile;     // the profile's password; nullptr: none, asked on the terminal
        const char* m_szPass;        // the PASS line sent
    };
    const CCase cases[] = {
        {{u"--password-file"_s, file}, "env secret", "profile secret", "PASS file secret"},
        {{}, "env secret", "profile secret", "PASS env secret"},
        {{u"--password"_s, u"typed"_s}, "env secret", "profile secret", "PASS typed"},
        {{}, nullptr, nullptr, "PASS typed secret"},
    };
    for (const CCase& c : cases) {
        ASSERT_TRUE(WriteFile(Path(u"profile.ini"_s),
                              c.m_szProfile ? QByteArray("[FTP]\nPassword=") + c.m_szProfile + "\n" : QByteArray()));
        CScriptedFtpServer server;
        LogonRules(server);
        server.On("DELE ", "250 Delete operation successful.");
        server.Start();
        const QStringList args = Logon(server.Port(), u"surveyor"_s) + c.m_args + QStringList{u"rm"_s, u"x"_s};
        const CRun run =
            c.m_szProfile ? Run(args, c.m_szEnvironment) : RunOnTerminal(args, "Password for ", "typed secret\n");
        EXPECT_EQ(run.m_nExit, 0) << c.m_szPass << ": " << run.m_err.constData();
        if (!c.m_szProfile) {
            EXPECT_TRUE(run.m_err.contains("Password for surveyor@127.0.0.1:")) << run.m_err.constData();
            // What the terminal showed after it: the line end, not the password.
            EXPECT_FALSE(run.m_echo.contains("typed"));
        }
        server.Join();
        EXPECT_EQ(Only(server.m_transcript, {"PASS"}), Lines{c.m_szPass});
    }
    // Both options, a file that cannot be read, or no password anywhere and
    // no terminal to ask on: nothing is sent (port 1 would fail with 1). Only
    // an anonymous logon goes ahead without a password.
    const QList<std::tuple<QString, QStringList, int>> refused{
        {u"u"_s, {u"--password"_s, u"a"_s, u"--password-file"_s, file}, 2},
        {u"u"_s, {u"--password-file"_s, Path(u"missing"_s)}, 2},
        {u"u"_s, {}, 2},
        {u"Anonymous"_s, {}, 1}};
    for (const auto& [user, args, exit] : refused) {
        const CRun run = Run(Logon(1, user) + args + QStringList{u"rm"_s, u"x"_s});
        EXPECT_EQ(run.m_nExit, exit) << qPrintable(args.join(u' ')) << run.m_err.constData();
        if (args.isEmpty() && exit == 2) {
            EXPECT_EQ(run.m_err,
                      "tessaro-cli: no password: use --password-file, TESSARO_FTP_PASSWORD or the profile\n");
        }
    }
}

// Ctrl+C and SIGTERM cancel a download as Cancel in the Transfer window does:
// the temporary file goes, the server gets its closing exchange and QUIT,
// and the exit status tells the signal. While the client waits for data
// that does not come, a second Ctrl+C ends it at once.
TEST_F(FtpCli, SignalsCancelTheTransfer)
{
    struct CCase
    {
        int m_nSignal;
        bool m_bStalled; // the server sends nothing: the signal is sent twice
        int m_nExit;
    };
    for (const CCase& c : {CCase{SIGINT, false, 130}, CCase{SIGTERM, false, 143}, CCase{SIGINT, true, 130}}) {
        CScriptedFtpServer server;
        LogonRules(server);
        DataRules(server);
        // A slow link, or none, until the client goes.
        const auto send = [stalled = c.m_bStalled](CScriptedFtpServer& peer) {
            if (stalled)
                peer.ReceiveData();
            for (int i = 0; i < 1000 && !stalled && peer.SendData(std::string(1000, 'x')); ++i)
                peer.Pause(20);
        };
        server.On("RETR ", OverData(send, "426 Connection closed; transfer aborted."));
        server.Start();
        QProcess process;
        Prepare(process);
        process.start(QStringLiteral(TESSARO_CLI),
                      Arguments(Logon(server.Port(), u"surveyor"_s, u"x"_s)
                                << u"--passive"_s << u"--timeout"_s << u"20"_s << u"get"_s << u"/big"_s
                                << Path(u"big"_s)));
        QElapsedTimer waited;
        waited.start();
        auto parts = [this] { return QDir(m_dir.path()).entryList({u".big.*.part"_s}, QDir::Hidden | QDir::Files); };
        while (parts().isEmpty() && waited.elapsed() < 20000 && process.state() != QProcess::NotRunning)
            QThread::msleep(20);
        ASSERT_FALSE(parts().isEmpty());
        QThread::msleep(200);
        ::kill(static_cast<pid_t>(process.processId()), c.m_nSignal);
        if (c.m_bStalled) {
            EXPECT_FALSE(process.waitForFinished(500));
            ::kill(static_cast<pid_t>(process.processId()), c.m_nSignal);
        }
        waited.restart();
        EXPECT_TRUE(process.waitForFinished(10000));
        EXPECT_LT(waited.elapsed(), 5000);
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), c.m_nExit) << process.readAllStandardError().constData();
        server.Join();
        if (!c.m_bStalled) {
            EXPECT_TRUE(parts().isEmpty());
            EXPECT_EQ(Only(server.m_transcript, {"RETR", "QUIT"}), Split("RETR /big|QUIT"));
        }
        EXPECT_FALSE(QFileInfo::exists(Path(u"big"_s)));
    }
}
