#include "ftp/FtpFeatures.h"
#include "ftp/FtpListing.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QList<QByteArray> ReplyLines(const char* reply)
{
    QList<QByteArray> lines;
    for (const QByteArray& line : QByteArray(reply).split('\n')) {
        if (!line.isEmpty())
            lines.append(line + '\n');
    }
    return lines;
}

} // namespace

// FEAT replies as servers send them, and replies that are no feature list.
TEST(FtpFeatures, RealReplies)
{
    struct CCase
    {
        const char* m_szWhat;
        const char* m_szReply;
        bool m_bKnown;
        bool m_bMlsd;
        bool m_bUtf8;
        int m_nCount;
    };
    const CCase cases[] = {
        {"pyftpdlib 1.5.7",
         "211-Features supported:\r\n EPRT\r\n EPSV\r\n MDTM\r\n MFMT\r\n"
         " MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;unix.gid;\r\n REST STREAM\r\n SIZE\r\n"
         " TVFS\r\n UTF8\r\n211 End FEAT.\r\n",
         true, true, true, 9},
        {"vsftpd 3.0.3 with TLS",
         "211-Features:\r\n AUTH TLS\r\n EPRT\r\n EPSV\r\n MDTM\r\n PASV\r\n PBSZ\r\n PROT\r\n REST STREAM\r\n"
         " SIZE\r\n TVFS\r\n211 End\r\n",
         true, false, false, 10},
        {"lower case, no leading space, MLSD named alone", "211-Extensions:\r\nmlsd\r\n utf8 \r\n211 END\r\n", true,
         true, true, 2},
        {"no features", "211 No features\r\n", true, false, false, 0},
        {"FEAT unknown", "500 Unknown command.\r\n", false, false, false, 0},
        {"not implemented", "502 Command not implemented.\r\n", false, false, false, 0},
        {"a feature that only starts like one", "211-Features:\r\n MLSTX\r\n UTF8X\r\n211 End\r\n", true, false, false,
         2},
    };
    for (const CCase& c : cases) {
        const CFtpFeatures features = ParseFtpFeatures(ReplyLines(c.m_szReply));
        EXPECT_EQ(features.m_bKnown, c.m_bKnown) << c.m_szWhat;
        EXPECT_EQ(features.m_bMlsd, c.m_bMlsd) << c.m_szWhat;
        EXPECT_EQ(features.m_bUtf8, c.m_bUtf8) << c.m_szWhat;
        EXPECT_EQ(features.m_names.size(), c.m_nCount) << c.m_szWhat;
    }
    EXPECT_FALSE(ParseFtpFeatures({}).m_bKnown);
}

// MLSD lines (line end removed): a name, "/" at its end for a folder, and the
// size; or nothing.
TEST(FtpFeatures, MlsdLines)
{
    struct CCase
    {
        QByteArray m_line;
        const char* m_szExpected;
        qint64 m_nSize;
    };
    const CCase cases[] = {
        // pyftpdlib 1.5.7, names with leading blanks, ";" and "=" kept
        {"modify=20241207035231;perm=r;size=6;type=file;unique=fe00ga7605b; a.txt", "a.txt", 6},
        {"modify=20241207035231;perm=el;size=4096;type=dir;unique=fe00ga76044; sub dir", "sub dir/", 4096},
        {"modify=20241207035231;perm=r;size=0;type=file;unique=fe00ga76065;   two leading", "  two leading", 0},
        {"modify=20241207035231;perm=r;size=0;type=file;unique=fe00ga7606b; semi;colon=x.txt", "semi;colon=x.txt", 0},
        {"modify=20241207035231;perm=r;size=1;type=file;unique=fe00ga7607a; caf\xc3\xa9.txt", "caf\xc3\xa9.txt", 1},
        // other servers' spellings
        {"Type=DIR;Modify=20240102100000; Data 2024", "Data 2024/", -1},
        {"type=OS.unix=slink:/srv/a.txt;size=5; link", "link", 5},
        {"type=OS.unix=symlink; other link", "other link", -1},
        {"size=12; no type", "no type", 12},
        {" no facts at all", "no facts at all", -1},
        {"type=file;size=-3; negative", "negative", -1},
        {"type=file;size=99999999999999999999; huge", "huge", -1},
        {"type=file;size=1e3; not decimal", "not decimal", -1},
        {"type=cdir;modify=20240102100000; /srv/ftp", nullptr, -1},
        {"type=pdir;modify=20240102100000; ..", nullptr, -1},
        {"type=dir; .", nullptr, -1},
        {"type=dir; ..", nullptr, -1},
        // a hostile name stays as sent; the callers judge it before use
        {"type=file; ../../etc/passwd", "../../etc/passwd", -1},
        {"type=file; ..", "..", -1},
        {"type=file;", nullptr, -1},
        {"type=file; ", nullptr, -1},
        {"", nullptr, -1},
    };
    for (const CCase& c : cases) {
        CFtpListEntry entry;
        const bool taken = ParseFtpMlsdLine(c.m_line, entry);
        const QByteArray got = taken ? entry.m_strName.toLatin1() + (entry.m_bFolder ? "/" : "") : "<none>";
        EXPECT_EQ(got, c.m_szExpected ? QByteArray(c.m_szExpected) : QByteArray("<none>")) << c.m_line.constData();
        if (taken) {
            EXPECT_EQ(entry.m_nSize, c.m_nSize) << c.m_line.constData();
        }
    }
}

TEST(FtpFeatures, MlsdListings)
{
    // CR LF ends a line; a lone CR stays in the name; text after the last LF
    // is dropped. Each byte is one character of the same value.
    const QByteArray listing = "type=cdir; /pub\r\n"
                               "type=file;size=3; caf\xe9\r\n"
                               "type=file;size=1; cr\rinside\r\n"
                               "type=dir; sub\n"
                               "type=file;size=9; unterminated";
    const QList<CFtpListEntry> entries = ParseFtpMlsdListing(listing);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].m_strName, u"caf"_s + QChar(0xE9));
    EXPECT_EQ(entries[1].m_strName, u"cr\rinside"_s);
    EXPECT_EQ(entries[2].m_strName, u"sub"_s);
    EXPECT_TRUE(entries[2].m_bFolder);
    EXPECT_TRUE(ParseFtpMlsdListing(QByteArray()).isEmpty());
}
