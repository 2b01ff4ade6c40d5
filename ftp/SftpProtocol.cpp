#include "SftpProtocol.h"

#include "FtpProtocol.h"

#include "platform/Bytes.h"

#include <QMessageAuthenticationCode>

#include <libssh2.h>
#include <libssh2_sftp.h>

#include <algorithm>
#include <iterator>
#include <limits>

namespace {

constexpr int kSha256Bytes = 32;

// OpenSSH's own order of host key algorithms, so that the key the server
// shows is the one OpenSSH would have remembered for it.
const char* const kHostKeyMethods[] = {
    "ssh-ed25519", "ecdsa-sha2-nistp256", "ecdsa-sha2-nistp384", "ecdsa-sha2-nistp521", "rsa-sha2-512", "rsa-sha2-256",
    "ssh-rsa"};

bool MatchesHost(const QByteArray& field, const QByteArray& name)
{
    if (field.startsWith("|1|")) {
        const QList<QByteArray> parts = field.split('|');
        return parts.size() == 4
            && QMessageAuthenticationCode::hash(name, QByteArray::fromBase64(parts[2]), QCryptographicHash::Sha1)
            == QByteArray::fromBase64(parts[3]);
    }
    for (const QByteArray& pattern : field.split(',')) {
        if (pattern.toLower() == name.toLower())
            return true;
    }
    return false;
}

} // namespace

bool SplitServerUrl(const QString& server, bool& sftp, QString& host, int& port)
{
    QString rest = server.trimmed();
    const qsizetype scheme = rest.indexOf(QLatin1String("://"));
    if (scheme >= 0) {
        const QString name = rest.left(scheme).toLower();
        if (name != QLatin1String("sftp") && name != QLatin1String("ftp"))
            return false;
        sftp = name == QLatin1String("sftp");
        rest = rest.mid(scheme + 3);
        // "sftp://host/" names the same server.
        if (rest.endsWith(QLatin1Char('/')))
            rest.chop(1);
    }
    return SplitFtpServerName(rest, host, port, sftp ? 22 : 21) && !host.isEmpty();
}

QString SftpFingerprint(const QByteArray& sha256)
{
    return QStringLiteral("SHA256:")
        + QString::fromLatin1(sha256.toBase64(QByteArray::Base64Encoding | QByteArray::OmitTrailingEquals));
}

QString NormalizeSftpFingerprint(const QString& typed)
{
    QString text = typed.trimmed();
    if (text.startsWith(QLatin1String("SHA256:"), Qt::CaseInsensitive))
        text = text.mid(7);
    while (text.endsWith(QLatin1Char('=')))
        text.chop(1);
    const QByteArray base64 = text.toLatin1();
    if (text.size() != 43 || base64.size() != text.size())
        return QString();
    const auto decoded =
        QByteArray::fromBase64Encoding(base64, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != kSha256Bytes)
        return QString();
    return SftpFingerprint(decoded.decoded);
}

QString SftpHostKeyTypeName(int type)
{
    switch (type) {
    case LIBSSH2_HOSTKEY_TYPE_RSA:
        return QStringLiteral("ssh-rsa");
    case LIBSSH2_HOSTKEY_TYPE_DSS:
        return QStringLiteral("ssh-dss");
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_256:
        return QStringLiteral("ecdsa-sha2-nistp256");
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_384:
        return QStringLiteral("ecdsa-sha2-nistp384");
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_521:
        return QStringLiteral("ecdsa-sha2-nistp521");
    case LIBSSH2_HOSTKEY_TYPE_ED25519:
        return QStringLiteral("ssh-ed25519");
    }
    return QStringLiteral("unknown");
}

int SftpKnownHostKeyBit(int type)
{
    switch (type) {
    case LIBSSH2_HOSTKEY_TYPE_RSA:
        return LIBSSH2_KNOWNHOST_KEY_SSHRSA;
    case LIBSSH2_HOSTKEY_TYPE_DSS:
        return LIBSSH2_KNOWNHOST_KEY_SSHDSS;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_256:
        return LIBSSH2_KNOWNHOST_KEY_ECDSA_256;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_384:
        return LIBSSH2_KNOWNHOST_KEY_ECDSA_384;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_521:
        return LIBSSH2_KNOWNHOST_KEY_ECDSA_521;
    case LIBSSH2_HOSTKEY_TYPE_ED25519:
        return LIBSSH2_KNOWNHOST_KEY_ED25519;
    }
    return 0;
}

QString SftpKnownHostName(const QString& host, int port)
{
    return port == 22 ? host : QStringLiteral("[%1]:%2").arg(host).arg(port);
}

QStringList KnownHostKeyTypes(const QByteArray& knownHosts, const QString& name)
{
    QStringList types;
    const QByteArray host = ToBytes(name);
    for (const QByteArray& line : knownHosts.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3 || fields[0].startsWith('#') || fields[0].startsWith('@')
            || !MatchesHost(fields[0], host))
            continue;
        const QString type = QString::fromLatin1(fields[1]);
        if (!types.contains(type))
            types.append(type);
    }
    return types;
}

QString SftpHostKeyMethods(const QStringList& knownTypes)
{
    QStringList methods;
    for (const QString& type : knownTypes) {
        // An RSA key signs with SHA-2 where the server can.
        const QStringList forType = type == QLatin1String("ssh-rsa")
            ? QStringList{QStringLiteral("rsa-sha2-512"), QStringLiteral("rsa-sha2-256"), type}
            : QStringList{type};
        for (const QString& method : forType) {
            if (!methods.contains(method)
                && std::find_if(std::begin(kHostKeyMethods), std::end(kHostKeyMethods),
                                [&](const char* known) { return method == QLatin1String(known); })
                    != std::end(kHostKeyMethods))
                methods.append(method);
        }
    }
    for (const char* method : kHostKeyMethods) {
        if (!methods.contains(QLatin1String(method)))
            methods.append(QLatin1String(method));
    }
    return methods.join(QLatin1Char(','));
}

bool IsSafeSftpName(const QString& name)
{
    if (!IsSafeFtpName(name))
        return false;
    for (const char c : ToBytes(name)) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

bool IsSafeSftpPath(const QStringList& names)
{
    for (const QString& name : names) {
        if (!IsSafeSftpName(name))
            return false;
    }
    return true;
}

CFtpListEntry SftpListEntry(const QByteArray& name, unsigned long flags, unsigned long permissions, quint64 size,
                            quint64 mtime)
{
    CFtpListEntry entry;
    entry.m_strName = FromBytes(name);
    if (flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) {
        entry.m_bLink = LIBSSH2_SFTP_S_ISLNK(permissions);
        entry.m_bFolder = LIBSSH2_SFTP_S_ISDIR(permissions);
    }
    // A size beyond qint64 is no size anyone has.
    if ((flags & LIBSSH2_SFTP_ATTR_SIZE) && size <= quint64(std::numeric_limits<qint64>::max()))
        entry.m_nSize = static_cast<qint64>(size);
    if ((flags & LIBSSH2_SFTP_ATTR_ACMODTIME) && mtime <= quint64(253402300799)) {
        entry.m_modified = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(mtime), Qt::UTC);
        entry.m_eTimePrecision = FTP_TIME_SECOND;
        entry.m_bUtc = true;
    }
    return entry;
}
