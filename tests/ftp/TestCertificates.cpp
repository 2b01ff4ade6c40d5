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

// A certificate with the shared key for the names ("DNS:host,IP:address"),
// signed by authority or, without one, by itself.
bool MakeCertificate(const QString& folder, const QString& name, const CTestCertificate* authority,
                     const QString& subject, const QString& names, CTestCertificate& certificate, QString& problem)
{
    certificate.m_strCertificate = folder + u'/' + name + u".crt"_s;
    certificate.m_strKey = SharedKey(problem);
    QStringList args{
        u"req"_s,   u"-x509"_s, u"-key"_s,    certificate.m_strKey,         u"-days"_s, u"2"_s,
        u"-subj"_s, subject,    u"-addext"_s, u"subjectAltName="_s + names, u"-out"_s,  certificate.m_strCertificate};
    if (authority)
        args << u"-CA"_s << authority->m_strCertificate << u"-CAkey"_s << authority->m_strKey;
    return !certificate.m_strKey.isEmpty() && Openssl(args, problem) && ReadFingerprint(certificate, problem);
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
    return MakeCertificate(folder, name, nullptr,
                           subject.isEmpty() ? u"/CN=localhost/O=Invented Survey Office "_s + name : subject,
                           kLoopbackNames, certificate, problem);
}

bool MakeSignedCertificate(const QString& folder, const QString& name, const CTestCertificate& authority,
                           CTestCertificate& certificate, QString& problem, const QString& names)
{
    return MakeCertificate(folder, name, &authority, u"/CN="_s + name, names.isEmpty() ? kLoopbackNames : names,
                           certificate, problem);
}
