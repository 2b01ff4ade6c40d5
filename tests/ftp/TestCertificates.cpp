#include "TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString kLoopbackNames = u"DNS:localhost,IP:127.0.0.1,IP:::1"_s;

bool Openssl(const QStringList& args, QString& problem, QByteArray* out = nullptr)
{
    QProcess openssl;
    openssl.start(u"openssl"_s, args);
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        problem = u"openssl %1 failed: %2"_s.arg(args.value(0), QString::fromLocal8Bit(openssl.readAllStandardError()));
        return false;
    }
    if (out)
        *out = openssl.readAllStandardOutput();
    return true;
}

// Where the certificate and its key go.
void NameFiles(const QString& folder, const QString& name, CTestCertificate& certificate)
{
    certificate.m_strCertificate = folder + u'/' + name + u".crt"_s;
    certificate.m_strKey = folder + u'/' + name + u".key"_s;
}

bool ReadFingerprint(CTestCertificate& certificate, QString& problem)
{
    QByteArray out;
    if (!Openssl({u"x509"_s, u"-in"_s, certificate.m_strCertificate, u"-noout"_s, u"-fingerprint"_s, u"-sha256"_s},
                 problem, &out))
        return false;
    // "sha256 Fingerprint=AB:CD:..."
    certificate.m_strFingerprint = QString::fromLatin1(out.mid(out.indexOf('=') + 1).trimmed());
    return true;
}

// The one key of every certificate of this program: an EC key costs
// milliseconds where a new RSA key per test cost a second or more.
const QString& SharedKey(QString& problem)
{
    static QTemporaryDir dir;
    static QString key;
    if (key.isEmpty() && dir.isValid()) {
        const QString file = dir.filePath(u"shared.key"_s);
        if (Openssl(
                {u"genpkey"_s, u"-algorithm"_s, u"EC"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:P-256"_s, u"-out"_s, file},
                problem))
            key = file;
    }
    return key;
}

} // namespace

QSslCertificate CTestCertificate::Load() const
{
    QFile file(m_strCertificate);
    return file.open(QIODevice::ReadOnly) ? QSslCertificate(file.readAll()) : QSslCertificate();
}

bool MakeSelfSignedCertificate(const QString& folder, const QString& name, CTestCertificate& certificate,
                               QString& problem, const QString& subject)
{
    NameFiles(folder, name, certificate);
    certificate.m_strKey = SharedKey(problem);
    return !certificate.m_strKey.isEmpty()
        && Openssl({u"req"_s, u"-x509"_s, u"-key"_s, certificate.m_strKey, u"-days"_s, u"2"_s, u"-subj"_s,
                    subject.isEmpty() ? u"/CN=localhost/O=Invented Survey Office "_s + name : subject, u"-addext"_s,
                    u"subjectAltName="_s + kLoopbackNames, u"-out"_s, certificate.m_strCertificate},
                   problem)
        && ReadFingerprint(certificate, problem);
}

bool MakeSignedCertificate(const QString& folder, const QString& name, const CTestCertificate& authority,
                           CTestCertificate& certificate, QString& problem, const QString& names)
{
    const QString request = folder + u'/' + name + u".csr"_s;
    const QString extensions = folder + u'/' + name + u".ext"_s;
    QFile file(extensions);
    if (!file.open(QIODevice::WriteOnly)
        || file.write((u"subjectAltName="_s + (names.isEmpty() ? kLoopbackNames : names) + u'\n').toUtf8()) < 0) {
        problem = u"cannot write %1"_s.arg(extensions);
        return false;
    }
    file.close();
    NameFiles(folder, name, certificate);
    certificate.m_strKey = SharedKey(problem);
    return !certificate.m_strKey.isEmpty()
        && Openssl(
            {u"req"_s, u"-new"_s, u"-key"_s, certificate.m_strKey, u"-subj"_s, u"/CN="_s + name, u"-out"_s, request},
            problem)
        && Openssl({u"x509"_s, u"-req"_s, u"-in"_s, request, u"-CA"_s, authority.m_strCertificate, u"-CAkey"_s,
                    authority.m_strKey, u"-CAcreateserial"_s, u"-days"_s, u"2"_s, u"-extfile"_s, extensions, u"-out"_s,
                    certificate.m_strCertificate},
                   problem)
        && ReadFingerprint(certificate, problem);
}
