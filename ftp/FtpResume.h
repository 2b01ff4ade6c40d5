#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct CFtpFeatures;

// When a transfer that broke (connection cut, server restarted) is tried
// again. With REST STREAM it goes on from the bytes already moved, after a
// pause of 1, 4, then 15 s while the attempts bring no new bytes: at most
// three such attempts in a row, and one that brought bytes starts the count
// again. Without REST STREAM the file is started over, once, after the
// first pause.
class CFtpResumePolicy
{
public:
    explicit CFtpResumePolicy(bool canResume) : m_bCanResume(canResume) {}

    // Called after each break with whether the attempt that broke moved new
    // bytes: the pause before the next attempt in ms, or -1 to give up.
    int NextPauseMs(bool progressed);
    // An upload's progress is what the server holds: after the new logon,
    // an attempt the client counted as progress that left the server with
    // nothing new counts as fruitless after all. False to give up.
    bool Confirm(bool serverGained);
    bool CanResume() const { return m_bCanResume; }
    // A break has happened: the transfer is on its second attempt or later.
    bool Retried() const { return m_bRetried; }

    static constexpr int kMaxFruitless = 3;
    static constexpr int kPausesMs[kMaxFruitless] = {1000, 4000, 15000};

private:
    bool m_bCanResume;
    bool m_bRetried = false; // an attempt after a break has run
    bool m_bCounted = false; // the attempt that broke last was itself one after a break
    int m_nFruitless = 0;    // attempts after a break in a row that moved nothing
    int m_nFruitlessBefore = 0;
};

// The closing reply of a transfer whose data connection the network cut
// ("426 Connection closed; transfer aborted"), as opposed to a refusal.
bool IsFtpBreakReply(const QString& reply);

// The checksums a server may compute over a file, strongest first.
enum class EFtpHash { NONE, SHA256, SHA1, MD5, CRC32 };

// How to ask the server for a file's checksum: "HASH" (after "OPTS HASH
// name" when the algorithm is not the one selected), else one of the
// older commands XSHA256, XSHA1, XMD5, XCRC.
struct CFtpHashCommand
{
    EFtpHash m_eHash = EFtpHash::NONE;
    QString m_strName;    // "SHA-256", "XCRC": for messages
    QString m_strSelect;  // "OPTS HASH SHA-256", or empty
    QString m_strCommand; // "HASH", "XSHA256", ...
};

// The strongest checksum the features offer; m_eHash NONE when none.
CFtpHashCommand ChooseFtpHash(const CFtpFeatures& features);

// The digest in a reply to the hash command, as lower-case hex: "213
// SHA-256 0-4095 <hex> name" to HASH, "250 <hex>" or "213 <hex>" (a name may
// follow) to the older commands. False unless the reply is a 2xx of
// bounded length whose digest is hex of exactly the algorithm's length.
bool ParseFtpHashReply(const QString& reply, const CFtpHashCommand& command, QByteArray& hex);

// The size fact of a reply to MLST: "250-Listing name", " size=12;type=file; name", "250 End".
bool ParseFtpMlstSize(const QList<QByteArray>& lines, qint64& size);

// The IEEE CRC-32 of data, continued from crc (0 to start).
quint32 FtpCrc32(quint32 crc, const char* data, qsizetype size);
