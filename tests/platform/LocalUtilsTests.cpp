#include "platform/LocalUtils.h"
#include "platform/NetworkPresence.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(LocalUtils, DeleteLocalTree)
{
    QTemporaryDir dir;
    const QString top = dir.filePath(u"tree"_s);
    for (const char* name : {"/f1.txt", "/.dot", "/a/f2", "/a/b c/f 3", "/a/b c/.hidden dir/x"})
        ASSERT_TRUE(WriteFile(top + QLatin1String(name), "x"));
    // A link to a folder outside is removed, never followed.
    const QString outside = dir.filePath(u"outside"_s);
    ASSERT_TRUE(WriteFile(outside + u"/precious"_s, "x"));
    ASSERT_TRUE(QFile::link(outside, top + u"/a/link"_s));
    EXPECT_TRUE(DeleteLocalTree(QDir::toNativeSeparators(top)));
    EXPECT_FALSE(QFileInfo::exists(top));
    EXPECT_TRUE(QFileInfo::exists(outside + u"/precious"_s));
    EXPECT_FALSE(DeleteLocalTree(dir.filePath(u"never there"_s)));
}

TEST(LocalUtils, RunProgram)
{
    // This test program, run with TESSARO_PROBE_OUT set, writes its arguments
    // into that file, one per line.
    QTemporaryDir dir;
    const QString out = dir.filePath(u"args.txt"_s);
    qputenv("TESSARO_PROBE_OUT", QFile::encodeName(out));
    // The path is one argument; one that begins with "-" goes absolute, so
    // the program cannot take it for an option.
    const QString cwd = QDir::currentPath();
    const QList<QPair<QString, QString>> paths = {
        {u"\"/data/Job 1/a b.txt\""_s, u"/data/Job 1/a b.txt"_s},
        {u"\"-style\""_s, cwd + u"/-style"_s},
        {u"--help me.txt"_s, cwd + u"/--help me.txt"_s},
        {u"\"-\""_s, cwd + u"/-"_s},
    };
    for (const auto& [commandLine, argument] : paths) {
        EXPECT_TRUE(RunProgram(u"platform_tests"_s, commandLine));
        EXPECT_EQ(ReadFile(out), argument.toUtf8() + '\n') << commandLine.toStdString();
        QFile::remove(out);
    }
    // "Name.exe" finds the lower-case program on this platform.
    EXPECT_TRUE(RunProgram(u"PLATFORM_TESTS.exe"_s, QString()));
    EXPECT_EQ(ReadFile(out), QByteArray());
    EXPECT_FALSE(RunProgram(u"no-such-program"_s, u"\"x\""_s));
    EXPECT_TRUE(ProgramBesideExecutable(u"no-such-program"_s).isEmpty());
}

TEST(NetworkPresence, RoutableAddresses)
{
    const auto ip = [](const char* text) { return QHostAddress(QString::fromLatin1(text)).toIPv4Address(); };
    for (const char* address : {"172.32.0.1", "172.15.255.1", "193.5.20.1", "11.0.0.1"})
        EXPECT_TRUE(IsRoutableIPv4(ip(address))) << address;
    for (const char* address :
         {"192.168.55.101", "169.254.1.1", "172.16.0.1", "172.31.9.9", "10.1.2.3", "127.0.0.1", "127.0.1.1", "0.0.0.0"})
        EXPECT_FALSE(IsRoutableIPv4(ip(address))) << address;
    EXPECT_FALSE(AnyRoutableIPv4({ip("192.168.55.101"), ip("169.254.1.1")}));
    EXPECT_TRUE(AnyRoutableIPv4({ip("127.0.0.1"), ip("172.32.0.1")}));
    EXPECT_FALSE(AnyRoutableIPv4({}));
}
