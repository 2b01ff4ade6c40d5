#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One entry of a LIST reply.
struct CFtpListEntry
{
    QString m_strName;
    bool m_bFolder = false;
};

// Parses one LIST line by its fields: the Unix long format (names with
// spaces, symbolic links "name -> target" give the name), then the DOS/IIS
// format ("<DIR>" marks folders), and only for a line that fits neither the
// old fixed-column rule (55 characters or more, name at column 54 or 59).
// "total" lines and lines that yield no name give false; so do folder
// entries "." and "..".
bool ParseFtpListLine(const QString& line, CFtpListEntry& entry);

// The entries of a LIST reply in listing order. Every CR and every LF ends a
// line; text after the last line end is not a complete line and is dropped.
// Each byte is one character of the same value.
QList<CFtpListEntry> ParseFtpListing(const QByteArray& listing);

// The old fixed-column name rule, kept as the last fallback: an empty string
// for a line shorter than 55 characters.
QString FixedColumnFtpName(const QString& line);
