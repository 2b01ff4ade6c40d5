#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <map>
#include <memory>

namespace {

// A scripted server whose LIST and MLSD answers depend on the folder last
// entered, with the files given for RETR.
void FolderRules(CScriptedFtpServer& server, std::map<std::string, std::string> listings,
                 std::map<std::string, std::string> files)
{
    auto folder = std::make_shared<std::string>();
    DataRules(server);
    server.On("CWD ", [folder](CScriptedFtpServer& peer, const std::string& line) {
        *folder = line.substr(4);
        peer.Send("250 Directory successfully changed.\r\n");
    });
    server.On("MKD Job1", "550 Create directory operation failed."); // it is there already
    server.On("MKD ", "257 Created");
    // A listing "!reply" is refused with that reply; "*" lists any other folder.
    const auto list = [folder, listings](CScriptedFtpServer& peer, const std::string& line) {
        auto it = listings.find(*folder);
        if (it == listings.end())
            it = listings.find("*");
        const std::string listing = it == listings.end() ? std::string() : it->second;
        if (listing.rfind('!', 0) == 0)
            return void(peer.Send(listing.substr(1) + "\r\n"));
        SendFile(listing)(peer, line);
    };
    server.On("LIST", list);
    server.On("MLSD", list);
    server.On("RETR ", [files](CScriptedFtpServer& peer, const std::string& line) {
        const auto it = files.find(line.substr(5));
        if (it == files.end())
            return void(peer.Send("550 Failed to open file.\r\n"));
        SendFile(it->second)(peer, line);
    });
    server.On("STOR ", ReceiveFile());
    server.On("RNFR ", "350 Ready.");
    server.On("RNTO ", "250 Renamed.");
}

} // namespace

// Job1 (already on the server with a.txt and b.txt) and its Sub/X uploaded
// into Data: the folders are made depth first with the remote paths the copy
// builds ("\" and "//"), the files of each folder follow in list order, and
// each file already there is asked about. Copies may go in passive mode.
// The explorer reads the remote folder again before each file, with the
// listings' fixed pauses; a fast copy reads each folder once, without
// pauses, and sets the type once.
TEST(FtpFolderCopy, Upload)
{
    struct CMode
    {
        CFtpClient::ECopyMode m_eMode;
        const char* m_szFiles;  // the listings and transfers after the folders are made
        const char* m_szCancel; // the listings after them before "Cancel"
        size_t m_nTypes;        // "TYPE I" lines
    };
    for (const CMode& mode : {CMode{CFtpClient::COPY_AS_EXPLORER,
                                    "CWD /Data/Job1/|LIST|CWD /Data/Job1/|LIST|STOR /Data/Job1/.b.txt.tessaro-part|"
                                    "CWD /Data/Job1/Sub/X/|LIST|STOR /Data/Job1/Sub/X/.x.txt.tessaro-part|",
                                    "CWD /Data/Job1/|LIST", 12},
                              CMode{CFtpClient::COPY_FAST,
                                    "STOR /Data/Job1/.b.txt.tessaro-part|CWD /Data/Job1/Sub/X/|LIST|STOR "
                                    "/Data/Job1/Sub/X/.x.txt.tessaro-part|",
                                    "", 1}}) {
        SCOPED_TRACE(mode.m_eMode);
        CFtpTestServices services;
        QTemporaryDir dir;
        const QString top = dir.filePath(u"Job1"_s);
        ASSERT_TRUE(WriteFile(top + u"/a.txt"_s, "A"));
        ASSERT_TRUE(WriteFile(top + u"/b.txt"_s, "B"));
        ASSERT_TRUE(WriteFile(top + u"/.hidden"_s, "H"));
        ASSERT_TRUE(WriteFile(top + u"/Sub/X/x.txt"_s, "XX"));

        CScriptedFtpServer server;
        server.On("EPSV", "502 Not implemented.");
        FolderRules(
            server,
            {{"/Data/", UnixLine("d", "Job1")}, {"/Data/Job1/", UnixLine("-", "a.txt") + UnixLine("-", "b.txt")}}, {});
        services.m_prompt.PushFileExist({.m_bSkip = true});
        services.m_prompt.PushFileExist({.m_bOverwrite = true});
        WithClient(server, [&](CFtpClient& client) {
            client.m_eCopyMode = mode.m_eMode;
            client.m_bPassive = true;
            EXPECT_TRUE(client.UploadFolder(QDir::toNativeSeparators(top), u"Data"_s, u"Job1"_s));
            EXPECT_TRUE(client.m_aTransferFolders.isEmpty());
            EXPECT_TRUE(services.m_prompt.Idle());
            // "Cancel" stops before any further file; the work list stays.
            services.m_prompt.PushFileExist({.m_bCancel = true});
            EXPECT_FALSE(client.UploadFolder(top, u"Data"_s, u"Job1"_s));
            EXPECT_FALSE(client.m_aTransferFolders.isEmpty());
            EXPECT_TRUE(services.m_prompt.Idle());
        });
        const std::string folders = "CWD /Data|MKD Job1|CWD /Data/|LIST|CWD /Data/Job1/|LIST|CWD /Data/Job1|MKD Sub|"
                                    "CWD /Data/Job1/Sub/|LIST|CWD /Data/Job1/Sub|MKD X|";
        std::string expected = folders + mode.m_szFiles + folders + mode.m_szCancel;
        if (expected.back() == '|')
            expected.pop_back();
        EXPECT_EQ(Only(server.m_transcript, {"CWD", "MKD", "LIST", "STOR"}), Split(expected));
        // Listings and transfers all go in passive mode; EPSV is asked once.
        EXPECT_EQ(Only(server.m_transcript, {"PORT", "EPSV"}), Lines{"EPSV"});
        EXPECT_EQ(Only(server.m_transcript, {"TYPE"}).size(), mode.m_nTypes);
        EXPECT_EQ(services.m_clock.m_pauses.isEmpty(), mode.m_eMode == CFtpClient::COPY_FAST);
        EXPECT_EQ(server.m_uploads, (Lines{"B", "XX"}));
    }
}

