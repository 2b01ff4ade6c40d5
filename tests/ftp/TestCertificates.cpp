#include "TestCertificates.h"

#include <QFile>
#include <QProcess>

namespace {

const char* const kLoopbackNames = "DNS:localhost,IP:127.0.0.1,IP:::1";

bool Openssl(const QStringList& args, QString& problem, QByteArray* out = nullptr)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), args);
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        problem = QStringLiteral("openssl %1 failed: %2")
                      .arg(args.value(0), QString::fromLocal8Bit(openssl.readAllStandardError()));
        return false;
    }
    if (out)
        *out = openssl.readAllStandardOutput();
    return true;
}

bool ReadFingerprint(CTestCertificate& certificate, QString& problem)
{
    QByteArray out;
    if (!Openssl({QStringLiteral("x509"), QStringLiteral("-in"), certificate.m_strCertificate, QStringLiteral("-noout"),
                  QStringLiteral("-fingerprint"), QStringLiteral("-sha256")},
                 problem, &out))
        return false;
    // "sha256 Fingerprint=AB:CD:..."
    certificate.m_strFingerprint = QString::fromLatin1(out.mid(out.indexOf('=') + 1).trimmed());
    return true;
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
    certificate.m_strCertificate = folder + QLatin1Char('/') + name + QStringLiteral(".crt");
    certificate.m_strKey = folder + QLatin1Char('/') + name + QStringLiteral(".key");
    return Openssl(
               {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                subject.isEmpty() ? QStringLiteral("/CN=localhost/O=Invented Survey Office ") + name : subject,
                QStringLiteral("-addext"), QStringLiteral("subjectAltName=") + QLatin1String(kLoopbackNames),
                QStringLiteral("-keyout"), certificate.m_strKey, QStringLiteral("-out"), certificate.m_strCertificate},
               problem)
        && ReadFingerprint(certificate, problem);
}

bool MakeSignedCertificate(const QString& folder, const QString& name, const CTestCertificate& authority,
                           CTestCertificate& certificate, QString& problem, const QString& names)
{
    const QString request = folder + QLatin1Char('/') + name + QStringLiteral(".csr");
    const QString extensions = folder + QLatin1Char('/') + name + QStringLiteral(".ext");
    QFile file(extensions);
    const QString line =
        QStringLiteral("subjectAltName=") + (names.isEmpty() ? QLatin1String(kLoopbackNames) : names) + u'\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(line.toUtf8()) < 0) {
        problem = QStringLiteral("cannot write %1").arg(extensions);
        return false;
    }
    file.close();
    certificate.m_strCertificate = folder + QLatin1Char('/') + name + QStringLiteral(".crt");
    certificate.m_strKey = folder + QLatin1Char('/') + name + QStringLiteral(".key");
    return Openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                    QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=") + name,
                    QStringLiteral("-keyout"), certificate.m_strKey, QStringLiteral("-out"), request},
                   problem)
        && Openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request,
                    QStringLiteral("-CA"), authority.m_strCertificate, QStringLiteral("-CAkey"), authority.m_strKey,
                    QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"),
                    QStringLiteral("-extfile"), extensions, QStringLiteral("-out"), certificate.m_strCertificate},
                   problem)
        && ReadFingerprint(certificate, problem);
}
