#pragma once

#include "FtpListing.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Small pure pieces of the SFTP link, kept apart from libssh2's session so
// that they can be tested with real values.

// A server as the command line names it: "sftp://host[:port]" selects SFTP
// (port 22 unless named), "ftp://host[:port]" and a bare "host[:port]" FTP
// (port 21), unless sftp is already true for a bare name (the profile's
// Protocol). False for a port that is not a number in 1..65535, an empty host
// or another scheme.
bool SplitServerUrl(const QString& server, bool& sftp, QString& host, int& port);

// A SHA-256 host key hash as OpenSSH prints it: "SHA256:" and the unpadded
// base64 of the 32 bytes.
QString SftpFingerprint(const QByteArray& sha256);
// A fingerprint as a user types it ("SHA256:..." or the base64 alone, with
// or without "=" padding) in the form of SftpFingerprint; empty when it is
// not 32 bytes of base64.
QString NormalizeSftpFingerprint(const QString& typed);

// The host key type as OpenSSH names it ("ssh-ed25519"), from libssh2's
// LIBSSH2_HOSTKEY_TYPE_*; "unknown" for any other.
QString SftpHostKeyTypeName(int type);
// The LIBSSH2_KNOWNHOST_KEY_* bit of a LIBSSH2_HOSTKEY_TYPE_*; 0 for a type
// known_hosts cannot hold.
int SftpKnownHostKeyBit(int type);
// The name known_hosts files a server under: "host" on port 22,
// "[host]:port" on any other.
QString SftpKnownHostName(const QString& host, int port);

// The key types known_hosts lists for a server (name as SftpKnownHostName
// gives it), in the order of the file: plain names and names hashed as
// OpenSSH hashes them ("|1|salt|hash"); markers ("@revoked") and patterns
// are left out.
QStringList KnownHostKeyTypes(const QByteArray& knownHosts, const QString& name);
// The host key algorithms to offer, most wanted first: those of the known
// key types, then the rest of OpenSSH's order.
QString SftpHostKeyMethods(const QStringList& knownTypes);

// Each name of a remote path (see CRemotePath) may go on the wire only when
// it is a plain name (IsSafeFtpName) without control bytes (below 0x20 and
// 0x7F, judged by the low 8 bits sent): none names another folder, none
// reaches a terminal or a log as a command.
bool IsSafeSftpName(const QString& name);
bool IsSafeSftpPath(const QStringList& names);

// A listing entry from the attributes of SSH_FXP_NAME. flags are
// LIBSSH2_SFTP_ATTR_*; what they leave out stays unknown. A symbolic link
// is never a folder; its target is read separately. The time is the
// server's UTC time in seconds.
CFtpListEntry SftpListEntry(const QByteArray& name, unsigned long flags, unsigned long permissions, quint64 size,
                            quint64 mtime);
