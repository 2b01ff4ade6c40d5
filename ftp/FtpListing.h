#pragma once

#include "FtpFeatures.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

// How much of an entry's modification time the listing gave.
enum EFtpTimePrecision { FTP_TIME_NONE, FTP_TIME_DAY, FTP_TIME_MINUTE, FTP_TIME_SECOND };

// One entry of a folder listing, from LIST or MLSD alike. Names keep the
// server's bytes, one character per byte.
struct CFtpListEntry
{
    QString m_strName;
    bool m_bFolder = false;
    // A symbolic link: never a folder, since links are not followed.
    bool m_bLink = false;
    QString m_strLinkTarget; // as listed; empty when not said
    // Bytes; -1 when the listing does not say. VMS lists 512-byte blocks,
    // so its sizes are the blocks used times 512.
    qint64 m_nSize = -1;
    // Invalid when the listing does not say. Held as Qt::UTC so
    // that no zone rule shifts it; m_bUtc tells whether it is UTC (MLSD,
    // EPLF, a listed offset) or the server's own clock, whose zone is unknown.
    QDateTime m_modified;
    EFtpTimePrecision m_eTimePrecision = FTP_TIME_NONE;
    bool m_bUtc = false;
};

// What the parsers know beyond a line.
struct CFtpListContext
{
    EFtpSystem m_eSystem = FTP_SYSTEM_UNKNOWN; // from SYST
    // "Jun  7 21:22" names no year: it is the last such date not after this
    // day (a day of grace for zones). Invalid: the current date.
    QDate m_today;
};

enum EFtpLine {
    FTP_LINE_ENTRY,  // the line gave an entry
    FTP_LINE_NONE,   // the line holds no entry: blank, "total", a heading, folder "." or ".."
    FTP_LINE_UNREAD, // no rule understood the line: it is left out, never guessed at
};

// Parses one LIST line (line end removed, each character one byte) of the
// families met in practice, each judged by the whole line: Unix "ls -l" and
// its variants (dates in many languages and shapes, no group, no date,
// devices, links with targets), Windows/IIS, VMS, z/OS data sets and
// members, OS/2, EPLF, NetWare, IBM i, VxWorks and MLSD facts. The context's
// system decides where a line alone cannot (z/OS members).
EFtpLine ParseFtpListLine(const QString& line, const CFtpListContext& context, CFtpListEntry& entry);

// The entries of a LIST reply in listing order. Every CR and every LF ends a
// line; text after the last line end is not a complete line and is dropped.
// Each byte is one character of the same value. On a VMS server a name
// alone on its line continues on the next; older versions of a VMS file are
// left out. Lines that no rule understood are counted in *unread.
QList<CFtpListEntry> ParseFtpListing(const QByteArray& listing, const CFtpListContext& context = {},
                                     int* unread = nullptr);

// Parses one MLSD line (line end removed): facts "name=value;" up to the
// first space, then the name exactly as sent, spaces and ";" included, each
// byte one character. Fact names and type values are compared without regard
// to case. "type=dir" is a folder; "OS.unix=slink:target" and
// "OS.unix=symlink" are links; "cdir", "pdir", folders "." and "..", and
// lines without the space give false; any other type and a missing type give
// a file. "size=" gives the size when it is a plain decimal number, "modify="
// the time (UTC) when it is a valid YYYYMMDDHHMMSS[.sss].
bool ParseFtpMlsdLine(const QByteArray& line, CFtpListEntry& entry);

// The entries of an MLSD reply in listing order. Lines end at LF, with a CR
// before it removed; a CR anywhere else stays in the name. Text after the
// last LF is not a complete line and is dropped. Lines that are no entry and
// no "cdir" or "pdir" are counted in *unread.
QList<CFtpListEntry> ParseFtpMlsdListing(const QByteArray& listing, int* unread = nullptr);

// The modification time in ISO 8601 to the precision listed
// ("2024-06-07", "2024-06-07T21:22", "2024-06-07T21:22:33Z" for UTC); empty
// when not known.
QString FtpEntryTimeText(const CFtpListEntry& entry);
