// The field and date readers that the LIST parsers share.
#include "ListingParsers.h"

#include <QHash>
#include <QStringDecoder>

namespace {

// Month names and abbreviations as servers print them, lower case, without
// a trailing ".": English, German, French, Spanish, Italian, Portuguese,
// Dutch, Swedish, Polish, Czech, Hungarian and Russian.
const char16_t* const kMonthNames[12] = {
    u"jan january januar janv janvier j\u00e4n ene enero gen gennaio sty led \u044f\u043d\u0432",
    u"feb february februar febr f\u00e9v f\u00e9vr f\u00e9vrier fev fevereiro lut \u00fano \u0444\u0435\u0432",
    u"mar march m\u00e4r m\u00e4rz mars marzo mrt m\u00e1rc b\u0159e \u043c\u0430\u0440",
    u"apr april avr avril abr abril kwi \u00e1pr dub \u0430\u043f\u0440",
    u"may mai mayo mag maggio mei maj m\u00e1j kv\u011b \u043c\u0430\u0439 \u043c\u0430\u044f",
    u"jun june juni juin junio giu giugno j\u00fan cze \u010dvn \u0438\u044e\u043d",
    u"jul july juli juil juillet julio lug luglio j\u00fal lip \u010dvc \u0438\u044e\u043b",
    u"aug august ao\u00fbt aout ago agosto sie srp \u0430\u0432\u0433",
    u"sep sept september septembre septiembre set settembre szept wrz z\u00e1\u0159 \u0441\u0435\u043d",
    u"oct october oktober okt octobre octubre ott ottobre out outubro pa\u017a \u0159\u00edj \u043e\u043a\u0442",
    u"nov november novembre noviembre lis \u043d\u043e\u044f",
    u"dec december dezember dez d\u00e9c d\u00e9cembre dic diciembre dicembre gru pro \u0434\u0435\u043a",
};

constexpr char16_t kYearUnits[] = u"\u5e74\ub144";  // 年 년
constexpr char16_t kMonthUnits[] = u"\u6708\uc6d4"; // 月 월
constexpr char16_t kDayUnits[] = u"\u65e5\uc77c";   // 日 일

const QHash<QString, int>& MonthTable()
{
    static const QHash<QString, int> table = [] {
        QHash<QString, int> names;
        for (int month = 0; month < 12; ++month) {
            for (const QString& name : QString::fromUtf16(kMonthNames[month]).split(QLatin1Char(' ')))
                names.insert(name, month + 1);
        }
        return names;
    }();
    return table;
}

// The number before a unit character of units (or before a "." when dot),
// or the whole field when it is digits only; -1 otherwise.
int NumberWithUnit(const QString& field, const char16_t* units, bool dot, int maxDigits)
{
    QStringView digits(field);
    if (!digits.isEmpty()) {
        const QChar last = digits.back();
        if ((units && (last == QChar(units[0]) || last == QChar(units[1]))) || (dot && last == QLatin1Char('.')))
            digits.chop(1);
    }
    return IsDigits(digits, 1, maxDigits) ? digits.toInt() : -1;
}

bool ReadYear(QStringView field, int& year)
{
    year = NumberWithUnit(DecodedField(field), kYearUnits, true, 4);
    return field.size() >= 4 && year >= 1000;
}

bool ReadDay(QStringView field, int& day)
{
    day = NumberWithUnit(DecodedField(field), kDayUnits, true, 2);
    return day >= 1 && day <= 31;
}

// The last date of that month and day not after the day after today.
QDate RecentDate(int month, int day, const QDate& today)
{
    const QDate limit = (today.isValid() ? today : QDate::currentDate()).addDays(1);
    for (int year = limit.year(); year >= limit.year() - 8; --year) {
        const QDate date(year, month, day);
        if (date.isValid() && date <= limit)
            return date;
    }
    return QDate();
}

// "+0200": the offset in seconds.
bool ReadZone(QStringView field, int& seconds)
{
    if (field.size() != 5 || (field[0] != QLatin1Char('+') && field[0] != QLatin1Char('-'))
        || !IsDigits(field.mid(1), 4, 4))
        return false;
    const int hours = field.mid(1, 2).toInt();
    const int minutes = field.mid(3, 2).toInt();
    if (hours > 14 || minutes > 59)
        return false;
    seconds = (hours * 60 + minutes) * 60 * (field[0] == QLatin1Char('-') ? -1 : 1);
    return true;
}

// "2024年6月7日", "6月7日", "2024년6월7일" in one field.
bool ReadUnitDate(QStringView field, const QDate& today, QDate& date)
{
    const QString text = DecodedField(field);
    int numbers[3] = {-1, -1, -1};
    char kinds[3] = {};
    int count = 0;
    qsizetype i = 0;
    while (i < text.size() && count < 3) {
        const qsizetype start = i;
        while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 0x80)
            ++i;
        if (i == start || i - start > 4 || i >= text.size())
            return false;
        const char16_t unit = text.at(i).unicode();
        kinds[count] = unit == kYearUnits[0] || unit == kYearUnits[1] ? 'y'
            : unit == kMonthUnits[0] || unit == kMonthUnits[1]        ? 'm'
            : unit == kDayUnits[0] || unit == kDayUnits[1]            ? 'd'
                                                                      : 0;
        numbers[count++] = QStringView(text).mid(start, i - start).toInt();
        ++i;
    }
    if (i != text.size())
        return false;
    if (count == 3 && kinds[0] == 'y' && kinds[1] == 'm' && kinds[2] == 'd')
        date = QDate(numbers[0], numbers[1], numbers[2]);
    else if (count == 2 && kinds[0] == 'm' && kinds[1] == 'd' && numbers[0] <= 12 && numbers[1] <= 31)
        date = RecentDate(numbers[0], numbers[1], today);
    else
        return false;
    return date.isValid();
}

