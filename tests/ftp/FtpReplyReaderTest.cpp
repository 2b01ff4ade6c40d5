#include "ftp/FtpReplyReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct CChunk
{
    qint64 m_nAtMs;
    std::string m_strBytes;
};

struct CCase
{
    const char* m_szWhat;
    std::vector<CChunk> m_chunks;
    bool m_bPeerCloses;
    CFtpReplyReader::EStatus m_expected;
    int m_nLines;          // lines of the reply taken
    std::string m_strLast; // its last line
    qsizetype m_nLeft = 0; // bytes left for the next reply
};

// One chunk, there at once.
std::vector<CChunk> Now(const std::string& bytes)
{
    return {{0, bytes}};
}

std::string Lines(const std::string& prefix, int count, size_t width = 0)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        std::string line = prefix + std::to_string(i);
        line.resize(std::max(line.size(), width), 'x');
        text += line + "\r\n";
    }
    return text;
}

// Feeds the chunks at their times, asking for the reply after each, as the
// client does when bytes arrive.
CFtpReplyReader::EStatus FeedAll(CFtpReplyReader& reader, const CCase& c)
{
    reader.Begin(0);
    CFtpReplyReader::EStatus status = CFtpReplyReader::RS_NEED_MORE;
    qint64 now = 0;
    for (const CChunk& chunk : c.m_chunks) {
        now = chunk.m_nAtMs;
        if ((status = reader.ReadReply(now)) != CFtpReplyReader::RS_NEED_MORE)
            return status;
        reader.Feed(QByteArrayView(chunk.m_strBytes.data(), static_cast<qsizetype>(chunk.m_strBytes.size())));
    }
    if (c.m_bPeerCloses)
        reader.End();
    return reader.ReadReply(now);
}

} // namespace

// A line split over reads, a peer that closes at once or says nothing: the
// client's control tests.
TEST(FtpReplyReader, RepliesFromRealLines)
{
    using R = CFtpReplyReader;
    const std::string banner = "230-Welcome to the field server.\r\n";
    std::vector<CChunk> endless; // one line every two seconds, each in time
    for (int t = 0; t <= 40000; t += 2000)
        endless.push_back({t, banner});
    const std::string longest = std::string(8190, '2') + "\r\n";
    const std::vector<CCase> cases = {
        {"multi-line; 231 and a further 230- do not end it",
         Now("230-Welcome\r\n231 not the end\r\n230-still inside\r\n230 done\r\n"), false, R::RS_REPLY_READY, 4,
         "230 done\r\n"},
        {"indented or bare codes inside do not end it",
         Now("220-pyftpdlib 1.5.7 ready.\r\n 220 indented\r\n220\r\n220 ready\r\n"), false, R::RS_REPLY_READY, 4,
         "220 ready\r\n"},
        {"a lone digit", Now("2\r\n"), false, R::RS_REPLY_READY, 1, "2\r\n"},
        {"LF alone ends a line", Now("220 hi\n"), false, R::RS_REPLY_READY, 1, "220 hi\n"},
        {"CR alone does not", Now("220 a\rb\r\n"), false, R::RS_REPLY_READY, 1, "220 a\rb\r\n"},
        {"letters before the hyphen open nothing", Now("ab-c\r\n"), false, R::RS_REPLY_READY, 1, "ab-c\r\n"},
        {"two replies in one read: the second waits", Now("150 Opening\r\n226 Done\r\n"), false, R::RS_REPLY_READY, 1,
         "150 Opening\r\n", 10},
        {"no line end yet", Now("220 Serv"), false, R::RS_NEED_MORE, 0, "", 8},
        {"the peer closes after a line without its end", Now("421 Bye"), true, R::RS_REPLY_READY, 1, "421 Bye"},
        {"the peer closes inside a multi-line reply", Now(banner), true, R::RS_CLOSED, 1, banner},
        // Limits: a line of 8192 bytes passes, one more byte without a line
        // end does not; 1000 lines pass, 1001 do not; nor do 64 KiB.
        {"longest line", Now(longest), false, R::RS_REPLY_READY, 1, longest},
        {"line too long", Now("220 " + std::string(8189, 'a')), false, R::RS_LINE_TOO_LONG, 0, ""},
        {"line too long, then its end", Now("220 " + std::string(8189, 'a') + "\r\n"), false, R::RS_LINE_TOO_LONG, 0,
         ""},
        {"1000 lines", Now(Lines("230-", 999) + "230 end\r\n"), false, R::RS_REPLY_READY, 1000, "230 end\r\n"},
        {"1001 lines", Now(Lines("230-", 1000) + "230 end\r\n"), false, R::RS_REPLY_TOO_LONG, 1000, "230-999\r\n"},
        {"more than 64 KiB", Now(Lines("230-", 20, 4000)), false, R::RS_REPLY_TOO_LONG, 16,
         "230-15" + std::string(3994, 'x') + "\r\n"},
        // Time: a reply that never ends is cut at 30 s; a reply complete in
        // what has arrived is taken even when it is asked for late.
        {"endless multi-line reply", endless, false, R::RS_TIMED_OUT, 15, banner},
        {"complete when asked late",
         {{29999, "226 Done\r\n"}, {31000, ""}},
         false,
         R::RS_REPLY_READY,
         1,
         "226 Done\r\n"},
    };
    for (const CCase& c : cases) {
        CFtpReplyReader reader;
        const R::EStatus status = FeedAll(reader, c);
        EXPECT_EQ(status, c.m_expected) << c.m_szWhat;
        EXPECT_EQ(reader.Lines().size(), c.m_nLines) << c.m_szWhat;
        EXPECT_EQ(reader.Lines().isEmpty() ? std::string() : reader.Lines().constLast().toStdString(), c.m_strLast)
            << c.m_szWhat;
        EXPECT_EQ(reader.Buffered(), c.m_nLeft) << c.m_szWhat;
        // A failed reader stays failed and takes no more bytes.
        if (status != R::RS_REPLY_READY && status != R::RS_NEED_MORE) {
            reader.Begin(0);
            reader.Feed("200 late\r\n");
            EXPECT_EQ(reader.ReadReply(0), c.m_expected) << c.m_szWhat;
            EXPECT_EQ(reader.Buffered(), 0) << c.m_szWhat;
        }
    }
}