// Names from the server that are not plain names never become local paths:
// each is refused through the Error prompt, the rest of the tree arrives.
// "Abort" in that prompt ends the whole copy. (MLSD names reach the same
// check: they are kept exactly as sent.) The explorer reads each folder
// twice, to find its subfolders and then its files; a fast copy once.
TEST(FtpFolderCopy, DownloadRefusesUnsafeNamesAndAborts)
{
    for (const auto& [modeCase, listings] :
         {std::pair{CFtpClient::COPY_AS_EXPLORER, 6u}, {CFtpClient::COPY_FAST, 3u}}) {
        const CFtpClient::ECopyMode mode = modeCase; // a copy: clang captures no structured bindings
        SCOPED_TRACE(mode);
        CFtpTestServices services;
        QTemporaryDir dir;
        CScriptedFtpServer server;
        FolderRules(server,
                    {{"/R/",
                      UnixLine("-", "a.txt") + UnixLine("-", "..") + UnixLine("-", "x\\y") + UnixLine("-", "../escape")
                          + UnixLine("-", "a/b") + UnixLine("d", "sub") + UnixLine("d", "..") + UnixLine("d", "up\\..")
                          + UnixLine("d", "sub/x")},
                     {"/R/sub/", UnixLine("-", "b.txt")},
                     {"/S/", UnixLine("-", "gone.txt") + UnixLine("-", "c.txt")}},
                    {{"/R/a.txt", "alpha"}, {"/R/sub/b.txt", "beta"}, {"/S/c.txt", "gamma"}});
        for (bool goOn : {true, true, true, true, false})
            services.m_prompt.PushError(goOn);
        WithClient(server, [&](CFtpClient& client) {
            client.m_eCopyMode = mode;
            EXPECT_FALSE(client.DownloadFolder(u"R"_s, dir.path(), u"Copy"_s)); // not everything could be copied
            EXPECT_FALSE(client.DownloadFolder(u"S"_s, dir.path(), u"Stop"_s));
            EXPECT_EQ(client.m_aTransferFolders, QStringList{u"S"_s});
        });
        EXPECT_TRUE(services.m_prompt.Idle()) << qPrintable(services.m_prompt.m_unexpected.join(u'|'));
        ASSERT_EQ(services.m_prompt.m_shown.size(), 5);
        EXPECT_TRUE(services.m_prompt.m_shown[0].contains(u"\"..\""_s)) << qPrintable(services.m_prompt.m_shown[0]);
        EXPECT_TRUE(services.m_prompt.m_shown[4].contains(u"550 Failed to open file."_s))
            << qPrintable(services.m_prompt.m_shown[4]);
        EXPECT_EQ(ReadFile(dir.filePath(u"Copy/a.txt"_s)), QByteArray("alpha"));
        EXPECT_EQ(ReadFile(dir.filePath(u"Copy/sub/b.txt"_s)), QByteArray("beta"));
        EXPECT_EQ(FilesBelow(dir.path(), true).keys(),
                  (QStringList{u"Copy/"_s, u"Copy/a.txt"_s, u"Copy/sub/"_s, u"Copy/sub/b.txt"_s, u"Stop/"_s}));
        EXPECT_EQ(Only(server.m_transcript, {"RETR"}), Split("RETR /R/a.txt|RETR /R/sub/b.txt|RETR /S/gone.txt"));
        EXPECT_EQ(Only(server.m_transcript, {"LIST"}).size(), listings);
    }
}

