#include "Protocol.h"

#include "resources/StringTable.h"

#include <limits>

namespace Protocol {

namespace {

bool IsWcsSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x20 || (u >= 0x09 && u <= 0x0D);
}

// Reads the field before the next comma and drops it with the comma; without
// a further comma the field reads as 0 and nothing is dropped.
qint32 TakeField(QString& rest)
{
    const qsizetype comma = rest.indexOf(QLatin1Char(','));
    if (comma < 0)
        return 0;
    const qint32 value = ReadNumber(rest.left(comma));
    rest.remove(0, comma + 1);
    return value;
}

// Splits off the name: "empty" with flag 1 when the first comma is missing or
// comes first. Returns the rest of the row after the name's comma.
QString TakeName(const QString& line, QString& name, qint32& empty, const QString& emptyName)
{
    const qsizetype comma = line.indexOf(QLatin1Char(','));
    if (comma < 1) {
        name = emptyName;
        empty = 1;
    } else {
        name = line.left(comma);
        empty = 0;
    }
    return comma < 0 ? line : line.mid(comma + 1);
}

} // namespace

qint32 ReadNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && IsWcsSpace(text.at(i)))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    const qint64 limit = qint64(std::numeric_limits<qint32>::max()) + 1;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i) {
        value = value * 10 + (text.at(i).unicode() - '0');
        if (value > limit)
            value = limit;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<qint32>::max())
        value = std::numeric_limits<qint32>::max();
    return static_cast<qint32>(value);
}

CJobInfo ParseJobRow(const QString& line)
{
    CJobInfo row;
    QString rest = TakeName(line, row.m_strName, row.m_bEmpty, LoadString(IDS_EMPTY));
    row.m_nNumber = TakeField(rest);
    row.m_nFixBlocks = TakeField(rest);
    row.m_nMeasBlocks = ReadNumber(rest);
    return row;
}

CFormatInfo ParseFormatRow(const QString& line)
{
    CFormatInfo row;
    QString rest = TakeName(line, row.m_strName, row.m_bEmpty, QStringLiteral("empty"));
    row.m_nNumber = TakeField(rest);
    row.m_nValue1 = TakeField(rest);
    row.m_nValue2 = ReadNumber(rest);
    return row;
}

CCodeListInfo ParseCodeListRow(const QString& line)
{
    CCodeListInfo row;
    QString rest = TakeName(line, row.m_strName, row.m_bEmpty, LoadString(IDS_EMPTY));
    row.m_nNumber = TakeField(rest);
    row.m_nCount = ReadNumber(rest);
    return row;
}

QString TrimLine(const QString& line)
{
    auto blank = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
    };
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && blank(line.at(begin)))
        ++begin;
    while (end > begin && blank(line.at(end - 1)))
        --end;
    return line.mid(begin, end - begin);
}

bool IsRefusal(const QString& reply)
{
    return reply.startsWith(QLatin1String("@W"));
}

bool IsReceiveError(const QString& reply)
{
    return reply.startsWith(QLatin1String("@W1")) || reply.startsWith(QLatin1String("@E1"));
}

bool IsBusy(const QString& reply)
{
    return reply.size() == 1 && reply.at(0).unicode() == kBusy;
}

bool IsListEnd(const QString& reply)
{
    return reply.isEmpty() || reply == QLatin1String("?");
}

std::optional<CIdentifyReply> ParseIdentifyReply(const QString& reply)
{
    if (!reply.startsWith(QLatin1String("%R1P,0,0:")))
        return std::nullopt;
    CIdentifyReply result;
    if (reply.size() < 10 || reply.at(9) != QLatin1Char('0'))
        return result;
    const qsizetype last = reply.lastIndexOf(QLatin1Char('"'));
    const qsizetype first = reply.indexOf(QLatin1Char('"'));
    if (last < 3)
        return result;
    result.m_bOk = true;
    result.m_strName = last > first ? reply.mid(first + 1, last - first - 1) : QString();
    return result;
}

QString BaseName(const QString& source)
{
    QString name = source;
    const qsizetype slash = std::max(name.lastIndexOf(QLatin1Char('\\')), name.lastIndexOf(QLatin1Char('/')));
    if (slash > 0)
        name = name.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    return name;
}

QString FileType(const QString& source)
{
    return source.right(3).toUpper();
}

QString ProposeName(const QString& source, const QStringList& existingNames, const QString& fallback)
{
    const QString name = BaseName(source);
    return existingNames.contains(name, Qt::CaseSensitive) ? fallback : name;
}

bool IsSendableName(const QString& name)
{
    if (name.isEmpty())
        return false;
    // Judged on the bytes that go out: U+012F arrives as "/", U+010D as CR.
    for (QChar c : name) {
        const char16_t byte = c.unicode() & 0xFF;
        if (byte == u'/' || byte < 0x20)
            return false;
    }
    return true;
}

int UnsendableCharacter(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t code = text.at(i).unicode();
        if (code > 0xFF && (code & 0xFF) < 0x20)
            return static_cast<int>(i);
    }
    return -1;
}

QString SafeFileName(const QString& instrumentName)
{
    QString name;
    for (QChar c : instrumentName) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20)
            c = QLatin1Char('_');
        if (c == QLatin1Char('.') && name.endsWith(QLatin1Char('.')))
            continue;
        name += c;
    }
    return name == QLatin1String(".") ? QStringLiteral("_") : name;
}

bool IsSafeFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20)
            return false;
    }
    return true;
}

} // namespace Protocol
