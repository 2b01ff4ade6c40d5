#include "platform/Bytes.h"
#include "platform/DownloadName.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"
#include "platform/ProgressScope.h"
#include "platform/Services.h"
#include "platform/SystemReason.h"
#include "platform/TraceFile.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"
#include "support/RecordingProgress.h"
#include "support/ScopedSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <grp.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

TEST(Bytes, EveryByteRoundTripsAndWideCharactersKeepTheirLowByte)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = FromBytes(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text.at(0xE9).unicode(), 0xE9);
    EXPECT_EQ(ToBytes(text), all); // a wide character: see LinkTest.SendLineFraming
}

TEST(Profile, MissingCorruptOrUnreadableFilesReadAsDefaults)
{
    CTempProfile profile;
    const QString& path = profile.m_strPath;
    EXPECT_EQ(CProfile::ReadInt("S", "K", 7), 7);
    EXPECT_EQ(CProfile::ReadString("S", "T", "d"), "d");

    CProfile::WriteInt("S", "K", 42);
    CProfile::WriteString("S", "T", "Grüße, \"quoted\"");
    EXPECT_EQ(CProfile::ReadInt("S", "K", 7), 42);
    EXPECT_EQ(CProfile::ReadString("S", "T"), "Grüße, \"quoted\"");

    // A value that is not a number, and binary garbage, read as the default.
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 7919) & 0xFF);
    QFile file(path);
    for (const QByteArray& content : {QByteArray("[S]\nK=abc\n"), garbage}) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        EXPECT_EQ(CProfile::ReadInt("S", "K", 7), 7);
    }
}

TEST(LocalPaths, HandheldPathsMapBelowTheRootAndAMissingRootIsRefused)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(CLocalPaths::SetRoot(dir.filePath("missing"), &error));
    EXPECT_TRUE(error.contains("does not exist"));
    // Below a root folder (empty: refused). No path leaves the root: a ".."
    // anywhere is refused, however the separators are written.
    const QString root = dir.path();
    const QList<QPair<QString, QString>> paths = {
        {"Windows\\Desktop", root + "/Windows/Desktop"},
        {"\\Data\\my file.txt", root + "/Data/my file.txt"},
        {"", root},
        {"Data\\\\.\\x\\", root + "/Data/x"},
        {"Data/Sub\\f..txt", root + "/Data/Sub/f..txt"},
        {"...\\a", root + "/.../a"},
        {"..", ""},
        {"..\\etc\\passwd", ""},
        {"a\\..\\..\\etc", ""}, // a folder named "a\..\.." joined into a node path
        {"Data\\a\\..", ""},
        {"a/../../etc", ""},
        {"\\..\\", ""},
    };
    CScopedLocalRoot scopedRoot;
    ASSERT_TRUE(scopedRoot.Set(root));
    for (const auto& [path, expected] : paths) {
        QString native = "untouched";
        EXPECT_EQ(CLocalPaths::ToNative(path, native), !expected.isEmpty()) << path.toStdString();
        EXPECT_EQ(native, expected.isEmpty() ? "untouched" : expected) << path.toStdString();
    }
    ASSERT_TRUE(scopedRoot.Set("/"));
    QString native;
    EXPECT_TRUE(CLocalPaths::ToNative("tmp\\x", native));
    EXPECT_EQ(native, "/tmp/x");

    const QString staging = CLocalPaths::StagingPath("tempftp");
    EXPECT_TRUE(staging.endsWith("/tempftp"));
    const QString folder = staging.left(staging.lastIndexOf('/'));
    EXPECT_EQ(QFile::permissions(folder) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), 0);
    CLocalPaths::RemoveStaging();
    EXPECT_FALSE(QFile::exists(folder));
}

TEST(DownloadName, NameIsCutAtItsLastDotAndGetsTheFormat)
{
    EXPECT_EQ(MakeDownloadName("job1", "VRN "), "job1.VRN");
    EXPECT_EQ(MakeDownloadName("a.b.c", "VRN"), "a.b.VRN");
    EXPECT_EQ(MakeDownloadName(".txt", "VRN"), "");
}

TEST(StringTable, EveryIdHasOneTextAndAnUnknownIdNone)
{
    // Ids are added from several places; a repeated one would hide a text.
    EXPECT_EQ(DuplicateStringIds(), 0);
    EXPECT_EQ(LoadString(1), "");
}

