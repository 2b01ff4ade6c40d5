#include "ftp/FtpListing.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

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
    // empty line, the text after the last line end is dropped.
    const QByteArray listing = "total 3\r\n"
                               "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 sub dir\r\n"
                               "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 ..\r\n"
                               "-rw-r--r--   1 root     root            6 Dec 06 21:15 ..\r\n"
                               "-rw-r--r--   1 root     root            6 Dec 06 21:15 caf\xe9.txt\n"
                               "-rw-r--r--   1 root     root            6 Dec 06 21:15 unterminated";
    const QList<CFtpListEntry> entries = ParseFtpListing(listing);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].m_strName, u"sub dir"_s);
    EXPECT_TRUE(entries[0].m_bFolder);
    // A file entry ".." is still a file; the client refuses it as a path later.
    EXPECT_EQ(entries[1].m_strName, u".."_s);
    EXPECT_FALSE(entries[1].m_bFolder);
    // Each byte is one character of the same value.
    EXPECT_EQ(entries[2].m_strName, u"caf"_s + QChar(0xE9) + u".txt"_s);
    EXPECT_TRUE(ParseFtpListing(QByteArray()).isEmpty());
}
