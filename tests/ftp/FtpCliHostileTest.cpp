// tessaro-cli ftp against servers that send terminal escapes, with bent
// options, and with each source of the password.
#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

struct CCliRun
{
    int m_nExit = -1;
    QByteArray m_out;
    QByteArray m_err;
};

// Logs on as "surveyor"; the password line the server saw is kept in the transcript.
void LogonRules(CScriptedFtpServer& server)
{
    server.On("USER ", "331 Please specify the password.");
    server.On("PASS ", "230 Login successful.");
    server.On("QUIT", "221 Goodbye.");
}

CCliRun RunCli(const QStringList& args,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    QProcessEnvironment env = environment;
    env.remove(u"TESSARO_FTP_PASSWORD"_s);
    if (environment.contains(u"TESSARO_FTP_PASSWORD"_s))
        env.insert(u"TESSARO_FTP_PASSWORD"_s, environment.value(u"TESSARO_FTP_PASSWORD"_s));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TESSARO_CLI), args);
    CCliRun run;
    if (process.waitForFinished(20000)) {
        run.m_nExit = process.exitCode();
        run.m_out = process.readAllStandardOutput();
        run.m_err = process.readAllStandardError();
    }
    return run;
}

// The PASS line the server saw; "AUTH TLS" and the user name come before it.
std::string PassLine(const std::vector<std::string>& transcript)
{
    for (const std::string& line : transcript) {
        if (line.rfind("PASS ", 0) == 0)
            return line;
    }
    return "<no PASS>";
}

QStringList Logon(const QTemporaryDir& dir, const CScriptedFtpServer& server)
{
    return {u"--profile"_s, dir.filePath(u"profile.ini"_s),       u"ftp"_s,
            u"--server"_s,  u"127.0.0.1:%1"_s.arg(server.Port()), u"--user"_s,
            u"surveyor"_s};
}

bool HasControlBytes(const QByteArray& text)
{
    for (char c : text) {
        if ((c >= 0 && c < 0x20 && c != '\n' && c != '\t') || c == 0x7F)
            return true;
    }
    return false;
}

std::string UnixLine(const std::string& name)
{
    return "-rw-r--r--    1 0        0               7 Dec 06 21:16 " + name + "\r\n";
}

} // namespace

// Names and replies with terminal escapes reach the terminal as text.
TEST(FtpCliHostile, ServerTextIsPrintedEscaped)
{
    QTemporaryDir dir;
    CScriptedFtpServer server;
    LogonRules(server);
    server.On("CWD ", "250 Directory successfully changed.");
    server.On("TYPE I", "200 Switching to Binary mode.");
    server.On("PORT ", "200 PORT command successful.");
    server.On("LIST",
              ScriptedFtp::SendFile(UnixLine("\x1b[2Jclear") + UnixLine("bell\x07")
                                    + UnixLine("\xc2\x9b"
                                               "31m")
                                    + UnixLine("M\xc3\xbcller") + UnixLine("raw\xff") + UnixLine("back\\slash")));
    server.Start();
    CCliRun run = RunCli(Logon(dir, server) + QStringList{u"--password"_s, u"x"_s, u"ls"_s, u"/"_s});
    server.Join();
    EXPECT_EQ(run.m_nExit, 0) << run.m_err.constData();
    EXPECT_EQ(run.m_out.toStdString(),
              "-\t\\x1b[2Jclear\n-\tbell\\x07\n-\t\\x9b31m\n-\tM\xc3\xbcller\n-\traw\\xff\n"
              "-\tback\\\\slash\n");

    CScriptedFtpServer failing;
    LogonRules(failing);
    failing.On("TYPE I", "200 Switching to Binary mode.");
    failing.On("PORT ", "200 PORT command successful.");
    failing.On("RETR ", "550 \x1b]0;owned\x07 No such file.");
    failing.Start();
    run = RunCli(Logon(dir, failing) + QStringList{u"--password"_s, u"x"_s, u"get"_s, u"/f"_s, dir.filePath(u"f"_s)});
    failing.Join();
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_EQ(run.m_err.toStdString(), "tessaro-cli: 550 \\x1b]0;owned\\x07 No such file.\n");
    EXPECT_FALSE(HasControlBytes(run.m_err));
}

