#include "InstrumentFixture.h"

#include "instrument/Protocol.h"

namespace {

using namespace Protocol;

TEST(InstrumentProtocol, ReadNumberLikeWcstol)
{
    const QList<QPair<QString, qint32>> cases = {
        {"12", 12},       {"  7\r\n", 7},   {"\t-3x", -3}, {"+5", 5},
        {"", 0},          {"abc", 0},       {"4 5", 4},    {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},  {"\r\n", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadNumber(c.first), c.second) << c.first.toStdString();
}

TEST(InstrumentProtocol, JobRows)
{
    struct CCase { QString line; QString name; int number, fix, meas, empty; };
    const QList<CCase> cases = {
        {"A1,1,3,5\r\n", "A1", 1, 3, 5, 0},
        {",2,0,0\r\n", "empty", 2, 0, 0, 1},
        {"NOCOMMA\r\n", "empty", 0, 0, 0, 1},     // no comma: number 0, skipped by the listing
        {"123\r\n", "empty", 0, 0, 123, 1},       // no comma: the whole line is the last field
        {"B,4\r\n", "B", 0, 0, 4, 0},             // too few commas: middle fields 0
        {"@127\r\n", "empty", 0, 0, 0, 1},      // "@" stops the number
        {"Job 7, 7 , 2,11", "Job 7", 7, 2, 11, 0},
        {"X,5,,", "X", 5, 0, 0, 0},
    };
    for (const CCase& c : cases) {
        const CJobInfo row = ParseJobRow(c.line);
        EXPECT_EQ(row.m_strName, c.name) << c.line.toStdString();
        EXPECT_EQ(row.m_nNumber, c.number) << c.line.toStdString();
        EXPECT_EQ(row.m_nFixBlocks, c.fix) << c.line.toStdString();
        EXPECT_EQ(row.m_nMeasBlocks, c.meas) << c.line.toStdString();
        EXPECT_EQ(row.m_bEmpty, c.empty) << c.line.toStdString();
    }
}

TEST(InstrumentProtocol, FormatAndCodeListRows)
{
    const CFormatInfo f = ParseFormatRow(TrimLine(" F1,2,1,1 \r\n"));
    EXPECT_EQ(f.m_strName, "F1");
    EXPECT_EQ(f.m_nNumber, 2);
    EXPECT_EQ(f.m_nValue1, 1);
    EXPECT_EQ(f.m_nValue2, 1);
    EXPECT_EQ(f.m_bEmpty, 0);
    const CFormatInfo free = ParseFormatRow(",3,0,0");
    EXPECT_EQ(free.m_strName, "empty");
    EXPECT_EQ(free.m_bEmpty, 1);
    EXPECT_EQ(free.m_nNumber, 3);
    EXPECT_EQ(CFormatInfo().m_bEmpty, 1);

    const CCodeListInfo c = ParseCodeListRow("CODES,3,12\r\n");
    EXPECT_EQ(c.m_strName, "CODES");
    EXPECT_EQ(c.m_nNumber, 3);
    EXPECT_EQ(c.m_nCount, 12);
    EXPECT_EQ(c.m_bEmpty, 0);
    const CCodeListInfo e = ParseCodeListRow(",4,0\r\n");
    EXPECT_EQ(e.m_strName, "empty");
    EXPECT_EQ(e.m_nNumber, 4);
    EXPECT_EQ(e.m_bEmpty, 1);

    EXPECT_EQ(TrimLine("\t a b \r\n"), "a b");
    EXPECT_EQ(TrimLine(" \r\n"), "");
}

TEST(InstrumentProtocol, ReplyTests)
{
    EXPECT_TRUE(IsRefusal("@W\r\n"));
    EXPECT_TRUE(IsRefusal("@W1"));
    EXPECT_FALSE(IsRefusal("W@"));
    EXPECT_FALSE(IsRefusal(""));
    EXPECT_TRUE(IsReceiveError("@E1 whatever"));
    EXPECT_TRUE(IsReceiveError("@W1\r\n"));
    EXPECT_FALSE(IsReceiveError("@W2\r\n"));
    EXPECT_FALSE(IsReceiveError("@E"));
    EXPECT_TRUE(IsBusy(QString(QChar(0x16))));
    EXPECT_FALSE(IsBusy(QString(QChar(0x16)) + "\r\n"));
    EXPECT_TRUE(IsListEnd(""));
    EXPECT_TRUE(IsListEnd("?"));
    EXPECT_FALSE(IsListEnd("?\r\n"));
}

TEST(InstrumentProtocol, IdentifyReplies)
{
    auto r = ParseIdentifyReply("%R1P,0,0:0,\"ABC\"\r\n");
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->m_bOk);
    EXPECT_EQ(r->m_strName, "ABC");
    r = ParseIdentifyReply("%R1P,0,0:1,\"ABC\"\r\n");
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->m_bOk);
    r = ParseIdentifyReply("%R1P,0,0:0,\"\r\n");   // one quote: an empty name
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->m_bOk);
    EXPECT_EQ(r->m_strName, "");
    r = ParseIdentifyReply("%R1P,0,0:0,NoQuotes\r\n");
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->m_bOk);
    r = ParseIdentifyReply("%R1P,0,0:");          // no return code at all
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->m_bOk);
    EXPECT_FALSE(ParseIdentifyReply(""));
    EXPECT_FALSE(ParseIdentifyReply("%R1P,0,1:0,\"X\"\r\n"));
}

TEST(InstrumentProtocol, NamesAndFileTypes)
{
    EXPECT_EQ(BaseName("Data\\Sub\\P7.tqs"), "P7");
    EXPECT_EQ(BaseName("/home/u/job.one.VRN"), "job.one");
    EXPECT_EQ(BaseName("\\P7.tqs"), "\\P7");   // a leading separator is kept
    EXPECT_EQ(BaseName(".hidden"), ".hidden");
    EXPECT_EQ(FileType("P7.tqs"), "TQS");
    EXPECT_EQ(FileType("x.frt"), "FRT");
    EXPECT_EQ(FileType("ab"), "AB");
    EXPECT_EQ(ProposeName("dir/P7.tqs", {"A1", "P7"}, "MyJob7"), "MyJob7");
    EXPECT_EQ(ProposeName("dir/P7.tqs", {"A1", "p7"}, "MyJob7"), "P7");   // exact case only

    EXPECT_TRUE(IsSendableName("P7"));
    EXPECT_FALSE(IsSendableName(""));
    EXPECT_FALSE(IsSendableName("a/b"));
    EXPECT_FALSE(IsSendableName("a\rb"));
    EXPECT_FALSE(IsSendableName("a\nb"));

    EXPECT_EQ(SafeFileName("../../etc/passwd"), "._._etc_passwd");
    EXPECT_EQ(SafeFileName("A..B\\C"), "A.B_C");
    EXPECT_TRUE(IsSafeFileName(SafeFileName("..")));
    EXPECT_FALSE(IsSafeFileName(".."));
    EXPECT_FALSE(IsSafeFileName("."));
    EXPECT_FALSE(IsSafeFileName("a/b.VRN"));
    EXPECT_FALSE(IsSafeFileName("a\\b.VRN"));
    EXPECT_FALSE(IsSafeFileName(""));
    EXPECT_TRUE(IsSafeFileName("job1.VRN"));
}

} // namespace
