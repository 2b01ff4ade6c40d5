#include "InstrumentFixture.h"

#include "instrument/Protocol.h"

namespace {

using namespace Protocol;
using namespace Qt::StringLiterals;

TEST(InstrumentProtocol, ReadNumberLikeWcstol)
{
    const QList<QPair<QString, qint32>> cases = {
        {"12", 12},
        {"  7\r\n", 7},
        {"\t-3x", -3},
        {"+5", 5},
        {"", 0},
        {"abc", 0},
        {"4 5", 4},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
        {"\r\n", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadNumber(c.first), c.second) << c.first.toStdString();
}

TEST(InstrumentProtocol, ListingRows)
{
    // Odd rows; the usual ones come through LinkTest.Listings.
    const QList<QPair<QString, QString>> jobs = {
        {"NOCOMMA\r\n", "empty,0,0,0,1"}, // no comma: number 0, skipped by the listing
        {"123\r\n", "empty,0,0,123,1"},   // no comma: the whole line is the last field
        {"B,4\r\n", "B,0,0,4,0"},         // too few commas: middle fields 0
        {"@127\r\n", "empty,0,0,0,1"},    // "@" stops the number
        {"Job 7, 7 , 2,11", "Job 7,7,2,11,0"},
        {"X,5,,", "X,5,0,0,0"},
    };
    for (const auto& c : jobs)
        EXPECT_EQ(Row(ParseJobRow(c.first)), c.second);
    EXPECT_EQ(TrimLine("\t a b \r\n"), "a b");
}

TEST(InstrumentProtocol, ReplyTests)
{
    EXPECT_TRUE(IsRefusal("@W\r\n") && IsRefusal("@W1") && !IsRefusal("W@") && !IsRefusal(""));
    EXPECT_TRUE(IsReceiveError("@E1 whatever") && IsReceiveError("@W1\r\n"));
    EXPECT_FALSE(IsReceiveError("@W2\r\n") || IsReceiveError("@E"));
    EXPECT_TRUE(IsBusy(QString(QChar(0x16))) && !IsBusy(QString(QChar(0x16)) + "\r\n"));
    EXPECT_TRUE(IsListEnd("") && IsListEnd("?") && !IsListEnd("?\r\n"));
}

TEST(InstrumentProtocol, NamesAndFileTypes)
{
    EXPECT_EQ(BaseName("Data\\Sub\\P7.tqs"), "P7");
    EXPECT_EQ(BaseName("/home/u/job.one.VRN"), "job.one");
    EXPECT_EQ(BaseName("\\P7.tqs"), "\\P7"); // a leading separator is kept
    EXPECT_EQ(BaseName(".hidden"), ".hidden");
    EXPECT_EQ(FileType("x.frt"), "FRT");
    EXPECT_EQ(FileType("ab"), "AB");
    EXPECT_EQ(ProposeName("dir/P7.tqs", {"A1", "p7"}, "MyJob7"), "P7"); // exact case only

    // Names are judged by the bytes that go out, each character's low 8 bits
    // ("/" and CR in disguise: see TransferTest.SendRefusals).
    const QList<QPair<QString, bool>> names = {
        {"", false},
        {"a\rb", false},
        {"a\nb", false},
        {"a\tb", false},
        {u"a\u010Ab"_s, false}, // LF
        {u"a\u0116b"_s, false}, // the busy byte 0x16
        {u"a\u011Ab"_s, false}, // 0x1A, the end of a format file
        {u"\u0141ODZ"_s, true}, // goes out as "AODZ": lossy, not harmful
        {u"K\u00F6ln 2"_s, true},
    };
    for (const auto& [name, sendable] : names)
        EXPECT_EQ(IsSendableName(name), sendable) << name.toStdString();
    EXPECT_EQ(SafeFileName("../../etc/passwd"), "._._etc_passwd");
    EXPECT_EQ(SafeFileName("A..B\\C"), "A.B_C");
    EXPECT_TRUE(IsSafeFileName(SafeFileName("..")));
    for (const QString name : {"..", ".", "a/b.VRN", "a\\b.VRN", ""})
        EXPECT_FALSE(IsSafeFileName(name)) << name.toStdString();
    EXPECT_TRUE(IsSafeFileName("job1.VRN"));
}

} // namespace