TEST(Services, NestedWaitCursorsShowItOnce)
{
    static QList<bool> calls;
    calls.clear();
    CServices::SetWaitCursorHook([](bool busy) { calls.append(busy); });
    {
        CWaitCursor outer;
        {
            CWaitCursor inner;
            inner.Restore();
        }
        EXPECT_EQ(CWaitCursor::Depth(), 1);
    }
    CServices::SetWaitCursorHook(nullptr);
    EXPECT_EQ(calls, QList<bool>({true, false}));
}

TEST(Services, ProgressScopeHidesTheWindowOnceUnlessItHidItself)
{
    struct CCase
    {
        const char* what;
        void (*act)(CProgressScope&);
        int hides;
    };
    const CCase cases[] = {
        {"end of scope", [](CProgressScope&) {}, 1},
        {"hidden before a message", [](CProgressScope& scope) { scope.Hide(); }, 1},
        {"cancelled", [](CProgressScope& scope) { scope.MarkHidden(); }, 0},
    };
    for (const CCase& c : cases) {
        CRecordingProgress progress;
        progress.m_nBytes = 99;
        CScopedServices services(nullptr, nullptr, &progress);
        {
            CProgressScope scope("A1.TQS");
            EXPECT_TRUE(progress.m_bVisible) << c.what;
            EXPECT_EQ(progress.m_strText, "A1.TQS") << c.what;
            EXPECT_EQ(progress.m_nBytes, 0) << c.what;
            c.act(scope);
        }
        EXPECT_EQ(progress.m_nShows, 1) << c.what;
        EXPECT_EQ(progress.m_nHides, c.hides) << c.what;
    }
}

// What the wire trace shows of a line, and the file that keeps it.
TEST(Trace, BytesAreEscapedSecretsMaskedAndTheFileRotated)
{
    // Line ends, commands and their masks as a logon sends them: see the
    // serial connection step and FtpLogon.SequencesSendTheExactCommands.
    EXPECT_EQ(CTrace::Escape(QByteArray("a\0\x7F\xFF\\", 5)), R"(a\x00\x7F\xFF\x5C)");
    EXPECT_EQ(CTrace::MaskFtpCommand("pass p@fp\r\n"), R"(pass ****\x0D\x0A)"); // in any case
    EXPECT_EQ(CTrace::MaskFtpCommand("ACCT a"), "ACCT ****");

    QTemporaryDir dir;
    const QString path = dir.filePath(u"state/tessaro/trace.log"_s);
    {
        CTraceFile file;
        ASSERT_TRUE(file.Open(path));
        file.m_nMaxBytes = 100;
        CServices::SetTrace(&file);
        for (const char* line : {"first", "second", "third"})
            CTrace::FtpSent(QByteArray(line) + QByteArray(40, 'x'));
        CServices::SetTrace(nullptr);
        CTrace::FtpSent("not traced");
    }
    QFile current(path), older(path + u".1"_s);
    ASSERT_TRUE(current.open(QIODevice::ReadOnly) && older.open(QIODevice::ReadOnly));
    const QByteArray kept = current.readAll();
    EXPECT_TRUE(kept.contains(" FTP > third") && !kept.contains("second")) << kept.toStdString();
    EXPECT_TRUE(older.readAll().contains(" FTP > second"));
    EXPECT_FALSE(CTraceFile().Open(dir.filePath(u"state/tessaro/trace.log/x"_s)));
}

// The system's reason beside the program's message, and the remedy for a
// device this user may not open.
TEST(SystemReason, ReasonsNameTheCauseAndTheDevicesGroup)
{
    struct stat info
    {
    };
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    const group* owner = ::getgrgid(info.st_gid);
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(CSystemReason::DeviceReason(u"/dev/null"_s, EACCES),
              u"/dev/null: Permission denied\nMembers of the group \"%1\" may open it: add your user to that group, "
              "then log in again."_s.arg(QString::fromLocal8Bit(owner->gr_name)));
    QTemporaryDir dir;
    EXPECT_EQ(CSystemReason::FolderNotWritable(dir.path()), QString());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    // Even root may not create a file in /proc or below a plain file.
    EXPECT_EQ(CSystemReason::FolderNotWritable(u"/proc"_s), u"/proc: No such file or directory"_s);
    EXPECT_EQ(CSystemReason::FolderNotWritable(u"/dev/null/x"_s), u"/dev/null/x: Not a directory"_s);
}
