#pragma once

// The pieces of the LIST parser, one group of server families per source
// (ListingParser*.cpp), with the date and token readers they share
// (ListingDates.cpp). FtpListing.cpp picks among them.

#include "FtpListing.h"

#include <QList>
#include <QString>
#include <QStringView>

// A listing line split at runs of blanks, with each field's place kept so
// that a name is taken from the line itself with its blanks intact.
class CListLine
{
public:
    explicit CListLine(const QString& text);

    const QString& Text() const { return m_strText; }
    qsizetype Count() const { return m_tokens.size(); }
    // Empty beyond the last field.
    QStringView Token(qsizetype i) const;
    qsizetype Start(qsizetype i) const { return m_tokens.at(i).m_nStart; }
    qsizetype End(qsizetype i) const { return m_tokens.at(i).m_nEnd; }
    // The text after field i, without the first `skip` blanks at most.
    QString After(qsizetype i, int skip) const;

    // Fields beyond this are part of a name and never read as fields.
    static constexpr int kMaxTokens = 16;
    // For After: every blank, where a family pads before its names.
    static constexpr int kAllBlanks = 1 << 30;

private:
    struct CToken
    {
        qsizetype m_nStart = 0;
        qsizetype m_nEnd = 0; // one past the last character
    };
    QString m_strText;
    QList<CToken> m_tokens;
};

// A date and time read from one or more fields.
struct CListDate
{
    QDate m_date;
    QTime m_time;
    EFtpTimePrecision m_ePrecision = FTP_TIME_NONE;
    bool m_bUtc = false;
    int m_nTokens = 0; // fields taken; 0 when none was a date
};

// Shared readers. Each field is read as the bytes it holds: UTF-8 where
// they are valid UTF-8, Latin-1 otherwise.
QString DecodedField(QStringView field);
bool IsDigits(QStringView text, int minLength, int maxLength);
// A plain decimal number of at most 18 digits; -1 otherwise.
qint64 DecimalNumber(QStringView text);
// "1,234,567" or "1.234.567" as well as "1234567"; -1 otherwise.
qint64 GroupedNumber(QStringView text);
// 1..12 for a month's name or abbreviation in the languages met in
// listings (a trailing "." allowed) or "6月" / "6월"; 0 otherwise.
int MonthNumber(QStringView field);
// "21:22", "21:22:33", "21:22:33.45", "09:15PM".
bool ReadClock(QStringView field, QTime& time, EFtpTimePrecision& precision);
// Two-digit years are 1970..2069.
int FullYear(int year, int digits);
// A date of the Unix families starting at field index: month and day in
// either order with a time or a year, ISO and numeric dates, dates with
// the units of Chinese, Japanese and Korean. m_nTokens 0 when none.
CListDate ReadUnixDate(const CListLine& line, qsizetype index, const QDate& today);
// "06-07-24", "06/07/2024", "07.06.2024", "2024-06-07", "24/06/07" (year
// first only with four digits, or a first number above 31). Month first
// unless the first number cannot be a month or "." separates.
bool ReadNumericDate(QStringView field, QDate& date);
void SetEntryTime(CFtpListEntry& entry, const CListDate& date);

// The families. Each gives FTP_LINE_UNREAD for a line that is not its own.
EFtpLine ParseUnixLine(const CListLine& line, const CFtpListContext& context, CFtpListEntry& entry);
EFtpLine ParseNetWareLine(const CListLine& line, const CFtpListContext& context, CFtpListEntry& entry);
EFtpLine ParseDosLine(const CListLine& line, CFtpListEntry& entry);
EFtpLine ParseOs2Line(const CListLine& line, CFtpListEntry& entry);
EFtpLine ParseVxWorksLine(const CListLine& line, CFtpListEntry& entry);
EFtpLine ParseVmsLine(const CListLine& line, CFtpListEntry& entry);
EFtpLine ParseMvsLine(const CListLine& line, const CFtpListContext& context, CFtpListEntry& entry);
EFtpLine ParseOs400Line(const CListLine& line, CFtpListEntry& entry);
EFtpLine ParseEplfLine(const QString& line, CFtpListEntry& entry);
EFtpLine ParseFactsLine(const QString& line, CFtpListEntry& entry);
// A VMS file name with its version ("DATA.TXT;3") alone on its line.
bool IsVmsNameAlone(const CListLine& line);
