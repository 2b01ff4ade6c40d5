#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

// The bytes that end one line in a document file.
enum class ELineEnd : std::uint8_t { LF, CRLF, CR };

// A document file turned into text: the lines joined by '\n' and, for each
// '\n', the bytes that ended that line in the file.
struct CDecodedText
{
    QString m_strText;
    std::vector<ELineEnd> m_lineEnds;
    // The most frequent end (of a tie, the first in the file); CR LF when there is none.
    ELineEnd m_usualEnd = ELineEnd::CRLF;
};

// Conversion between the bytes of an 8-bit text file and the editor's text.
// Byte b is the character U+00bb; a saved character keeps its low 8 bits.
// Line ends are kept as they were: the edit control only knows line breaks,
// so the end of each line is carried beside the text.
class CTextCodec
{
public:
    static CDecodedText Decode(QByteArrayView bytes);

    // Writes text whose lines are separated by '\n' or U+2029 (the edit
    // control's paragraph separator). Separator i ends with lineEnds[i], or
    // with usualEnd beyond the list. U+2028 (a line break typed with Shift+Enter)
    // is written as usualEnd.
    static QByteArray Encode(QStringView text, const std::vector<ELineEnd>& lineEnds, ELineEnd usualEnd);

    // Characters that a file cannot hold: everything above U+00FF apart from
    // the line and paragraph separators.
    static qsizetype CountBeyondLatin1(QStringView text);

    static QByteArrayView LineEndBytes(ELineEnd end);
};
