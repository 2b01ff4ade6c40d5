#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The server families whose listings look alike line by line but differ in
// what a line means; SYST tells them apart.
enum EFtpSystem {
    FTP_SYSTEM_UNKNOWN,
    FTP_SYSTEM_UNIX,
    FTP_SYSTEM_WINDOWS,
    FTP_SYSTEM_VMS,
    FTP_SYSTEM_MVS, // z/OS
    FTP_SYSTEM_OS400,
    FTP_SYSTEM_OS2,
    FTP_SYSTEM_NETWARE,
};

// What a server said about itself in its answers to FEAT and SYST.
struct CFtpFeatures
{
    bool m_bKnown = false;      // FEAT was answered with 211
    bool m_bMlsd = false;       // machine-readable listings: MLST (and so MLSD)
    bool m_bUtf8 = false;       // "OPTS UTF8 ON" is understood
    bool m_bRestStream = false; // "REST STREAM": a transfer can go on from a byte offset
    // The algorithms of the HASH feature ("SHA-256", "MD5"), upper case,
    // the known ones only; m_strHashSelected is the one marked with "*".
    QStringList m_hashes;
    QString m_strHashSelected;
    QStringList m_names; // every feature's name, upper case, in the order given
    EFtpSystem m_eSystem = FTP_SYSTEM_UNKNOWN;
    QString m_strSystem; // the SYST answer's text, printable ASCII only, at most kMaxSystemText characters

    static constexpr int kMaxSystemText = 80;
};

// Reads the lines of a FEAT reply, line ends kept, as the reply reader gives
// them: "211-Features:", one feature per line (" MLST type*;size*;"), then
// "211 End". Any other reply code means the server lists no features. A
// feature line is taken with or without its leading space; the name is its
// first word, compared without regard to case.
CFtpFeatures ParseFtpFeatures(const QList<QByteArray>& lines);

// Reads the last line of a SYST reply ("215 UNIX Type: L8") into
// m_eSystem and m_strSystem. Any reply but 215 leaves the system unknown and
// the text empty; so does a 215 that names no system known here, except for
// the text.
void ParseFtpSystem(const QString& reply, CFtpFeatures& features);
