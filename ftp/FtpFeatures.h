#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// What a server said about itself in its answer to FEAT.
struct CFtpFeatures
{
    bool m_bKnown = false; // FEAT was answered with 211
    bool m_bMlsd = false;  // machine-readable listings: MLST (and so MLSD)
    bool m_bUtf8 = false;  // "OPTS UTF8 ON" is understood
    QStringList m_names;   // every feature's name, upper case, in the order given
};

// Reads the lines of a FEAT reply, line ends kept, as the reply reader gives
// them: "211-Features:", one feature per line (" MLST type*;size*;"), then
// "211 End". Any other reply code means the server lists no features. A
// feature line is taken with or without its leading space; the name is its
// first word, compared without regard to case.
CFtpFeatures ParseFtpFeatures(const QList<QByteArray>& lines);
