#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One entry of a folder listing (LIST or MLSD).
struct CFtpListEntry
{
    QString m_strName;
    bool m_bFolder = false;
    qint64 m_nSize = -1; // -1 when the listing does not say
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

// Parses one MLSD line (line end removed): facts "name=value;" up to the
// first space, then the name exactly as sent, spaces and ";" included, each
// byte one character. Fact names and type values are compared without regard
// to case. "type=dir" is a folder; "cdir", "pdir", folders "." and "..", and
// lines without the space give false; any other type (file, links, devices) and a missing type give a
// file. "size=" gives the size when it is a plain decimal number.
bool ParseFtpMlsdLine(const QByteArray& line, CFtpListEntry& entry);

// The entries of an MLSD reply in listing order. Lines end at LF, with a CR
// before it removed; a CR anywhere else stays in the name. Text after the
// last LF is not a complete line and is dropped.
QList<CFtpListEntry> ParseFtpMlsdListing(const QByteArray& listing);
