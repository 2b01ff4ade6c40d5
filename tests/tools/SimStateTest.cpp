#include "SimState.h"
#include "LineSplitter.h"
#include "WireText.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(SimState, FileRoundTripKeepsEveryByteAndBadFilesAreRefused)
{
    const QByteArray bytes("\x01\x7F\x80\xE9\xFF\"\\,", 8);
    CSimState state = CSimState::Default();
    state.m_strName = QStringLiteral("SIM 2");
    state.m_jobs[0].m_fixpoints.append(FromWire(bytes));
    state.m_jobs[0].m_nFixpointBlocks = 9;
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(state.Save(dir.filePath("state.json"), error)) << error.toStdString();
    CSimState loaded;
    ASSERT_TRUE(loaded.Load(dir.filePath("state.json"), error)) << error.toStdString();
    EXPECT_EQ(loaded.ToJson(), state.ToJson());
    EXPECT_EQ(ToWire(loaded.m_jobs[0].m_fixpoints.last()), bytes);
    EXPECT_EQ(loaded.m_jobs[0].m_nFixpointBlocks, 9);

    // Missing counts default to the line counts, a missing name to the default one.
    CSimState parsed;
    ASSERT_TRUE(parsed.FromJson(R"({"jobs":[{"name":"J","number":4,"measurements":["m1 xx","m2 xx"]}],
                                   "codeLists":[{"name":"C","number":5,"lines":["a b c"],"count":7}]})",
                                error));
    EXPECT_EQ(parsed.m_strName, QStringLiteral("SIM-1"));
    EXPECT_EQ(parsed.FindJob(4)->m_nMeasurementBlocks, 2);
    EXPECT_EQ(parsed.FindJob(4)->m_nFixpointBlocks, 0);
    EXPECT_EQ(parsed.FindCodeList(5)->m_nCount, 7);
    EXPECT_FALSE(parsed.FromJson("[1,2]", error));
    EXPECT_FALSE(parsed.FromJson("{\"jobs\": [", error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(parsed.Load("/nonexistent/state.json", error));
}

TEST(LineSplitter, CutsOnlyAtCrLf)
{
    CLineSplitter splitter;
    auto lines = splitter.Feed(QByteArray("JOB/CONF/LIST\r\n?\r"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].m_bytes, QByteArray("JOB/CONF/LIST"));
    EXPECT_EQ(lines[0].m_nEndOffset, 15);
    lines = splitter.Feed(QByteArray("\na\rb\nc\r\n\r\n")); // CR LF split across two reads
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].m_bytes + "|" + lines[1].m_bytes + "|" + lines[2].m_bytes, "?|a\rb\nc|"); // lone CR, LF are data
    EXPECT_EQ(lines[0].m_nEndOffset, 1);
    EXPECT_FALSE(splitter.HasPartial());

    lines = splitter.Feed(QByteArray(CLineSplitter::MaxLine + 10, 'x') + "\r\nok\r\nhalf");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].m_bOverlong && lines[0].m_bytes.isEmpty());
    EXPECT_TRUE(!lines[1].m_bOverlong && lines[1].m_bytes == "ok");
    EXPECT_TRUE(splitter.HasPartial());
    splitter.Clear();
    lines = splitter.Feed("c\r\n");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].m_bytes, QByteArray("c"));
}

TEST(WireText, LowBytesAndEscapes)
{
    EXPECT_EQ(ToWire(QString(QChar(0x0141)) + QChar(0xE9) + "A"),
              QByteArray("\x41\xE9"
                         "A"));
    EXPECT_EQ(FromWire(QByteArray("\xE9\x00", 2)), QString(QChar(0xE9)) + QChar(0));
    EXPECT_EQ(EscapeBytes(QByteArray("?\r\n\\\x16\xFF ~", 8)), QByteArray("?\\r\\n\\\\\\x16\\xFF ~"));
}

} // namespace
