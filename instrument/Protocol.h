#pragma once

#include "InstrumentTables.h"

#include <QString>
#include <QStringList>

#include <optional>

// Pure parts of the instrument protocol: reply tests, row parsing, names.
namespace Protocol {

// Kind codes of the instrument's items (shared with the tree's node data).
enum EKind : int {
    KIND_FIXPOINTS = 0x40,
    KIND_MEASUREMENTS = 0x80,
    KIND_FORMAT = 0x200,
    KIND_JOB = 0x8000,
    KIND_CODE_LIST = 0x10000,
};

// The framing's limits: a command line holds at most 509 characters (512
// with CR LF and the terminating zero of the original buffer); commands
// formatted with a name or number at most 99.
constexpr int kMaxCommand = 509;
constexpr int kMaxFormattedCommand = 99;
// Byte the instrument sends alone while it is busy.
constexpr char16_t kBusy = 0x16;
// End of a format file.
constexpr char16_t kEndOfFile = 0x1A;
// The wake-up call that begins most conversations, and the poll that asks
// for the next line of a list or of received data.
constexpr QLatin1String kWake("c");
constexpr QLatin1String kPoll("?");
// Attempts of the format selection and of the naming commands.
constexpr int kAttempts = 10;
// Bounds of one listing. An instrument holds far fewer entries of a kind
// than kMaxListRows; with the 100 ms pause before each row that many rows
// take at least 200 s, so at usual line speeds the row bound comes first and
// the time bound catches an instrument that trickles its rows.
constexpr int kMaxListRows = 2000;
constexpr int kMaxListMs = 5 * 60 * 1000;
// Bounds of one receive. Data lines are a few hundred characters; a line
// still without its end after kMaxReceiveLine bytes is not data. A whole
// instrument memory arrives well within kMaxReceiveMs even at slow speeds.
constexpr int kMaxReceiveLine = 64 * 1024;
constexpr int kMaxReceiveMs = 2 * 60 * 60 * 1000;

// Reads a number the way wcstol does: leading white space, optional sign,
// digits up to the first other character; 0 without digits. Clamped to 32 bits.
qint32 ReadNumber(const QString& text);

// Rows as the listings send them: "name,number,fix,meas" (jobs),
// "name,number,value1,value2" (formats), "name,number,count" (code lists).
// The line may keep its CR LF. A missing name gives "empty" and flag 1.
CJobInfo ParseJobRow(const QString& line);
CFormatInfo ParseFormatRow(const QString& line);
CCodeListInfo ParseCodeListRow(const QString& line);

// Trims blanks, tabs, CR and LF at both ends.
QString TrimLine(const QString& line);

// Reply tests on the reply as read (with its terminator).
bool IsRefusal(const QString& reply);      // begins with "@W"
bool IsReceiveError(const QString& reply); // begins with "@W1" or "@E1"
bool IsBusy(const QString& reply);         // exactly the byte 0x16
bool IsListEnd(const QString& reply);      // exactly "?" or empty

// The name in a reply to "%R1Q,5004:". nullopt: the reply is not of that
// kind (the name stays as it is). Otherwise ok tells whether the instrument
// gave a name; name is the text between the first and the last double quote.
struct CIdentifyReply
{
    bool m_bOk = false;
    QString m_strName;
};
std::optional<CIdentifyReply> ParseIdentifyReply(const QString& reply);

// The name of a source file without its folders (after the last "\" or "/"
// unless that is the first character) and without its extension (cut at the
// last "." unless that is the first character).
QString BaseName(const QString& source);
// The extension test of the send operations: the last three characters in upper case.
QString FileType(const QString& source);
// The name proposed for a new job or code list: BaseName(source), or the
// fallback (e.g. "MyJob7") when that equals one of the existing names exactly.
QString ProposeName(const QString& source, const QStringList& existingNames, const QString& fallback);

// A name that may go into a command: not empty, and no character that goes
// out (as its low 8 bits) as "/" or a control byte such as CR or LF.
bool IsSendableName(const QString& name);
// The position of the first character above U+00FF that would go out as a
// control byte (its low 8 bits below 0x20: CR, LF, 0x16, 0x1A ...), -1 when
// there is none. Such a character would end or split the command on the wire.
int UnsendableCharacter(const QString& text);
// A file name proposed from an instrument name: "/" and "\" become "_", runs
// of "." shrink to one, so it never leaves the chosen folder.
QString SafeFileName(const QString& instrumentName);
// A file name that stays inside its folder: not empty, no "/" or "\", not
// "." or "..", no control characters.
bool IsSafeFileName(const QString& name);

} // namespace Protocol
