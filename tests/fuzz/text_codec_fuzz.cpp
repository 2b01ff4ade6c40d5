#include "FuzzCheck.h"
#include "editor/TextCodec.h"

// A file opened and saved unchanged by the editor is the same file, byte for
// byte: Encode(Decode(b)) == b. The text in between has one '\n' per line end,
// no CR and no character a file cannot hold, and the usual line end is the
// most frequent one.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    const CDecodedText decoded = CTextCodec::Decode(bytes);
    Check(CTextCodec::Encode(decoded.m_strText, decoded.m_lineEnds, decoded.m_usualEnd) == bytes, "round trip exact");
    Check(!decoded.m_strText.contains(QLatin1Char('\r')), "no CR in the text");
    Check(decoded.m_strText.count(QLatin1Char('\n')) == qsizetype(decoded.m_lineEnds.size()), "one line end per break");
    Check(CTextCodec::CountBeyondLatin1(decoded.m_strText) == 0, "every character fits a byte");
    qsizetype counts[3] = {};
    for (ELineEnd end : decoded.m_lineEnds)
        ++counts[size_t(end)];
    for (qsizetype count : counts)
        Check(count <= counts[size_t(decoded.m_usualEnd)], "the usual line end is the most frequent");
    return 0;
}
