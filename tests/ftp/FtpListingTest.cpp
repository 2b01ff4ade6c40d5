#include "ftp/FtpListing.h"

#include <gtest/gtest.h>

namespace {

struct CLineCase
{
    const char* m_szLine;
    bool m_bTaken;
    const char* m_szName;
    bool m_bFolder;
};

void CheckLines(const char* server, const std::vector<CLineCase>& cases)
{
    for (const CLineCase& c : cases) {
        CFtpListEntry entry;
        const bool taken = ParseFtpListLine(QString::fromLatin1(c.m_szLine), entry);
        EXPECT_EQ(taken, c.m_bTaken) << server << ": " << c.m_szLine;
        if (taken && c.m_bTaken) {
            EXPECT_EQ(entry.m_strName, QString::fromLatin1(c.m_szName)) << server << ": " << c.m_szLine;
            EXPECT_EQ(entry.m_bFolder, c.m_bFolder) << server << ": " << c.m_szLine;
        }
    }
}

} // namespace

// Lines as the servers sent them for the same folder (LIST after TYPE I).
TEST(FtpListing, VsftpdLines)
{
    CheckLines("vsftpd 3.0.3", {
        {"drwxr-xr-x    2 102      0            4096 Dec 06 21:16   lead", true, "  lead", true},
        {"-rw-r--r--    1 102      0               6 Dec 06 21:16 a.txt", true, "a.txt", false},
        {"lrwxrwxrwx    1 102      0               5 Dec 06 21:16 link to a -> a.txt", true, "link to a", false},
        {"drwxr-xr-x    2 102      0            4096 Dec 06 21:16 sub dir", true, "sub dir", true},
        {"-rw-r--r--    1 102      0               0 Dec 06 21:16 with -> arrow.txt", true, "with -> arrow.txt", false},
        {"-rw-r--r--    1 0        0         1048576 Jan 01  2020 old file.bin", true, "old file.bin", false},
        {"drwxr-xr-x    2 0        0            4096 Dec 06 21:16 .", false, "", true},
        {"drwxr-xr-x    3 0        0            4096 Dec 06 21:16 ..", false, "", true},
    });
}

TEST(FtpListing, PyftpdlibLines)
{
    CheckLines("pyftpdlib 1.5.7", {
        {"drwxr-xr-x   2 root     root         4096 Dec 06 21:16   lead", true, "  lead", true},
        {"-rw-r--r--   1 root     root            0 Dec 06 21:16 .hidden", true, ".hidden", false},
        {"-rw-r--r--   1 root     root            6 Dec 06 21:15 a.txt", true, "a.txt", false},
        {"lrwxrwxrwx   1 root     root            5 Dec 06 21:16 link to a -> a.txt", true, "link to a", false},
        {"drwxr-xr-x   2 root     root         4096 Dec 06 21:15 sub dir", true, "sub dir", true},
        {"-rw-r--r--   1 root     root            0 Dec 06 21:16 with -> arrow.txt", true, "with -> arrow.txt", false},
        {"-rw-r--r--   1 owner    group   123456789 Mar 15  2019 big.dat", true, "big.dat", false},
    });
}

TEST(FtpListing, DosAndOtherLines)
{
    CheckLines("IIS/DOS and others", {
        {"02-14-24  03:21PM       <DIR>          aspnet_client", true, "aspnet_client", true},
        {"11-20-23  10:05AM                  689 iisstart.htm", true, "iisstart.htm", false},
        {"11-20-23  10:05AM       <DIR>          Job Data 2023", true, "Job Data 2023", true},
        {"01-02-2024  17:45                 1234 report 2024.txt", true, "report 2024.txt", false},
        {"total 24", false, "", false},
        {"total 0", false, "", false},
        {"", false, "", false},
        // Unix listing without a group column.
        {"-rw-r--r--   1 ftp   12 Jul  4 09:30 nogroup.txt", true, "nogroup.txt", false},
        // A device file is not a folder.
        {"crw-rw-rw-   1 root     root       1,   3 Dec 06 21:16 null", true, "null", false},
    });
}

TEST(FtpListing, FixedColumnRuleIsOnlyTheLastFallback)
{
    // The column rule cuts real lines wrongly: the field parse must win.
    const QString vsftpd = QStringLiteral("-rw-r--r--    1 102      0               6 Dec 06 21:16 a.txt");
    EXPECT_NE(FixedColumnFtpName(vsftpd), QStringLiteral("a.txt"));

    // A line of exactly 54 characters is too short for the rule, 55 is judged.
    const QString base54 = QString(52, QLatin1Char('x')) + QStringLiteral("1 ");
    ASSERT_EQ(base54.size(), 54);
    EXPECT_EQ(FixedColumnFtpName(base54), QString());
    EXPECT_EQ(FixedColumnFtpName(base54 + QLatin1Char('n')), QStringLiteral("n"));
    // Digit, blank, letter at 52..54: name from 54; blanks at 53 and 54: from 59.
    const QString at59 = QString(52, QLatin1Char('x')) + QStringLiteral("1      name here");
    EXPECT_EQ(FixedColumnFtpName(at59), QStringLiteral("name here"));

    // A long-iso listing fits neither format; only then the rule applies.
    const QString iso =
        QStringLiteral("drwxr-xr-x 2 user group 4096 2024-01-02 10:00 fold") + QString(30, QLatin1Char('e'));
    CFtpListEntry entry;
    ASSERT_TRUE(ParseFtpListLine(iso, entry));
    EXPECT_TRUE(entry.m_bFolder);
    EXPECT_EQ(entry.m_strName, FixedColumnFtpName(iso));
}

TEST(FtpListing, WholeListings)
{
    // pyftpdlib ends lines with CR LF; a CR LF pair is one line end and one
    // empty line, the text after the last line end is dropped.
    const QByteArray listing =
        "total 3\r\n"
        "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 sub dir\r\n"
        "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 ..\r\n"
        "-rw-r--r--   1 root     root            6 Dec 06 21:15 ..\r\n"
        "-rw-r--r--   1 root     root            6 Dec 06 21:15 caf\xe9.txt\n"
        "-rw-r--r--   1 root     root            6 Dec 06 21:15 unterminated";
    const QList<CFtpListEntry> entries = ParseFtpListing(listing);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].m_strName, QStringLiteral("sub dir"));
    EXPECT_TRUE(entries[0].m_bFolder);
    // A file entry ".." is still a file; the client refuses it as a path later.
    EXPECT_EQ(entries[1].m_strName, QStringLiteral(".."));
    EXPECT_FALSE(entries[1].m_bFolder);
    // Each byte is one character of the same value.
    EXPECT_EQ(entries[2].m_strName, QString(QStringLiteral("caf")) + QChar(0xE9) + QStringLiteral(".txt"));

    EXPECT_TRUE(ParseFtpListing(QByteArray()).isEmpty());
}
