#include "explorer/LocalListing.h"
#include "explorer/NodeData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(NodeData, WordsPackKindMarkerAndNumberButKindAndNumberStayApart)
{
    struct Row
    {
        CNodeData data;
        quint32 word;
    };
    const Row rows[] = {
        {{NK_PORT, 0, false}, 0x2000},       {{NK_JOB, 3, true}, 0x8403},         {{NK_FIXPOINTS, 3, false}, 0x43},
        {{NK_MEASUREMENTS, 7, true}, 0x487}, {{NK_FORMAT, 2, true}, 0x602},       {{NK_FORMATS, 0, false}, 0x200},
        {{NK_CODELIST, 4, true}, 0x10404},   {{NK_LOCAL_FILE, 0, false}, 0x4000},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.data.Word(), row.word);
        QTreeWidgetItem item;
        row.data.Store(&item);
        const CNodeData back = CNodeData::Of(&item);
        EXPECT_EQ(back.m_nKind, row.data.m_nKind);
        EXPECT_EQ(back.m_nNumber, row.data.m_nNumber);
        EXPECT_EQ(back.m_bHasData, row.data.m_bHasData);
    }
    EXPECT_TRUE(CNodeData({NK_FORMATS, 0, false}).IsFormatsFolder());
    EXPECT_FALSE(CNodeData({NK_FORMAT, 2, false}).IsFormatsFolder());
    EXPECT_TRUE(CNodeData({NK_FORMAT, 2, false}).IsFormat());

    // Job 64 packs into 0x8440, which holds the fix-points bit; the kind
    // kept apart still says job.
    QTreeWidgetItem job;
    CNodeData({NK_JOB, 64, false}).Store(&job);
    EXPECT_TRUE(CNodeData::Of(&job).Is(NK_JOB));
    EXPECT_FALSE(CNodeData::Of(&job).Is(NK_FIXPOINTS));
    EXPECT_EQ(CNodeData::Of(&job).m_nNumber, 64);
}

TEST(LocalListing, FoldersFirstHiddenFilesAndSpecialFilesLeftOut)
{
    QTemporaryDir dir;
    QDir root(dir.path());
    ASSERT_TRUE(root.mkdir("b-folder"));
    ASSERT_TRUE(root.mkdir(".hidden-folder"));
    const QString longName = QString(250, QChar('n')) + ".txt";
    const QStringList files = {"a file with spaces.txt", "quote\"d 'name'", "Grüße-ñ-日本.txt", ".hidden", longName};
    for (const QString& name : files) {
        QFile f(root.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(name);
    }
    ASSERT_EQ(::mkfifo(QFile::encodeName(root.filePath("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(root.filePath("nowhere"), root.filePath("broken-link")));

    const QList<CLocalEntry> entries = ListLocalEntries(dir.path());
    QStringList folders, names;
    bool seenFile = false;
    for (const CLocalEntry& e : entries) {
        if (e.m_bFolder) {
            EXPECT_FALSE(seenFile) << "folder after a file";
            folders.append(e.m_strName);
        } else {
            seenFile = true;
            names.append(e.m_strName);
        }
    }
    folders.sort();
    names.sort();
    EXPECT_EQ(folders, QStringList({".hidden-folder", "b-folder"}));
    QStringList expected = {"a file with spaces.txt", "quote\"d 'name'", "Grüße-ñ-日本.txt", longName};
    expected.sort();
    EXPECT_EQ(names, expected);

    EXPECT_TRUE(ListLocalEntries(root.filePath("missing")).isEmpty());
}
