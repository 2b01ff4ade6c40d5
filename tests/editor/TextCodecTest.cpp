#include "editor/TextCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

QByteArray Bytes(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

QByteArray RoundTrip(const QByteArray& bytes)
{
    const CDecodedText decoded = CTextCodec::Decode(bytes);
    return CTextCodec::Encode(decoded.m_strText, decoded.m_lineEnds, decoded.m_usualEnd);
}

} // namespace

TEST(TextCodec, EveryByteValueRoundTrips)
{
    QByteArray ascending;
    for (int b = 0; b < 256; ++b)
        ascending.append(char(b));
    QByteArray descending;
    for (int b = 255; b >= 0; --b)
        descending.append(char(b));

    for (const QByteArray& bytes : {ascending, descending, ascending + ascending}) {
        EXPECT_EQ(RoundTrip(bytes), bytes);
    }

    // Apart from the line ends, byte b is the character U+00bb at the same place.
    const CDecodedText decoded = CTextCodec::Decode(ascending);
    QString expected;
    for (int b = 0; b < 256; ++b) {
        const bool bLineEnd = b == '\n' || b == '\r'; // 0x0A and 0x0D: two separate line ends
        expected.append(bLineEnd ? QChar(u'\n') : QChar(char16_t(b)));
    }
    EXPECT_EQ(decoded.m_strText, expected);
    EXPECT_EQ(decoded.m_lineEnds, (std::vector<ELineEnd>{ELineEnd::Lf, ELineEnd::Cr}));
}

TEST(TextCodec, LetterWithAccentAndCrLf)
{
    const CDecodedText decoded = CTextCodec::Decode(QByteArray("\x41\xE9\x0D\x0A"));
    EXPECT_EQ(decoded.m_strText, QString::fromUtf16(u"A\u00E9\n"));
    EXPECT_EQ(decoded.m_lineEnds, std::vector<ELineEnd>{ELineEnd::CrLf});
    EXPECT_EQ(CTextCodec::Encode(decoded.m_strText, decoded.m_lineEnds, decoded.m_usualEnd),
              QByteArray("\x41\xE9\x0D\x0A"));
}

TEST(TextCodec, LineEndVariantsRoundTrip)
{
    struct Case {
        std::string bytes;
        int lines;         // line ends found
        ELineEnd usualEnd;
    };
    const std::vector<Case> cases = {
        {"one\ntwo\nthree\n", 3, ELineEnd::Lf},
        {"one\r\ntwo\r\nthree\r\n", 3, ELineEnd::CrLf},
        {"one\rtwo\rthree\r", 3, ELineEnd::Cr},
        {"no line end at all", 0, ELineEnd::CrLf},
        {"last line open\nend", 1, ELineEnd::Lf},
        {"mixed\r\nlf\ncr\rcrlf again\r\nopen", 4, ELineEnd::CrLf},
        {"lf then cr\n\r", 2, ELineEnd::Lf},
        {"\r\r\n\n", 3, ELineEnd::Cr},
        {"\n\n\r\n", 3, ELineEnd::Lf},
        {"\r", 1, ELineEnd::Cr},
        {"\n", 1, ELineEnd::Lf},
        {"\r\n\r\n\r\n", 3, ELineEnd::CrLf},
        {"cr at the very end\r", 1, ELineEnd::Cr},
        {"a\rb\nc\nd\re\nf", 5, ELineEnd::Lf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const QByteArray bytes = Bytes(c.bytes);
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
    const std::vector<ELineEnd> ends = {ELineEnd::Cr, ELineEnd::Lf};
    EXPECT_EQ(CTextCodec::Encode(u"a\u2029b\u2029c\u2029d", ends, ELineEnd::CrLf), QByteArray("a\rb\nc\r\nd"));
    // A line break typed with Shift+Enter is a line end too, and does not use up an entry.
    EXPECT_EQ(CTextCodec::Encode(u"a\u2028b\u2029c", {ELineEnd::Cr}, ELineEnd::Lf), QByteArray("a\nb\rc"));
    EXPECT_EQ(CTextCodec::Encode(u"x\ny\n", {}, ELineEnd::Cr), QByteArray("x\ry\r"));
}

TEST(TextCodec, EmptyFile)
{
    const CDecodedText decoded = CTextCodec::Decode(QByteArray());
    EXPECT_TRUE(decoded.m_strText.isEmpty());
    EXPECT_TRUE(decoded.m_lineEnds.empty());
    EXPECT_TRUE(CTextCodec::Encode(u"", {}, ELineEnd::CrLf).isEmpty());
}

TEST(TextCodec, CharactersAboveLatin1KeepTheirLowByte)
{
    const QString text = QString::fromUtf16(u"A\u0141\u20AC\u00FF\u0100z");
    EXPECT_EQ(CTextCodec::Encode(text, {}, ELineEnd::CrLf), QByteArray("A\x41\xAC\xFF\x00z", 6));
    EXPECT_EQ(CTextCodec::CountBeyondLatin1(text), 3);
    // Separators are line ends, not characters to warn about.
    EXPECT_EQ(CTextCodec::CountBeyondLatin1(u"a\u2028b\u2029c\u00FF"), 0);

    // Reading the saved bytes back shows the characters with those codes.
    const CDecodedText reread = CTextCodec::Decode(CTextCodec::Encode(text, {}, ELineEnd::CrLf));
    QString expected = QStringLiteral("AA");
    expected += QChar(0xAC);
    expected += QChar(0xFF);
    expected += QChar(0x00);
    expected += QLatin1Char('z');
    EXPECT_EQ(reread.m_strText, expected);
}
