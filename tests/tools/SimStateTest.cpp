#include "LineSplitter.h"
#include "SimState.h"
#include "WireText.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(SimState, DefaultHoldsWhatTheListingsNeed)
{
    CSimState state = CSimState::Default();
    ASSERT_NE(state.FindJob(2), nullptr);
    EXPECT_TRUE(state.FindJob(2)->m_strName.isEmpty());  // a free slot
    EXPECT_NE(state.FindFormat(1), nullptr);
    bool vorn = false;
    for (const SSimFormat& format : state.m_formats)
        vorn = vorn || format.m_strName == QLatin1String("VORN");
    EXPECT_TRUE(vorn);
    EXPECT_FALSE(state.m_codeLists.isEmpty());
    for (const SSimJob& job : state.m_jobs)
        for (const QString& line : job.m_measurements + job.m_fixpoints)
            EXPECT_GT(line.size(), 3);  // shorter lines are dropped by a receive
}

TEST(SimState, JsonKeepsEveryByteAndCounter)
{
    CSimState state = CSimState::Default();
    state.m_strName = QStringLiteral("TS 16");
    state.m_jobs[0].m_fixpoints.append(FromWire(QByteArray("\x01\x7F\x80\xE9\xFF\"\\,", 8)));
    state.m_jobs[0].m_nFixpointBlocks = 9;

    QTemporaryDir dir;
    const QString path = dir.filePath("state.json");
    QString error;
    ASSERT_TRUE(state.Save(path, error)) << error.toStdString();
    CSimState loaded;
    ASSERT_TRUE(loaded.Load(path, error)) << error.toStdString();
    EXPECT_EQ(loaded.m_strName, state.m_strName);
    EXPECT_EQ(loaded.ToJson(), state.ToJson());
    EXPECT_EQ(ToWire(loaded.m_jobs[0].m_fixpoints.last()), QByteArray("\x01\x7F\x80\xE9\xFF\"\\,", 8));
    EXPECT_EQ(loaded.m_jobs[0].m_nFixpointBlocks, 9);
}

TEST(SimState, CountsDefaultToLineCountsAndBadFilesAreRefused)
{
    CSimState state;
    QString error;
    ASSERT_TRUE(state.FromJson(R"({"jobs":[{"name":"J","number":4,"measurements":["m1 xx","m2 xx"]}],
                                   "codeLists":[{"name":"C","number":5,"lines":["a b c"],"count":7}]})",
                               error));
    EXPECT_EQ(state.m_strName, QStringLiteral("TC1610"));
    EXPECT_EQ(state.FindJob(4)->m_nMeasurementBlocks, 2);
    EXPECT_EQ(state.FindJob(4)->m_nFixpointBlocks, 0);
    EXPECT_EQ(state.FindCodeList(5)->m_nCount, 7);
    EXPECT_TRUE(state.m_formats.isEmpty());

    EXPECT_FALSE(state.FromJson("[1,2]", error));
    EXPECT_FALSE(state.FromJson("{\"jobs\": [", error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(state.Load("/nonexistent/state.json", error));
}

TEST(LineSplitter, CutsOnlyAtCrLf)
{
    CLineSplitter splitter;
    auto lines = splitter.Feed(QByteArray("JOB/CONF/LIST\r\n?\r"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].m_bytes, QByteArray("JOB/CONF/LIST"));
    EXPECT_EQ(lines[0].m_nEndOffset, 15);
    EXPECT_TRUE(splitter.HasPartial());
    lines = splitter.Feed(QByteArray("\na\rb\nc\r\n\r\n"));  // CR LF split across two reads
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].m_bytes, QByteArray("?"));
    EXPECT_EQ(lines[0].m_nEndOffset, 1);
    EXPECT_EQ(lines[1].m_bytes, QByteArray("a\rb\nc"));  // lone CR and LF are data
    EXPECT_EQ(lines[2].m_bytes, QByteArray());
    EXPECT_FALSE(splitter.HasPartial());

    lines = splitter.Feed(QByteArray(CLineSplitter::MaxLine + 10, 'x') + "\r\nok\r\n");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].m_bOverlong);
    EXPECT_TRUE(lines[0].m_bytes.isEmpty());
    EXPECT_FALSE(lines[1].m_bOverlong);
    EXPECT_EQ(lines[1].m_bytes, QByteArray("ok"));

    splitter.Feed("half");
    splitter.Clear();
    lines = splitter.Feed("c\r\n");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].m_bytes, QByteArray("c"));
}

TEST(WireText, LowBytesAndEscapes)
{
    EXPECT_EQ(ToWire(QString(QChar(0x0141)) + QChar(0xE9) + "A"), QByteArray("\x41\xE9" "A"));
    EXPECT_EQ(FromWire(QByteArray("\xE9\x00", 2)), QString(QChar(0xE9)) + QChar(0));
    EXPECT_EQ(EscapeBytes(QByteArray("?\r\n\\\x16\xFF ~", 8)), QByteArray("?\\r\\n\\\\\\x16\\xFF ~"));
}

} // namespace