TEST(FtpCliHostile, TimeoutsOutOfRangeAreRefused)
{
    int closedPort = 0;
    ::close(ListenOn("127.0.0.1", closedPort));
    const QStringList logon{u"ftp"_s, u"--server"_s, u"127.0.0.1:%1"_s.arg(closedPort), u"--password"_s, u"x"_s};
    for (const char* timeout : {"nan", "inf", "1e12", "86401", "-1", "0", "0.0001", "ten"}) {
        const CCliRun run = RunCli(logon + QStringList{u"--timeout"_s, QString::fromLatin1(timeout), u"rm"_s, u"x"_s});
        EXPECT_EQ(run.m_nExit, 2) << timeout;
        EXPECT_TRUE(run.m_err.contains("--timeout needs a number of seconds")) << timeout;
    }
    const CCliRun run = RunCli(logon + QStringList{u"--timeout"_s, u"0.5"_s, u"rm"_s, u"x"_s});
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_TRUE(run.m_err.contains("Unable to connect to the server")) << run.m_err.constData();
}

// Each source of the password, as the server sees it.
TEST(FtpCliHostile, PasswordSources)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"password"_s);
    ASSERT_TRUE(WriteAll(file, "file secret\r\nsecond line\n"));
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    struct CCase
    {
        QStringList m_args;
        const char* m_szEnvironment; // nullptr: not set
        const char* m_szProfile;     // the profile's password
        std::string m_strPass;       // the PASS line sent
    };
    const std::vector<CCase> cases = {
        {{u"--password-file"_s, file}, "env secret", "profile secret", "PASS file secret"},
        {{}, "env secret", "profile secret", "PASS env secret"},
        {{}, nullptr, "profile secret", "PASS profile secret"},
        {{u"--password"_s, u"typed"_s}, "env secret", "profile secret", "PASS typed"},
    };
    for (const CCase& c : cases) {
        ASSERT_TRUE(WriteAll(dir.filePath(u"profile.ini"_s), QByteArray("[FTP]\nPassword=") + c.m_szProfile + "\n"));
        CScriptedFtpServer server;
        LogonRules(server);
        server.On("DELE ", "250 Delete operation successful.");
        server.Start();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (c.m_szEnvironment)
            environment.insert(u"TESSARO_FTP_PASSWORD"_s, QString::fromLatin1(c.m_szEnvironment));
        const CCliRun run = RunCli(Logon(dir, server) + c.m_args + QStringList{u"rm"_s, u"x"_s}, environment);
        server.Join();
        EXPECT_EQ(run.m_nExit, 0) << c.m_strPass << ": " << run.m_err.constData();
        EXPECT_EQ(PassLine(server.m_transcript), c.m_strPass);
    }
    // Both options, or a file that cannot be read: nothing is sent.
    for (const QStringList& args : {QStringList{u"--password"_s, u"a"_s, u"--password-file"_s, file},
                                    QStringList{u"--password-file"_s, dir.filePath(u"missing"_s)}}) {
        const CCliRun run =
            RunCli(QStringList{u"ftp"_s, u"--server"_s, u"127.0.0.1:1"_s} + args + QStringList{u"rm"_s, u"x"_s});
        EXPECT_EQ(run.m_nExit, 2) << run.m_err.constData();
    }
}

// Without any other source the password is asked for on the terminal, and
// what is typed is not echoed.
TEST(FtpCliHostile, PasswordAskedOnATerminalWithoutEcho)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);

    QTemporaryDir dir;
    CScriptedFtpServer server;
    LogonRules(server);
    server.On("DELE ", "250 Delete operation successful.");
    server.Start();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"TESSARO_FTP_PASSWORD"_s);
    process.setProcessEnvironment(environment);
    process.setChildProcessModifier([slave] { ::dup2(slave, STDIN_FILENO); });
    process.setReadChannel(QProcess::StandardError);
    process.start(QStringLiteral(TESSARO_CLI), Logon(dir, server) + QStringList{u"rm"_s, u"x"_s});
    ::close(slave);
    QByteArray err;
    while (!err.contains("Password for ") && process.waitForReadyRead(10000))
        err += process.readAllStandardError();
    EXPECT_TRUE(err.contains("Password for surveyor@127.0.0.1:")) << err.constData();
    ASSERT_EQ(::write(master, "typed secret\n", 13), 13);
    EXPECT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    server.Join();
    EXPECT_EQ(PassLine(server.m_transcript), "PASS typed secret");
    // What the terminal showed: the line end, not the password.
    QByteArray shown(256, '\0');
    pollfd p{master, POLLIN, 0};
    const ssize_t n = ::poll(&p, 1, 0) > 0 ? ::read(master, shown.data(), shown.size()) : 0;
    shown.resize(n > 0 ? n : 0);
    EXPECT_FALSE(shown.contains("typed")) << shown.constData();
    ::close(master);
}
