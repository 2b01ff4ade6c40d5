#include "TextCodec.h"

#include <array>

namespace {

constexpr char16_t kParagraphSeparator = 0x2029;
constexpr char16_t kLineSeparator = 0x2028;

// The most frequent end; of ends equally frequent, the one the file uses first.
ELineEnd MostFrequent(const std::vector<ELineEnd>& lineEnds)
{
    std::array<qsizetype, 3> counts{};
    for (ELineEnd end : lineEnds)
        ++counts[size_t(end)];
    ELineEnd best = lineEnds.front();
    for (ELineEnd end : lineEnds) {
        if (counts[size_t(end)] > counts[size_t(best)])
            best = end;
    }
    return best;
}

} // namespace

CDecodedText CTextCodec::Decode(QByteArrayView bytes)
{
    CDecodedText decoded;
    decoded.m_strText.resize(bytes.size());
    QChar* out = decoded.m_strText.data();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();

    qsizetype written = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char b = in[i];
        if (b != '\r' && b != '\n') {
            out[written++] = QChar(char16_t(b));
            continue;
        }
        ELineEnd end = ELineEnd::LF;
        if (b == '\r') {
            end = ELineEnd::CR;
            if (i + 1 < size && in[i + 1] == '\n') {
                end = ELineEnd::CRLF;
                ++i;
            }
        }
        out[written++] = QChar(u'\n');
        decoded.m_lineEnds.push_back(end);
    }
    decoded.m_strText.resize(written);
    if (!decoded.m_lineEnds.empty())
        decoded.m_usualEnd = MostFrequent(decoded.m_lineEnds);
    return decoded;
}

QByteArray CTextCodec::Encode(QStringView text, const std::vector<ELineEnd>& lineEnds, ELineEnd usualEnd)
{
    QByteArray bytes;
    bytes.reserve(text.size() + text.size() / 16);
    size_t separator = 0;
    for (QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code == u'\n' || code == kParagraphSeparator) {
            const ELineEnd end = separator < lineEnds.size() ? lineEnds[separator] : usualEnd;
            ++separator;
            bytes.append(LineEndBytes(end));
        } else if (code == kLineSeparator) {
            bytes.append(LineEndBytes(usualEnd));
        } else {
            bytes.append(char(code & 0xFF));
        }
    }
    return bytes;
}

qsizetype CTextCodec::CountBeyondLatin1(QStringView text)
{
    qsizetype count = 0;
    for (QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code > 0xFF && code != kParagraphSeparator && code != kLineSeparator)
            ++count;
    }
    return count;
}

QByteArrayView CTextCodec::LineEndBytes(ELineEnd end)
{
    switch (end) {
    case ELineEnd::LF:
        return "\n";
    case ELineEnd::CR:
        return "\r";
    case ELineEnd::CRLF:
        break;
    }
    return "\r\n";
}
