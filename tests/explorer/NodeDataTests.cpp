#include "explorer/NodeData.h"

#include <QTreeWidgetItem>

#include <gtest/gtest.h>

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
