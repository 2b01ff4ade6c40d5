#include "editor/TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray ReadAll(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

// Limits the size of files this process may write, so that a write fails
// even for root; restores the old limit on leaving.
class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t limit)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lowered = m_old;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~CFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

} // namespace

TEST(TextFile, WritesAndReadsEveryByte)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strPath = dir.filePath("all.bin");
    QByteArray bytes;
    for (int b = 255; b >= 0; --b)
        bytes.append(char(b));

    QString strError;
    ASSERT_TRUE(CTextFile::Write(strPath, bytes, strError)) << strError.toStdString();
    EXPECT_EQ(ReadAll(strPath), bytes);
    QByteArray read;
    ASSERT_TRUE(CTextFile::Read(strPath, read, strError));
    EXPECT_EQ(read, bytes);

    // Replacing the file keeps its permissions (owner, group and others).
    const QFileDevice::Permissions perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(strPath, perms));
    ASSERT_TRUE(CTextFile::Write(strPath, "new", strError));
    EXPECT_EQ(QFile::permissions(strPath) & 0xF0FF, perms);
    EXPECT_EQ(ReadAll(strPath), QByteArray("new"));

    // An empty text makes an empty file, which reads as nothing.
    ASSERT_TRUE(CTextFile::Write(strPath, QByteArray(), strError));
    EXPECT_EQ(QFileInfo(strPath).size(), 0);
    ASSERT_TRUE(CTextFile::Read(strPath, read, strError));
    EXPECT_TRUE(read.isEmpty());
    // Nothing but the document is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"all.bin"});
}

TEST(TextFile, ReadFailuresExplainThemselves)
{
    QTemporaryDir dir;
    QByteArray bytes("untouched");
    QString strError;

    const QString strMissing = dir.filePath("missing.txt");
    EXPECT_FALSE(CTextFile::Read(strMissing, bytes, strError));
    EXPECT_TRUE(strError.contains(strMissing));
    EXPECT_EQ(bytes, QByteArray("untouched"));

    EXPECT_FALSE(CTextFile::Read(dir.path(), bytes, strError));
    EXPECT_TRUE(strError.contains("folder"));
    EXPECT_EQ(bytes, QByteArray("untouched"));
}

TEST(TextFile, FailedWriteKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath("data.txt");
    QString strError;
    ASSERT_TRUE(CTextFile::Write(strPath, "old content\r\n", strError));

    // Into a folder that does not exist: nothing is created.
    const QString strNoFolder = dir.filePath("nofolder/data.txt");
    EXPECT_FALSE(CTextFile::Write(strNoFolder, "x", strError));
    EXPECT_TRUE(strError.contains(strNoFolder));
    EXPECT_FALSE(QFile::exists(strNoFolder));

    // The disk refuses the bytes half-way, for a text larger than the write
    // buffer and for one that fits in it: the old file stays whole.
    for (qsizetype size : {100000, 5000}) {
        strError.clear();
        {
            CFileSizeLimit limit(1000);
            EXPECT_FALSE(CTextFile::Write(strPath, QByteArray(size, 'n'), strError)) << size;
        }
        EXPECT_FALSE(strError.isEmpty());
        EXPECT_EQ(ReadAll(strPath), QByteArray("old content\r\n"));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"data.txt"});
}