TEST(FtpReplyReader, LinesAndRepliesInStep)
{
    CFtpReplyReader reader;
    reader.Begin(0);
    reader.Feed("150 Opening\r\n226 Transfer");
    EXPECT_EQ(reader.ReadReply(0), CFtpReplyReader::RS_REPLY_READY);
    EXPECT_EQ(reader.ReadReply(0), CFtpReplyReader::RS_REPLY_READY); // until Begin
    reader.Begin(5000);
    EXPECT_EQ(reader.ReadReply(5000), CFtpReplyReader::RS_NEED_MORE);
    EXPECT_EQ(reader.RemainingMs(6000), 29000);
    reader.Feed(" complete\r\n");
    EXPECT_EQ(reader.ReadReply(6000), CFtpReplyReader::RS_REPLY_READY);
    EXPECT_EQ(reader.Lines(), QList<QByteArray>{"226 Transfer complete\r\n"});

    // Line by line: each line of a multi-line reply in turn.
    reader.Begin(0);
    reader.Feed("211-Features:\r\n EPSV\r\n211 End\r\n");
    EXPECT_EQ(reader.ReadLine(0), CFtpReplyReader::RS_LINE_READY);
    EXPECT_FALSE(reader.IsReplyComplete());
    EXPECT_EQ(reader.ReadLine(0), CFtpReplyReader::RS_LINE_READY);
    EXPECT_EQ(reader.ReadLine(0), CFtpReplyReader::RS_LINE_READY);
    EXPECT_TRUE(reader.IsReplyComplete());
    EXPECT_EQ(reader.Lines().size(), 3);

    // Reset forgets a failure, for a new connection.
    reader.Feed(QByteArray(9000, 'x'));
    reader.Begin(0);
    EXPECT_EQ(reader.ReadReply(0), CFtpReplyReader::RS_LINE_TOO_LONG);
    reader.Reset();
    reader.Begin(0);
    reader.Feed("220 again\r\n");
    EXPECT_EQ(reader.ReadReply(0), CFtpReplyReader::RS_REPLY_READY);
}