// A folder that cannot be read is not an empty one. The top folder fails the
// download before anything is made; a subfolder is asked about through the
// Error prompt like a failed file. An upload sends nothing into a folder
// whose listing failed: it cannot know what it would overwrite.
// Local names whose characters above U+00FF go out as CR LF, "/" or "..":
// uploaded as they are, they would send a command of the name's choosing or
// write elsewhere on the server. They are refused before anything is sent
// for them; the rest of the folder arrives and the copy reports the refusal.
TEST(FtpFolderCopy, UnreadableFoldersAndUnsafeNamesFailTheCopy)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    const QString top = dir.filePath(u"Job1"_s);
    ASSERT_TRUE(WriteFile(top + u"/a.txt"_s, "new"));
    const QString unsafe = dir.filePath(u"Job2"_s);
    ASSERT_TRUE(WriteFile(unsafe + u"/\u012E\u012E\u012Fup.txt"_s, "evil"));
    ASSERT_TRUE(WriteFile(unsafe + u"/s\u010D\u010ARMD victim/x.txt"_s, "evil"));
    ASSERT_TRUE(WriteFile(unsafe + u"/ok.txt"_s, "fine"));
    CScriptedFtpServer server;
    server.On("CWD /Refused/", "550 Failed to change directory.");
    server.On("CWD /R/sub/", "550 Failed to change directory.");
    FolderRules(server,
                {{"/R/", UnixLine("d", "sub") + UnixLine("-", "a.txt")},
                 {"/Data/", UnixLine("d", "Job1")},
                 {"/Data/Job1/", "!550 Permission denied."}},
                {{"/R/a.txt", "alpha"}});
    services.m_prompt.PushError(true); // go on without R/sub
    WithClient(server, [&](CFtpClient& client) {
        EXPECT_FALSE(client.DownloadFolder(u"Refused"_s, dir.path(), u"Nothing"_s));
        EXPECT_EQ(client.m_strReply, u"Can not read the remote folder \"Refused\": 550 Failed to change directory."_s);
        EXPECT_FALSE(client.DownloadFolder(u"R"_s, dir.path(), u"Part"_s));
        EXPECT_EQ(client.m_strReply, u"Can not read the remote folder \"R/sub\": 550 Failed to change directory."_s);
        EXPECT_FALSE(client.UploadFolder(top, u"Data"_s, u"Job1"_s));
        EXPECT_EQ(client.m_strReply, u"Can not read the remote folder \"Data/Job1/\": 550 Permission denied."_s);
        EXPECT_FALSE(client.UploadFolder(unsafe, u"Data"_s, u"Job2"_s));
        EXPECT_TRUE(client.m_strReply.startsWith(u"Refused the local name"_s)) << qPrintable(client.m_strReply);
        EXPECT_TRUE(client.m_aTransferFolders.isEmpty());
    });
    EXPECT_TRUE(services.m_prompt.Idle()) << qPrintable(services.m_prompt.m_unexpected.join(u'|'));
    EXPECT_EQ(services.m_prompt.m_shown.size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{u"Job1"_s, u"Job2"_s, u"Part"_s}));
    EXPECT_EQ(FilesBelow(dir.filePath(u"Part"_s), true).keys(), QStringList{u"a.txt"_s});
    EXPECT_EQ(Only(server.m_transcript, {"DELE", "RMD", "STOR", "MKD"}),
              Split("MKD Job1|MKD Job2|STOR /Data/Job2/.ok.txt.tessaro-part"));
    EXPECT_EQ(server.m_uploads, Lines{"fine"});
}

