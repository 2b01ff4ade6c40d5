#include "ftp/FtpListing.h"
#include "ftp/FtpFeatures.h"
#include "platform/Bytes.h"

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

// An entry as "kind|size|time|name", "|target" after a link's; kind is d, -
// or l, the size -1 and the time empty when not known.
QByteArray Described(const CFtpListEntry& entry)
{
    QByteArray text = entry.m_bFolder ? "d|" : entry.m_bLink ? "l|" : "-|";
    text +=
        QByteArray::number(entry.m_nSize) + '|' + FtpEntryTimeText(entry).toLatin1() + '|' + ToBytes(entry.m_strName);
    if (entry.m_bLink)
        text += '|' + ToBytes(entry.m_strLinkTarget);
    return text;
}

struct CLine
{
    const char* m_szLine;     // as the server sends it, line end removed
    const char* m_szExpected; // Described(), "none" for no entry, "unread" for a line left out
};

// Each line of a family's table, read by itself as from a server of that
// system on 7 December 2024.
void ExpectLines(EFtpSystem system, std::initializer_list<CLine> lines)
{
    CFtpListContext context;
    context.m_eSystem = system;
    context.m_today = QDate(2024, 12, 7);
    for (const CLine& line : lines) {
        CFtpListEntry entry;
        const EFtpLine result = ParseFtpListLine(FromBytes(line.m_szLine), context, entry);
        const QByteArray got = result == FTP_LINE_ENTRY ? Described(entry)
            : result == FTP_LINE_NONE                   ? QByteArray("none")
                                                        : QByteArray("unread");
        EXPECT_EQ(got.toStdString(), line.m_szExpected) << line.m_szLine;
    }
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

// SYST answers: the system, and only printable text of bounded length.
TEST(FtpFeatures, SystemReplies)
{
    const std::tuple<const char*, EFtpSystem, const char*> cases[] = {
        {"215 UNIX Type: L8\r\n", FTP_SYSTEM_UNIX, "UNIX Type: L8"},
        {"215 Windows_NT\r\n", FTP_SYSTEM_WINDOWS, "Windows_NT"},
        {"215 VMS\r\n", FTP_SYSTEM_VMS, "VMS"},
        {"215 MVS is the operating system of this server. FTP Server is running on z/OS.\r\n", FTP_SYSTEM_MVS,
         "MVS is the operating system of this server. FTP Server is running on z/OS."},
        {"215 OS/400 is the remote operating system. The TCP/IP version is \"V7R4M0\".\r\n", FTP_SYSTEM_OS400,
         "OS/400 is the remote operating system. The TCP/IP version is \"V7R4M0\"."},
        {"215 NETWARE Type: L8\r\n", FTP_SYSTEM_NETWARE, "NETWARE Type: L8"},
        {"215 \x1b[2Junix\x07\r\n", FTP_SYSTEM_UNKNOWN, "[2Junix"},
        {"500 SYST not understood\r\n", FTP_SYSTEM_UNKNOWN, ""},
        {"2150 UNIX\r\n", FTP_SYSTEM_UNKNOWN, ""},
    };
    for (const auto& [reply, system, text] : cases) {
        CFtpFeatures features;
        ParseFtpSystem(QString::fromLatin1(reply), features);
        EXPECT_EQ(features.m_eSystem, system) << reply;
        EXPECT_EQ(features.m_strSystem, QString::fromLatin1(text)) << reply;
    }
    CFtpFeatures features;
    ParseFtpSystem(u"215 UNIX "_s + QString(500, u'x'), features);
    EXPECT_EQ(features.m_strSystem.size(), CFtpFeatures::kMaxSystemText);
    EXPECT_EQ(features.m_eSystem, FTP_SYSTEM_UNIX);
}

// MLSD lines (line end removed); a hostile name stays as sent, the callers
// judge it before use.
TEST(FtpFeatures, MlsdLines)
{
    const CLine cases[] = {
        // a fraction of a second; the names as pyftpdlib sends them are the
        // real-server test's
        {"modify=20241207035231.5;size=0;type=file;   two leading", "-|0|2024-12-07T03:52:31Z|  two leading"},
        // other servers' spellings
        {"Type=DIR;Modify=20240102100000; Data 2024", "d|-1|2024-01-02T10:00:00Z|Data 2024"},
        {"type=OS.unix=slink:/srv/a.txt;size=5; link", "l|5||link|/srv/a.txt"},
        {"type=OS.unix=symlink; other link", "l|-1||other link|"},
        {"size=12; no type", "-|12||no type"},
        {" no facts at all", "-|-1||no facts at all"},
        {"type=file;size=-3;modify=20241332000000; bad size and time", "-|-1||bad size and time"},
        {"type=file;size=99999999999999999999;modify=2024; huge", "-|-1||huge"},
        {"type=cdir;modify=20240102100000; /srv/ftp", "none"},
        {"type=pdir;modify=20240102100000; ..", "none"},
        {"type=dir; .", "none"},
        {"type=dir; ..", "none"},
        {"type=file; ../../etc/passwd", "-|-1||../../etc/passwd"},
        {"type=file; ..", "-|-1||.."},
        {"type=file;", "none"},
        {"type=file; ", "none"},
    };
    for (const CLine& c : cases) {
        CFtpListEntry entry;
        const bool taken = ParseFtpMlsdLine(c.m_szLine, entry);
        EXPECT_EQ((taken ? Described(entry) : QByteArray("none")).toStdString(), c.m_szExpected) << c.m_szLine;
    }
}

// "ls -l" as Unix servers print it, in many locales.
TEST(FtpListing, UnixLines)
{
    ExpectLines(
        FTP_SYSTEM_UNIX,
        {
            // vsftpd 3.0.3 and pyftpdlib 1.5.7 (plain entries, "." and "..": the
            // real-server, remote folder and whole listing tests)
            {"lrwxrwxrwx    1 102      0               5 Dec 06 21:16 link to a -> a.txt",
             "l|5|2024-12-06T21:16|link to a|a.txt"},
            {"lrwxrwxrwx    1 102      0               5 Dec 06 21:16 bare link", "l|5|2024-12-06T21:16|bare link|"},
            {"-rw-r--r--    1 102      0               0 Dec 06 21:16 with -> arrow.txt",
             "-|0|2024-12-06T21:16|with -> arrow.txt"},
            {"-rw-r--r--   1 root     root            3 Dec 06 21:16 trailing  ", "-|3|2024-12-06T21:16|trailing  "},
            // a time without a year is the last such date up to tomorrow
            {"-rw-r--r--   1 user     group          12 Dec 08 10:00 tomorrow.txt",
             "-|12|2024-12-08T10:00|tomorrow.txt"},
            {"-rw-r--r--   1 user     group          12 Dec 09 10:00 last year.txt",
             "-|12|2023-12-09T10:00|last year.txt"},
            {"-rw-r--r--   1 user     group          12 Feb 29 10:00 leap.txt", "-|12|2024-02-29T10:00|leap.txt"},
            {"-rw-r--r--   1 user     group           3 Jun 07 21:22:33 2024 full.txt",
             "-|3|2024-06-07T21:22:33|full.txt"},
            // no group, no date, no link count, ACLs, an owner that reads like a date
            {"-rw-r--r--   1 ftp   12 Jul  4 09:30 nogroup.txt", "-|12|2024-07-04T09:30|nogroup.txt"},
            {"-rw-r--r--   1 0 0 1024 undated.txt", "-|1024||undated.txt"},
            {"-rw-r--r--   1 ftp 1024 undated, no group.txt", "-|1024||undated, no group.txt"},
            {"drwxr-xr-x  folder        0 Jun  7  2024 Jobs", "d|0|2024-06-07|Jobs"},
            {"drwxr-xr-x+  3 user     group        4096 Dec 06 21:16 with acl", "d|4096|2024-12-06T21:16|with acl"},
            {"-rw-r--r--   1 mar      7            2000 Jun  7 21:22 tricky.txt", "-|2000|2024-06-07T21:22|tricky.txt"},
            // devices give no size
            {"crw-rw-rw-   1 root     root       1,   3 Dec 06 21:16 null", "-|-1|2024-12-06T21:16|null"},
            {"brw-rw----   1 root     disk         8,0 Nov 30 08:00 sda", "-|-1|2024-11-30T08:00|sda"},
            // ISO and numeric dates
            {"drwxr-xr-x 2 user group 4096 2024-06-07 21:22 Survey 2024", "d|4096|2024-06-07T21:22|Survey 2024"},
            {"-rw-r--r-- 1 user group 42 2024-06-07 21:22:33.123456789 +0200 stamped.txt",
             "-|42|2024-06-07T19:22:33Z|stamped.txt"},
            {"-rw-r--r-- 1 user group 7 06-07 21:22 iso recent.txt", "-|7|2024-06-07T21:22|iso recent.txt"},
            {"-rw-r--r-- 1 user group 7 2023-06-07 iso old.txt", "-|7|2023-06-07|iso old.txt"},
            {"-rw-r--r-- 1 user group 7 07.06.2024 21:22 punkt.txt", "-|7|2024-06-07T21:22|punkt.txt"},
            // day before month, other languages, UTF-8 and Latin-1
            {"-rw-r--r-- 1 user group 7  7 Jun 21:22 day first.txt", "-|7|2024-06-07T21:22|day first.txt"},
            {"-rw-r--r-- 1 user group 7  7. M\xc3\xa4r 2023 Messung.txt", "-|7|2023-03-07|Messung.txt"},
            {"-rw-r--r-- 1 user group 7 M\xe4r  7 21:22 latin.txt", "-|7|2024-03-07T21:22|latin.txt"},
            {"-rw-r--r-- 1 user group 7 Okt 31  2022 Oktober.txt", "-|7|2022-10-31|Oktober.txt"},
            {"-rw-r--r-- 1 user group 7  7 f\xc3\xa9vr. 2022 relev\xc3\xa9.txt", "-|7|2022-02-07|relev\xc3\xa9.txt"},
            {"-rw-r--r-- 1 user group 7 juil. 14 09:05 juillet.txt", "-|7|2024-07-14T09:05|juillet.txt"},
            {"-rw-r--r-- 1 user group 7 j\xc3\xban  7 21:22 m\xc3\xa9r\xc3\xa9s.txt",
             "-|7|2024-06-07T21:22|m\xc3\xa9r\xc3\xa9s.txt"},
            {"-rw-r--r-- 1 user group 7 2023. szept. 30. adat.txt", "-|7|2023-09-30|adat.txt"},
            // Chinese, Japanese and Korean with their units
            {"-rw-r--r-- 1 user group 7 6\xe6\x9c\x88  7 21:22 \xe6\xb5\x8b\xe9\x87\x8f.txt",
             "-|7|2024-06-07T21:22|\xe6\xb5\x8b\xe9\x87\x8f.txt"},
            {"-rw-r--r-- 1 user group 7  6\xe6\x9c\x88  7\xe6\x97\xa5  2023 \xe6\x97\xa5\xe6\x9c\xac.txt",
             "-|7|2023-06-07|\xe6\x97\xa5\xe6\x9c\xac.txt"},
            {"-rw-r--r-- 1 user group 7  6\xec\x9b\x94  7\xec\x9d\xbc 21:22 \xed\x95\x9c.txt",
             "-|7|2024-06-07T21:22|\xed\x95\x9c.txt"},
            {"-rw-r--r-- 1 user group 7 2023\xe5\xb9\xb4"
             "6\xe6\x9c\x88"
             "7\xe6\x97\xa5 year first.txt",
             "-|7|2023-06-07|year first.txt"},
            // refused rather than misread
            {"-rw-r--r--   1 user     group          12 Foo  7 21:22 unknown month.txt", "unread"},
            {"-rw-r--r--   1 user     group          12 Jun 31 21:22 no such day.txt", "unread"},
            {"-rw-r--r--   1 user     group          12 Jun  7 21:22", "unread"},
            {"-rw-r--r-- oops", "unread"},
        });
}

// Windows: IIS in its MS-DOS style and "dir" of other locales.
TEST(FtpListing, WindowsLines)
{
    ExpectLines(
        FTP_SYSTEM_WINDOWS,
        {
            {"02-14-24  03:21PM       <DIR>          aspnet_client", "d|-1|2024-02-14T15:21|aspnet_client"},
            {"11-20-23  12:05AM                  689  leading blank", "-|689|2023-11-20T00:05| leading blank"},
            {"2024-06-07  21:22       <DIR>          Year First", "d|-1|2024-06-07T21:22|Year First"},
            {"06/07/2024  09:22 PM         1,234,567 big survey.dat", "-|1234567|2024-06-07T21:22|big survey.dat"},
            {"07.06.2024  21:22             1.234 punkt.dat", "-|1234|2024-06-07T21:22|punkt.dat"},
            {"13-06-24  10:00AM                   12 day first.txt", "-|12|2024-06-13T10:00|day first.txt"},
            {"06/07/2024  09:22 PM    <JUNCTION>     Old Jobs [C:\\Jobs]", "l|-1|2024-06-07T21:22|Old Jobs|C:\\Jobs"},
            {"12-06-24  12:00AM       <DIR>          ..", "none"},
            {"06-07-24  25:99PM                   12 bad time.txt", "unread"},
            {"06-07-24  09:22PM       <DIRX>         bad tag", "unread"},
            {"06-07-24  09:22PM               12,34 bad size", "unread"},
        });
}

// VMS: versions, folders, blocks; one entry over two lines in WholeListings.
TEST(FtpListing, VmsLines)
{
    ExpectLines(FTP_SYSTEM_VMS,
                {
                    {"Directory DISK$SURVEY:[JOBS]", "none"},
                    {"CII-NOTES.TEX;1  213/216  29-JAN-2024 03:33:12  [SURVEY,OWNER]   (RWED,RWED,,)",
                     "-|109056|2024-01-29T03:33:12|CII-NOTES.TEX"},
                    {"JOBS.DIR;1                 1   7-JUN-2024 21:22:33.45  [SURVEY,OWNER]  (RWE,RWE,RE,RE)",
                     "d|-1|2024-06-07T21:22:33|JOBS"},
                    {"README.TXT;3          5   7-JUN-2024 21:22", "-|2560|2024-06-07T21:22|README.TXT"},
                    {"Total of 3 files, 219/223 blocks.", "none"},
                    {"DATA.TXT;1  %RMS-E-PRV, insufficient privilege or file protection violation", "unread"},
                    {"DATA.TXT;1          5   7-JUN-2024 21:22  [SURVEY]  (RWED)  extra", "unread"},
                });
}

// z/OS: data sets (partitioned ones are folders) and members.
TEST(FtpListing, MvsLines)
{
    ExpectLines(
        FTP_SYSTEM_MVS,
        {
            {"Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname", "none"},
            {"SMS001 3390   2024/06/07  2   15  FB      80 27920  PS  SURVEY.DATA", "-|-1||SURVEY.DATA"},
            {"SMS001 3390   2024/06/07  1    1  FB      80 27920  PO  SURVEY.JCL", "d|-1||SURVEY.JCL"},
            {"SMS002 3390   **NONE**    1    1  VB     256  6233  PO-E SURVEY.LOAD", "d|-1||SURVEY.LOAD"},
            {"Migrated                                                SURVEY.OLD", "-|-1||SURVEY.OLD"},
            {"Pseudo Directory                                        SURVEY.SUB", "d|-1||SURVEY.SUB"},
            {" Name     VV.MM   Created       Changed      Size  Init   Mod   Id", "none"},
            {"JOB1      01.03 2024/06/01 2024/06/07 21:22    10    10     0 SURVEYR", "-|-1|2024-06-07T21:22|JOB1"},
            {"JOB2", "-|-1||JOB2"},
            {"job 2", "unread"},
        });
}

// IBM i: objects by type, library paths cut to their last part.
TEST(FtpListing, Os400Lines)
{
    ExpectLines(
        FTP_SYSTEM_OS400,
        {
            {"SURVEY        77824 06/07/24 21:22:00 *DIR       Jobs/", "d|-1|2024-06-07T21:22:00|Jobs"},
            {"SURVEY         4096 06/07/24 21:22:33 *STMF      report 1.txt",
             "-|4096|2024-06-07T21:22:33|report 1.txt"},
            {"SURVEY        36864 06/07/24 21:22:33 *FILE      SURVEYLIB/QCLSRC.FILE",
             "d|-1|2024-06-07T21:22:33|QCLSRC.FILE"},
            {"SURVEY                                *MEM       SURVEYLIB/QCLSRC.FILE/JOB1.MBR", "-|-1||JOB1.MBR"},
            {"SURVEY          512 13/06/24 08:00:00 *STMF      day first.txt",
             "-|512|2024-06-13T08:00:00|day first.txt"},
            {"SURVEY          512 06/07/24 08:00:00 *stmf      lower case", "unread"},
            {"SURVEY         4096 06/07/24 21:22:00 *DIR       Jobs/../", "none"},
        });
}

// OS/2, EPLF, NetWare, VxWorks and MLSD facts, from a server that does not
// say what it is; lines that no rule understands.
TEST(FtpListing, OtherFamiliesAndUnknownLines)
{
    ExpectLines(
        FTP_SYSTEM_UNKNOWN,
        {
            {"         0           DIR   06-07-24   21:22  Survey Data", "d|-1|2024-06-07T21:22|Survey Data"},
            {"     12345      A          06-07-24   21:22  config.sys", "-|12345|2024-06-07T21:22|config.sys"},
            {"+i8388621.29609,m1717795353,/,\tjobs", "d|-1|2024-06-07T21:22:33Z|jobs"},
            {"+i8388621.44468,m1717795353,r,s10376,\tREAD ME", "-|10376|2024-06-07T21:22:33Z|READ ME"},
            {"d [RWCEAFMS] surveyor                512       Jun 07 21:22    Jobs", "d|512|2024-06-07T21:22|Jobs"},
            {"- [RWCEAFMS] surveyor               1234       Jun 07  2023 notes.txt", "-|1234|2023-06-07|notes.txt"},
            {"  size          date       time       name", "none"},
            {"--------       ------     ------    --------", "none"},
            {"    1234    JUN-07-2024  21:22:33   log file.txt", "-|1234|2024-06-07T21:22:33|log file.txt"},
            {"     512    JUN-07-2024  21:22:33   sub dir           <DIR>", "d|-1|2024-06-07T21:22:33|sub dir"},
            {"type=file;size=12;modify=20240607212233; facts.txt", "-|12|2024-06-07T21:22:33Z|facts.txt"},
            {"type=cdir; /jobs", "none"},
            {"   ", "none"},
            // a member name alone is one only on z/OS, a VMS name alone only before its entry
            {"JOB2", "unread"},
            {"README.TXT;1", "unread"},
            {"ls: cannot open directory .: Permission denied", "unread"},
            {"550 No files found", "unread"},
            {"a name=with; blanks", "unread"},
        });
}

TEST(FtpListing, WholeListings)
{
    // pyftpdlib ends lines with CR LF; a CR LF pair is one line end and one
    // empty line, the text after the last line end is dropped (MLSD too).
    // A file entry ".." is still a file; the client refuses it as a path
    // later. Each byte is one character of the same value.
    const QByteArray listing = "total 3\r\n"
                               "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 sub dir\r\n"
                               "drwxr-xr-x   2 root     root         4096 Dec 06 21:15 ..\r\n"
                               "-rw-r--r--   1 root     root            6 Dec 06 21:15 ..\r\n"
                               "-rw-r--r--   1 root     root            6 Dec 06 21:15 caf\xe9.txt\n"
                               "something else\n"
                               "-rw-r--r--   1 root     root            6 Dec 06 21:15 unterminated";
    int unread = 0;
    EXPECT_EQ(Names(ParseFtpListing(listing, {}, &unread)), (QStringList{u"sub dir/"_s, u".."_s, u"caf\u00e9.txt"_s}));
    EXPECT_EQ(unread, 1);
    EXPECT_TRUE(ParseFtpListing(QByteArray()).isEmpty());

    // VMS: a long name alone on its line, its entry on the next; the newest
    // version of a file only; a name whose entry never comes is counted.
    const QByteArray vms = "Directory DISK$SURVEY:[JOBS]\r\n\r\n"
                           "A-VERY-LONG-SURVEY-NAME.DATA;2\r\n"
                           "                      12   7-JUN-2024 21:22:33  [SURVEY]  (RWED,RWED,RE,)\r\n"
                           "A-VERY-LONG-SURVEY-NAME.DATA;1\r\n"
                           "                      10   6-JUN-2024 08:00:00  [SURVEY]  (RWED,RWED,RE,)\r\n"
                           "LOST.TXT;1\r\n"
                           "SUB.DIR;1   1   7-JUN-2024 21:22:33  [SURVEY]  (RWE,RWE,RE,RE)\r\n"
                           "ORPHAN.TXT;1\r\n";
    CFtpListContext context;
    context.m_eSystem = FTP_SYSTEM_VMS;
    unread = 0;
    const QList<CFtpListEntry> entries = ParseFtpListing(vms, context, &unread);
    EXPECT_EQ(Names(entries), (QStringList{u"A-VERY-LONG-SURVEY-NAME.DATA"_s, u"SUB/"_s}));
    EXPECT_EQ(entries.value(0).m_nSize, 12 * 512);
    EXPECT_EQ(unread, 2);

    // MLSD: CR LF ends a line; a lone CR stays in the name.
    const QByteArray mlsd = "type=cdir; /pub\r\n"
                            "type=file;size=3; caf\xe9\r\n"
                            "type=file;size=1; cr\rinside\r\n"
                            "no facts\r\n"
                            "type=dir; sub\n"
                            "type=file;size=9; unterminated";
    unread = 0;
    EXPECT_EQ(Names(ParseFtpMlsdListing(mlsd, &unread)), (QStringList{u"caf\u00e9"_s, u"cr\rinside"_s, u"sub/"_s}));
    EXPECT_EQ(unread, 1);
    EXPECT_TRUE(ParseFtpMlsdListing(QByteArray()).isEmpty());
}
