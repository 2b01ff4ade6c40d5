#include "editor/TextCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

QByteArray RoundTrip(const QByteArray& bytes)
{
    const CDecodedText decoded = CTextCodec::Decode(bytes);
    return CTextCodec::Encode(decoded.m_strText, decoded.m_lineEnds, decoded.m_usualEnd);
}

} // namespace

TEST(TextCodec, LineEndVariantsRoundTrip)
{
    const struct
    {
        std::string bytes;
        int lines; // line ends found
        ELineEnd usualEnd;
    } cases[] = {
        {"", 0, ELineEnd::CRLF},
        {"no line end at all", 0, ELineEnd::CRLF},
        {"one\ntwo\nthree\n", 3, ELineEnd::LF},
        {"one\r\ntwo\r\nthree\r\n", 3, ELineEnd::CRLF},
        {"one\rtwo\rthree\r", 3, ELineEnd::CR},
        {"mixed\r\nlf\ncr\rcrlf again\r\nopen", 4, ELineEnd::CRLF},
        {"lf then cr\n\r", 2, ELineEnd::LF},
        {"\r\r\n\n", 3, ELineEnd::CR},
        {"\n\n\r\n", 3, ELineEnd::LF},
        {"a\rb\nc\nd\re\nf", 5, ELineEnd::LF},
        {"tie of the two most frequent\rb\r\nc\r\nd\ne\n", 5, ELineEnd::CRLF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        const QByteArray bytes(c.bytes.data(), qsizetype(c.bytes.size()));
        const CDecodedText decoded = CTextCodec::Decode(bytes);
        EXPECT_EQ(decoded.m_lineEnds.size(), size_t(c.lines));
        EXPECT_EQ(decoded.m_strText.count(QChar(u'\n')), c.lines);
        EXPECT_FALSE(decoded.m_strText.contains(QChar(u'\r')));
        EXPECT_EQ(decoded.m_usualEnd, c.usualEnd);
        EXPECT_EQ(RoundTrip(bytes), bytes);
    }
}

TEST(TextCodec, EditedTextTakesUsualEndForNewLines)
{
    // The edit control separates its blocks with U+2029.
    const std::vector<ELineEnd> ends = {ELineEnd::CR, ELineEnd::LF};
    EXPECT_EQ(CTextCodec::Encode(u"a\u2029b\u2029c\u2029d", ends, ELineEnd::CRLF), QByteArray("a\rb\nc\r\nd"));
    // A line break typed with Shift+Enter is a line end too, and does not use up an entry.
    EXPECT_EQ(CTextCodec::Encode(u"a\u2028b\u2029c", {ELineEnd::CR}, ELineEnd::LF), QByteArray("a\nb\rc"));
    EXPECT_EQ(CTextCodec::Encode(u"x\ny\n", {}, ELineEnd::CR), QByteArray("x\ry\r"));
    // Separators are line ends, not characters beyond Latin-1 to warn about
    // (the editor's save checks the rest).
    EXPECT_EQ(CTextCodec::CountBeyondLatin1(u"a\u2028b\u2029c\u00FF\u0100"), 1);
}
