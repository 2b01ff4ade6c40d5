#include "ftp/FtpListing.h"
#include "ftp/FtpFeatures.h"

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

// Each entry's name, "/" at its end for a folder.
QStringList Names(const QList<CFtpListEntry>& entries)
{
    QStringList names;
    for (const CFtpListEntry& entry : entries)
        names.append(entry.m_strName + (entry.m_bFolder ? u"/"_s : QString()));
    return names;
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

// Lines as the servers sent them (LIST after TYPE I): a name, or nothing
// when the line holds no entry; "/" at the end marks a folder.
TEST(FtpListing, RealServerLines)
{
    const std::pair<const char*, const char*> cases[] = {
        // vsftpd 3.0.3
        {"drwxr-xr-x    2 102      0            4096 Dec 06 21:16   lead", "  lead/"},
        {"-rw-r--r--    1 102      0               6 Dec 06 21:16 a.txt", "a.txt"},
        {"lrwxrwxrwx    1 102      0               5 Dec 06 21:16 link to a -> a.txt", "link to a"},
        {"drwxr-xr-x    2 102      0            4096 Dec 06 21:16 sub dir", "sub dir/"},
        {"-rw-r--r--    1 102      0               0 Dec 06 21:16 with -> arrow.txt", "with -> arrow.txt"},
        {"-rw-r--r--    1 0        0         1048576 Jan 01  2020 old file.bin", "old file.bin"},
        {"drwxr-xr-x    2 0        0            4096 Dec 06 21:16 .", nullptr},
        {"drwxr-xr-x    3 0        0            4096 Dec 06 21:16 ..", nullptr},
        // pyftpdlib 1.5.7
        {"drwxr-xr-x   2 root     root         4096 Dec 06 21:16   lead", "  lead/"},
        {"-rw-r--r--   1 root     root            0 Dec 06 21:16 .hidden", ".hidden"},
        {"lrwxrwxrwx   1 root     root            5 Dec 06 21:16 link to a -> a.txt", "link to a"},
        {"-rw-r--r--   1 root     root            0 Dec 06 21:16 with -> arrow.txt", "with -> arrow.txt"},
        {"-rw-r--r--   1 owner    group   123456789 Mar 15  2019 big.dat", "big.dat"},
        // IIS/DOS and others
        {"02-14-24  03:21PM       <DIR>          aspnet_client", "aspnet_client/"},
        {"11-20-23  10:05AM                  689 iisstart.htm", "iisstart.htm"},
        {"11-20-23  10:05AM       <DIR>          Job Data 2023", "Job Data 2023/"},
        {"01-02-2024  17:45                 1234 report 2024.txt", "report 2024.txt"},
        {"total 24", nullptr},
        {"", nullptr},
        {"-rw-r--r--   1 ftp   12 Jul  4 09:30 nogroup.txt", "nogroup.txt"},     // no group column
        {"crw-rw-rw-   1 root     root       1,   3 Dec 06 21:16 null", "null"}, // a device is no folder
    };
    for (const auto& [line, expected] : cases) {
        CFtpListEntry entry;
        const bool taken = ParseFtpListLine(QString::fromLatin1(line), entry);
        const QString got = taken ? entry.m_strName + (entry.m_bFolder ? u"/"_s : QString()) : u"<none>"_s;
        EXPECT_EQ(got, expected ? QString::fromLatin1(expected) : u"<none>"_s) << line;
    }
}

TEST(FtpListing, FixedColumnRuleIsOnlyTheLastFallback)
{
    // The column rule cuts real lines wrongly: the field parse must win.
    EXPECT_NE(FixedColumnFtpName(u"-rw-r--r--    1 102      0               6 Dec 06 21:16 a.txt"_s), u"a.txt"_s);

    // A line of exactly 54 characters is too short for the rule, 55 is judged.
    const QString base54 = QString(52, u'x') + u"1 "_s;
    EXPECT_EQ(FixedColumnFtpName(base54), QString());
    EXPECT_EQ(FixedColumnFtpName(base54 + u'n'), u"n"_s);
    // Digit, blank, letter at 52..54: name from 54; blanks at 53 and 54: from 59.
    EXPECT_EQ(FixedColumnFtpName(QString(52, u'x') + u"1      name here"_s), u"name here"_s);

    // A long-iso listing fits neither format; only then the rule applies.
    const QString iso = u"drwxr-xr-x 2 user group 4096 2024-01-02 10:00 fold"_s + QString(30, u'e');
    CFtpListEntry entry;
    ASSERT_TRUE(ParseFtpListLine(iso, entry));
    EXPECT_TRUE(entry.m_bFolder);
    EXPECT_EQ(entry.m_strName, FixedColumnFtpName(iso));
}

TEST(FtpListing, WholeListings)
{
    // pyftpdlib ends lines with CR LF; a CR LF pair is one line end and one
    // empty line, the text after the last line end is dropped (MLSD too).
    const QByteArray listing = "total 3\r\n"
                               "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 sub dir\r\n"
                               "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 ..\r\n"
                               "-rw-r--r--   1 root     root            6 Dec 06 21:15 ..\r\n"
                               "-rw-r--r--   1 root     root            6 Dec 06 21:15 caf\xe9.txt\n"
                               "-rw-r--r--   1 root     root            6 Dec 06 21:15 unterminated";
    // A file entry ".." is still a file; the client refuses it as a path
    // later. Each byte is one character of the same value.
    EXPECT_EQ(Names(ParseFtpListing(listing)), (QStringList{u"sub dir/"_s, u".."_s, u"caf\u00e9.txt"_s}));
    EXPECT_TRUE(ParseFtpListing(QByteArray()).isEmpty());

    // MLSD: CR LF ends a line; a lone CR stays in the name.
    const QByteArray mlsd = "type=cdir; /pub\r\n"
                            "type=file;size=3; caf\xe9\r\n"
                            "type=file;size=1; cr\rinside\r\n"
                            "type=dir; sub\n"
                            "type=file;size=9; unterminated";
    EXPECT_EQ(Names(ParseFtpMlsdListing(mlsd)), (QStringList{u"caf\u00e9"_s, u"cr\rinside"_s, u"sub/"_s}));
    EXPECT_TRUE(ParseFtpMlsdListing(QByteArray()).isEmpty());
}