// Servers whose tree has no end: every folder lists a subfolder again, or
// lists the same one twice. The download stops with a clear text before
// anything is made; a folder listed twice is copied once. Removing such a
// tree stops the same way, before anything is deleted.
TEST(FtpFolderCopy, DownloadOfEndlessTreesStops)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    CScriptedFtpServer server;
    FolderRules(server,
                {{"/Twice/", UnixLine("d", "a") + UnixLine("d", "a")},
                 {"/Twice/a/", UnixLine("-", "x.txt")},
                 {"/Wide/", UnixLine("d", "1") + UnixLine("d", "2") + UnixLine("d", "3")},
                 {"/Wide/1/", ""},
                 {"/Wide/2/", ""},
                 {"/Wide/3/", ""},
                 {"*", UnixLine("d", "loop")}},
                {{"/Twice/a/x.txt", "x"}});
    QElapsedTimer timer;
    timer.start();
    WithClient(server, [&](CFtpClient& client) {
        EXPECT_FALSE(client.DownloadFolder(u"Loop"_s, dir.path(), u"Loop"_s));
        EXPECT_EQ(client.m_strReply, u"The remote folder tree is deeper than 64 levels"_s);
        EXPECT_TRUE(client.DownloadFolder(u"Twice"_s, dir.path(), u"Twice"_s)) << qPrintable(client.m_strReply);
        EXPECT_FALSE(client.RemoveRemoteTree(u"Loop"_s));
        EXPECT_EQ(client.m_strReply, u"The remote folder tree is deeper than 64 levels"_s);
        client.m_nMaxCopyFolders = 3;
        EXPECT_FALSE(client.DownloadFolder(u"Wide"_s, dir.path(), u"Wide"_s));
        EXPECT_EQ(client.m_strReply, u"The remote folder tree holds more than 3 folders"_s);
    });
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(FilesBelow(dir.path(), true).keys(), (QStringList{u"Twice/"_s, u"Twice/a/"_s, u"Twice/a/x.txt"_s}));
    EXPECT_EQ(ReadFile(dir.filePath(u"Twice/a/x.txt"_s)), QByteArray("x"));
    EXPECT_EQ(Only(server.m_transcript, {"CWD /Loop"}).size(), 2 * 64u);
    EXPECT_TRUE(Only(server.m_transcript, {"DELE", "RMD"}).empty());
    EXPECT_TRUE(services.m_prompt.Idle());
}

// A listing that never ends is cut at the size limit, and during a folder
// copy the Transfer window's Cancel stops it.
TEST(FtpFolderCopy, EndlessListingsAreBounded)
{
    CFtpTestServices services;
    CScriptedFtpServer server;
    server.On("CWD ", "250 Directory successfully changed.");
    DataRules(server);
    server.On("NOOP", "200 NOOP ok");
    server.On("LIST", OverData([](CScriptedFtpServer& peer) {
                  std::string block;
                  for (int i = 0; i < 1000; ++i)
                      block += UnixLine("-", "again and again " + std::to_string(i));
                  for (int sent = 0; sent < 200 * 1024 * 1024 && peer.SendData(block);
                       sent += static_cast<int>(block.size())) {}
              }));
    QTemporaryDir dir;
    WithClient(server, [&](CFtpClient& client) {
        client.m_nMaxListingBytes = 1024 * 1024;
        EXPECT_FALSE(client.ReadRemoteFolder(u"Data"_s));
        EXPECT_EQ(client.m_strReply, u"The folder listing is larger than 1 MiB"_s);
        EXPECT_TRUE(client.m_aRemoteFiles.isEmpty());
        EXPECT_TRUE(client.Command(u"NOOP"_s)); // still in step

        client.m_nMaxListingBytes = CFtpClient::kMaxListingBytes;
        services.m_progress.m_nCancelAtPoll = services.m_progress.m_nPolls + 20;
        EXPECT_FALSE(client.DownloadFolder(u"Data"_s, dir.path(), u"Copy"_s));
        EXPECT_TRUE(client.m_bCancelled);
        EXPECT_TRUE(client.Command(u"NOOP"_s));
    });
    EXPECT_EQ(services.m_progress.m_strText, u"/Data/"_s);
    EXPECT_TRUE(FilesBelow(dir.path(), true).isEmpty());
}
