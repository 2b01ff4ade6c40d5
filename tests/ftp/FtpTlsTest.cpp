#include "TestCertificates.h"

#include "ftp/FtpTls.h"

#include <gtest/gtest.h>

#include "support/CiSkip.h"

#include <QSslError>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString kFingerprint =
    u"AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89"_s;

} // namespace

TEST(FtpTls, EncryptionWordsAndFingerprints)
{
    for (EFtpEncryption encryption : {FTP_TLS_AUTO, FTP_TLS_REQUIRE, FTP_TLS_OFF}) {
        EFtpEncryption parsed = encryption == FTP_TLS_OFF ? FTP_TLS_AUTO : FTP_TLS_OFF;
        EXPECT_TRUE(ParseFtpEncryption(FtpEncryptionName(encryption), parsed));
        EXPECT_EQ(parsed, encryption);
    }
    EFtpEncryption left = FTP_TLS_OFF;
    EXPECT_TRUE(ParseFtpEncryption(u" Require "_s, left));
    EXPECT_EQ(left, FTP_TLS_REQUIRE);
    for (const QString& word : {u""_s, u"required"_s, u"tls"_s, u"on"_s}) {
        EXPECT_FALSE(ParseFtpEncryption(word, left)) << qPrintable(word);
        EXPECT_EQ(left, FTP_TLS_REQUIRE);
    }

    // What a user may paste: openssl's form, plain hex, ssh's "SHA256:" habit.
    const std::pair<QString, QString> cases[] = {
        {kFingerprint, kFingerprint},
        {u"abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789"_s, kFingerprint},
        {u"SHA256:"_s + kFingerprint, kFingerprint},
        {u"sha-256: AB CD EF 01 23 45 67 89 AB CD EF 01 23 45 67 89 AB CD EF 01 23 45 67 89 AB CD EF 01 23 45 67 89"_s,
         kFingerprint},
        {kFingerprint.left(kFingerprint.size() - 3), QString()}, // SHA-1 length or cut
        {kFingerprint + u":00"_s, QString()},
        {QString(kFingerprint).replace(u'A', u'G'), QString()},
        {QString(64, QChar(0x0661)), QString()}, // digits, but not hex ones
        {QString(), QString()},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(NormalizeFtpFingerprint(text), expected) << qPrintable(text);

    EXPECT_EQ(FtpServerKey(u" Ftp.Example.COM "_s, 21), u"ftp.example.com:21"_s);
    EXPECT_EQ(FtpServerKey(u"::1"_s, 2121), u"[::1]:2121"_s);
}

TEST(FtpTls, TrustDecisions)
{
    const QString other = QString(kFingerprint).replace(u"AB"_s, u"00"_s);
    struct CCase
    {
        bool m_bVerified;
        QString m_strRemembered;
        QString m_strTrusted;
        EFtpTrust m_expected;
    };
    const CCase cases[] = {
        {true, other, QString(), TRUST_ACCEPT},       // a verified certificate replaces a remembered one silently
        {false, QString(), QString(), TRUST_ASK_NEW}, // nothing known: the user is asked
        {false, kFingerprint, QString(), TRUST_ACCEPT},
        {false, QString(), kFingerprint, TRUST_ACCEPT},
        {false, other, QString(), TRUST_ASK_CHANGED},
        {false, other, kFingerprint, TRUST_ACCEPT}, // named for this connection: the user's explicit word
        {false, QString(), other, TRUST_ASK_NEW},
    };
    for (const CCase& c : cases) {
        EXPECT_EQ(DecideFtpTrust(c.m_bVerified, kFingerprint, c.m_strRemembered, c.m_strTrusted), c.m_expected)
            << c.m_bVerified << qPrintable(c.m_strRemembered) << qPrintable(c.m_strTrusted);
    }
    // No certificate has no fingerprint, and nothing matches an empty one.
    EXPECT_EQ(DecideFtpTrust(false, QString(), QString(), QString()), TRUST_ASK_NEW);
}

// A real certificate: the fingerprint openssl prints, and what the user is shown.
TEST(FtpTls, CertificateShownToTheUser)
{
    QTemporaryDir dir;
    CTestCertificate plain, hostile;
    QString problem;
    if (!MakeSelfSignedCertificate(dir.path(), u"plain"_s, plain, problem)
        || !MakeSelfSignedCertificate(dir.path(), u"hostile"_s, hostile, problem,
                                      u"/CN=Evil\x1b[2J\x01host/OU="_s + QString(60, u'x') + u"/OU="_s
                                          + QString(60, u'y') + u"/OU="_s + QString(60, u'z') + u"/OU="_s
                                          + QString(60, u'w')))
        TESSARO_GTEST_SKIP(qPrintable(problem));
    const QSslCertificate certificate = plain.Load();
    ASSERT_FALSE(certificate.isNull());
    EXPECT_EQ(FtpCertificateFingerprint(certificate), plain.m_strFingerprint);
    EXPECT_EQ(FtpCertificateFingerprint(QSslCertificate()), QString());

    const QStringList lines = DescribeFtpCertificate(certificate).split(u'\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], u"Subject: CN=localhost, O=Invented Survey Office plain"_s);
    EXPECT_EQ(lines[1], u"Issuer: CN=localhost, O=Invented Survey Office plain"_s);
    EXPECT_TRUE(lines[2].startsWith(u"Valid from "_s + certificate.effectiveDate().toUTC().toString(Qt::ISODate)));
    EXPECT_EQ(lines[3], u"SHA-256 fingerprint: "_s + plain.m_strFingerprint);

    // Names from the server reach the user without control characters and
    // without filling the screen.
    const QString shown = DescribeFtpCertificate(hostile.Load()).split(u'\n').value(0);
    EXPECT_TRUE(shown.startsWith(u"Subject: CN=Evil?[2J?host, OU="_s)) << qPrintable(shown);
    EXPECT_LT(shown.size(), 230);
    EXPECT_TRUE(shown.endsWith(u"..."_s));

    EXPECT_EQ(FtpCertificateProblems({QSslError(QSslError::SelfSignedCertificate, certificate),
                                      QSslError(QSslError::HostNameMismatch, certificate),
                                      QSslError(QSslError::SelfSignedCertificate, certificate)}),
              QSslError(QSslError::SelfSignedCertificate).errorString() + u"; "_s
                  + QSslError(QSslError::HostNameMismatch).errorString());
}