CListDate DateOnly(const QDate& date, int tokens)
{
    CListDate result;
    if (!date.isValid())
        return result;
    result.m_date = date;
    result.m_ePrecision = FTP_TIME_DAY;
    result.m_nTokens = tokens;
    return result;
}

// A date followed by an optional clock at field index.
CListDate WithClock(const QDate& date, const CListLine& line, qsizetype index, int tokens)
{
    CListDate result = DateOnly(date, tokens);
    if (result.m_nTokens && ReadClock(line.Token(index), result.m_time, result.m_ePrecision))
        ++result.m_nTokens;
    return result;
}

// After month and day: "21:22" (the year inferred), "2024", or
// "21:22:33 2024" as "ls --full-time" of old printed it.
CListDate TimeOrYear(int month, int day, const CListLine& line, qsizetype index, int tokens, const QDate& today)
{
    CListDate result;
    int year = 0;
    if (ReadClock(line.Token(index), result.m_time, result.m_ePrecision)) {
        if (result.m_ePrecision == FTP_TIME_SECOND && ReadYear(line.Token(index + 1), year)) {
            result.m_date = QDate(year, month, day);
            result.m_nTokens = tokens + 2;
        } else {
            result.m_date = RecentDate(month, day, today);
            result.m_nTokens = tokens + 1;
        }
    } else if (ReadYear(line.Token(index), year)) {
        return DateOnly(QDate(year, month, day), tokens + 1);
    }
    if (!result.m_date.isValid())
        return CListDate();
    return result;
}

} // namespace

CListLine::CListLine(const QString& text) : m_strText(text)
{
    qsizetype i = 0;
    while (i < text.size() && m_tokens.size() < kMaxTokens) {
        while (i < text.size() && text.at(i) == QLatin1Char(' '))
            ++i;
        if (i >= text.size())
            break;
        CToken token;
        token.m_nStart = i;
        while (i < text.size() && text.at(i) != QLatin1Char(' '))
            ++i;
        token.m_nEnd = i;
        m_tokens.append(token);
    }
}

