#include "editor/TextFile.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using EMethod = CTextFile::ESaveMethod;

// The save replaces a file through a temporary one only where that keeps
// everything about the file; else it writes the file in place.
TEST(TextFile, SaveMethod)
{
    // exists, regular, single link, owned, no access list, folder writable
    const struct
    {
        CSaveTarget target;
        EMethod expected;
    } rows[] = {
        {{false, false, false, false, false, true}, EMethod::REPLACE}, // a new file
        {{true, true, true, true, true, true}, EMethod::REPLACE},      // a plain file of the user's
        {{true, true, true, true, true, false}, EMethod::IN_PLACE},    // a folder the user cannot write to
        {{true, true, false, true, true, true}, EMethod::IN_PLACE},    // a second hard link
        {{true, true, true, false, true, true}, EMethod::IN_PLACE},    // another user's file
        {{true, true, true, true, false, true}, EMethod::IN_PLACE},    // an access list
        {{true, false, false, false, false, false}, EMethod::REPLACE}, // no regular file: never written into
    };
    for (const auto& row : rows)
        EXPECT_EQ(CTextFile::ChooseSaveMethod(row.target), row.expected) << &row - rows;
}

// Saved in place, a file keeps its links, owner and mode; a plain file is
// replaced as a whole, and keeps its mode too.
TEST(TextFile, SaveKeepsWhatItDoesNotOwn)
{
    QTemporaryDir dir;
    const QString strPlain = dir.filePath("plain.txt");
    const QString strLinked = dir.filePath("linked.txt");
    const QString strOther = dir.filePath("other.txt");
    for (const QString& strPath : {strPlain, strLinked, strOther})
        ASSERT_TRUE(WriteFile(strPath, "old text\r\n"));
    ASSERT_EQ(::link(QFile::encodeName(strLinked).constData(), QFile::encodeName(dir.filePath("link")).constData()), 0);
    const bool bRoot = ::geteuid() == 0; // only root can give a file away
    ASSERT_TRUE(!bRoot || ::chown(QFile::encodeName(strOther).constData(), 4242, 4243) == 0);
    for (const QString& strPath : {strPlain, strOther})
        ASSERT_EQ(::chmod(QFile::encodeName(strPath).constData(), 0640), 0);

    auto Stat = [](const QString& strPath) {
        struct stat info
        {
        };
        ::stat(QFile::encodeName(strPath).constData(), &info);
        return info;
    };
    const ino_t plainBefore = Stat(strPlain).st_ino;
    QString strError;
    for (const QString& strPath : {strPlain, strLinked, strOther})
        ASSERT_TRUE(CTextFile::Write(strPath, "new", strError)) << qPrintable(strError);
    EXPECT_NE(Stat(strPlain).st_ino, plainBefore);
    EXPECT_EQ(Stat(strPlain).st_mode & 0777, 0640u);
    EXPECT_EQ(ReadFile(dir.filePath("link")), "new");
    EXPECT_EQ(Stat(strLinked).st_nlink, 2u);
    EXPECT_EQ(ReadFile(strOther), "new");
    EXPECT_EQ(Stat(strOther).st_mode & 0777, 0640u);
    EXPECT_EQ(Stat(strOther).st_uid, bRoot ? 4242u : ::geteuid());
}
