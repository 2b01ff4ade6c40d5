#include "FuzzCheck.h"
#include "instrument/Protocol.h"
#include "platform/Bytes.h"

#include <algorithm>
#include <climits>

// wcstol, the instrument's own number reader, clamped to 32 bits.
static qint32 CLibraryNumber(const QByteArray& bytes)
{
    const long long value = std::strtoll(bytes.constData(), nullptr, 10);
    return qint32(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// A row as the instrument writes it: the name, then the numbers, each after a comma.
static QString Fields(QString row, std::initializer_list<qint32> numbers)
{
    for (qint32 number : numbers)
        row += QLatin1Char(',') + QString::number(number);
    return row;
}

// A row with a name starts with that name and its comma, and the same fields
// written out again read back the same.
template <typename Row, typename Parse, typename Write>
static void CheckRow(const QString& line, Parse parse, Write write)
{
    const Row row = parse(line);
    if (row.m_bEmpty) {
        Check(!line.contains(QLatin1Char(',')) || line.startsWith(QLatin1Char(',')), "a free slot has no name field");
        return;
    }
    Check(!row.m_strName.isEmpty() && line.startsWith(row.m_strName + QLatin1Char(',')), "the name is the first field");
    const Row again = parse(write(row));
    Check(again.m_strName == row.m_strName && again.m_bEmpty == 0 && write(again) == write(row), "a row reads back");
}

// Rows of the job, format and code-list listings and the numbers in them, as
// the instrument sends them byte by byte.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = InputBytes(data, size);
    const QString line = FromBytes(bytes);
    Check(Protocol::ReadNumber(line) == CLibraryNumber(bytes), "numbers read as wcstol reads them");

    CheckRow<CJobInfo>(line, Protocol::ParseJobRow, [](const CJobInfo& row) {
        return Fields(row.m_strName, {row.m_nNumber, row.m_nFixBlocks, row.m_nMeasBlocks});
    });
    CheckRow<CFormatInfo>(line, Protocol::ParseFormatRow, [](const CFormatInfo& row) {
        return Fields(row.m_strName, {row.m_nNumber, row.m_nValue1, row.m_nValue2});
    });
    CheckRow<CCodeListInfo>(line, Protocol::ParseCodeListRow, [](const CCodeListInfo& row) {
        return Fields(row.m_strName, {row.m_nNumber, row.m_nCount});
    });

    const QString trimmed = Protocol::TrimLine(line);
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    Check(line.contains(trimmed) && (trimmed.isEmpty() || (!blank(trimmed.front()) && !blank(trimmed.back()))),
          "a trimmed line is the line without its outer blanks");
    return 0;
}
