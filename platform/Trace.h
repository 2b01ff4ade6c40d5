#pragma once

#include <QByteArrayView>
#include <QString>

// The wire trace: every line sent to and received from the instrument and
// every FTP command and reply, for a user to send in when their instrument or
// server does not answer. The core reports through the static functions; a
// sink installed with CServices::SetTrace() writes the records (the default
// sink drops them, so nothing is traced unless asked). Records carry no time:
// the sink stamps them.
class CTrace
{
public:
    virtual ~CTrace() = default;
    // False keeps the core from composing records nobody keeps.
    virtual bool IsOn() const { return false; }
    // One record: a channel mark, a direction and the escaped bytes.
    virtual void Record(const QString&) {}

    // The bytes as printable ASCII; every other byte, and the backslash that
    // would make the escapes ambiguous, as \xNN.
    static QString Escape(QByteArrayView bytes);
    // An FTP command as it may be shown: the argument of PASS and ACCT
    // replaced by "****". No other logon command carries a password.
    static QString MaskFtpCommand(QByteArrayView line);

    static void SerialSent(QByteArrayView bytes);
    static void SerialReceived(QByteArrayView bytes, bool timedOut);
    static void FtpSent(QByteArrayView line);
    static void FtpReceived(QByteArrayView line);
    // A note of what happened beside the wire (a port that would not open).
    static void Note(const QString& text);
};