QStringView CListLine::Token(qsizetype i) const
{
    if (i < 0 || i >= m_tokens.size())
        return QStringView();
    return QStringView(m_strText).mid(m_tokens[i].m_nStart, m_tokens[i].m_nEnd - m_tokens[i].m_nStart);
}

QString CListLine::After(qsizetype i, int skip) const
{
    qsizetype start = m_tokens.at(i).m_nEnd;
    for (int n = 0; n < skip && start < m_strText.size() && m_strText.at(start) == QLatin1Char(' '); ++n)
        ++start;
    return m_strText.mid(start);
}

QString DecodedField(QStringView field)
{
    bool ascii = true;
    for (QChar c : field)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return field.toString();
    QByteArray bytes(field.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < field.size(); ++i)
        bytes[i] = static_cast<char>(field.at(i).unicode() & 0xFF);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(bytes);
    return utf8.hasError() ? field.toString() : decoded;
}

bool IsDigits(QStringView text, int minLength, int maxLength)
{
    if (text.size() < minLength || text.size() > maxLength)
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

qint64 DecimalNumber(QStringView text)
{
    return IsDigits(text, 1, 18) ? text.toLongLong() : -1;
}

qint64 GroupedNumber(QStringView text)
{
    const qint64 plain = DecimalNumber(text);
    if (plain >= 0 || text.isEmpty())
        return plain;
    const QChar separator = text.contains(QLatin1Char(',')) ? QLatin1Char(',') : QLatin1Char('.');
    const QList<QStringView> groups = text.split(separator);
    QString digits;
    for (qsizetype i = 0; i < groups.size(); ++i) {
        if (!IsDigits(groups[i], i == 0 ? 1 : 3, 3))
            return -1;
        digits += groups[i];
    }
    return groups.size() > 1 ? DecimalNumber(digits) : -1;
}

int MonthNumber(QStringView field)
{
    QString name = DecodedField(field).toLower();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name.size() >= 2 && (name.back() == QChar(kMonthUnits[0]) || name.back() == QChar(kMonthUnits[1]))) {
        const QStringView digits = QStringView(name).chopped(1);
        const int month = IsDigits(digits, 1, 2) ? digits.toInt() : 0;
        return month <= 12 ? month : 0;
    }
    return MonthTable().value(name, 0);
}

bool ReadClock(QStringView field, QTime& time, EFtpTimePrecision& precision)
{
    int ampm = 0; // 1 AM, 2 PM
    if (field.size() > 2 && field.right(1).compare(QLatin1String("m"), Qt::CaseInsensitive) == 0) {
        const QChar which = field.at(field.size() - 2).toUpper();
        ampm = which == QLatin1Char('A') ? 1 : which == QLatin1Char('P') ? 2 : 0;
        if (!ampm)
            return false;
        field.chop(2);
    }
    const QList<QStringView> parts = field.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3 || !IsDigits(parts[0], 1, 2) || !IsDigits(parts[1], 2, 2))
        return false;
    int hour = parts[0].toInt();
    int second = 0;
    if (parts.size() == 3) {
        // Fractions of a second are dropped.
        const QStringView seconds = parts[2].left(2);
        const QStringView fraction = parts[2].mid(2);
        if (!IsDigits(seconds, 2, 2)
            || (!fraction.isEmpty() && (fraction[0] != QLatin1Char('.') || !IsDigits(fraction.mid(1), 1, 9))))
            return false;
        second = seconds.toInt();
    }
    if (ampm) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (ampm == 2 ? 12 : 0);
    }
    const QTime read(hour, parts[1].toInt(), second);
    if (!read.isValid())
        return false;
    time = read;
    precision = parts.size() == 3 ? FTP_TIME_SECOND : FTP_TIME_MINUTE;
    return true;
}

int FullYear(int year, int digits)
{
    if (digits != 2)
        return year;
    return year < 70 ? 2000 + year : 1900 + year;
}

bool ReadNumericDate(QStringView field, QDate& date)
{
    QChar separator;
    for (QChar candidate : {QLatin1Char('-'), QLatin1Char('/'), QLatin1Char('.')}) {
        if (field.count(candidate) == 2)
            separator = candidate;
    }
    if (separator.isNull())
        return false;
    const QList<QStringView> parts = field.split(separator);
    if (!IsDigits(parts[0], 1, 4) || !IsDigits(parts[1], 1, 2) || !IsDigits(parts[2], 1, 4))
        return false;
    const int a = parts[0].toInt();
    const int b = parts[1].toInt();
    const int c = parts[2].toInt();
    if (parts[0].size() == 4 || (parts[0].size() == 2 && a > 31 && parts[2].size() == 2)) {
        date = QDate(FullYear(a, int(parts[0].size())), b, c);
    } else if (parts[2].size() != 2 && parts[2].size() != 4) {
        return false;
    } else {
        const int year = FullYear(c, int(parts[2].size()));
        const bool dayFirst = separator == QLatin1Char('.') || a > 12;
        date = dayFirst ? QDate(year, b, a) : QDate(year, a, b);
    }
    return date.isValid();
}

CListDate ReadUnixDate(const CListLine& line, qsizetype index, const QDate& today)
{
    const QStringView first = line.Token(index);
    QDate date;
    // ISO, as "ls --time-style=long-iso" and "full-iso" print it, the
    // latter with the zone's offset.
    if (first.size() == 10 && IsDigits(first.left(4), 4, 4) && ReadNumericDate(first, date)) {
        CListDate result = WithClock(date, line, index + 1, 1);
        int offset = 0;
        if (result.m_nTokens == 2 && ReadZone(line.Token(index + 2), offset)) {
            const QDateTime utc = QDateTime(result.m_date, result.m_time, Qt::UTC).addSecs(-offset);
            result.m_date = utc.date();
            result.m_time = utc.time();
            result.m_bUtc = true;
            ++result.m_nTokens;
        }
        return result;
    }
    // "06-07 21:22": "ls --time-style=iso" for recent files.
    if (first.size() == 5 && first[2] == QLatin1Char('-') && IsDigits(first.left(2), 2, 2)
        && IsDigits(first.mid(3), 2, 2)) {
        CListDate result;
        if (ReadClock(line.Token(index + 1), result.m_time, result.m_ePrecision)) {
            result.m_date = RecentDate(first.left(2).toInt(), first.mid(3).toInt(), today);
            result.m_nTokens = result.m_date.isValid() ? 2 : 0;
        }
        return result;
    }
    if (ReadNumericDate(first, date) || ReadUnitDate(first, today, date))
        return WithClock(date, line, index + 1, 1);

    int month = MonthNumber(first);
    int day = 0;
    int year = 0;
    if (month && ReadDay(line.Token(index + 1), day))
        return TimeOrYear(month, day, line, index + 2, 2, today);
    if (ReadDay(first, day) && (month = MonthNumber(line.Token(index + 1))) != 0)
        return TimeOrYear(month, day, line, index + 2, 2, today);
    if (ReadYear(first, year) && (month = MonthNumber(line.Token(index + 1))) != 0
        && ReadDay(line.Token(index + 2), day))
        return WithClock(QDate(year, month, day), line, index + 3, 3);
    return CListDate();
}

void SetEntryTime(CFtpListEntry& entry, const CListDate& date)
{
    if (!date.m_date.isValid() || date.m_ePrecision == FTP_TIME_NONE)
        return;
    const QTime time = date.m_ePrecision == FTP_TIME_DAY ? QTime(0, 0) : date.m_time;
    entry.m_modified = QDateTime(date.m_date, time, Qt::UTC);
    entry.m_eTimePrecision = date.m_ePrecision;
    entry.m_bUtc = date.m_bUtc;
}
