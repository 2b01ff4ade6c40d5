#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

using CSession = CScriptedFtpServer::CSession;

// A scripted server whose LIST answers depend on the folder last entered.
void FolderRules(CScriptedFtpServer& server, std::map<std::string, std::string> listings,
                 std::map<std::string, std::string> files)
{
    auto folder = std::make_shared<std::string>();
    server.On("TYPE I", "200 Switching to Binary mode.");
    server.On("PORT ", "200 PORT command successful.");
    server.On("CWD ", [folder](CSession& session, const std::string& line) {
        *folder = line.substr(4);
        session.Send("250 Directory successfully changed.\r\n");
    });
    server.On("MKD ", "257 Created");
    server.On("LIST", [folder, listings](CSession& session, const std::string& line) {
        const auto it = listings.find(*folder);
        ScriptedFtp::SendFile(it == listings.end() ? std::string() : it->second)(session, line);
    });
    server.On("RETR ", [files](CSession& session, const std::string& line) {
        const auto it = files.find(line.substr(5));
        if (it == files.end()) {
            session.Send("550 Failed to open file.\r\n");
            return;
        }
        ScriptedFtp::SendFile(it->second)(session, line);
    });
    server.On("STOR ", ScriptedFtp::ReceiveFile());
}

std::vector<std::string> Only(const std::vector<std::string>& transcript, std::initializer_list<const char*> prefixes)
{
    std::vector<std::string> lines;
    for (const std::string& line : transcript) {
        for (const char* prefix : prefixes) {
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        }
    }
    return lines;
}

std::string UnixLine(const char* kind, const std::string& name)
{
    return std::string(kind) + "rw-r--r--    1 0        0            4096 Dec 06 21:16 " + name + "\r\n";
}

} // namespace

// Job1 with Sub, which holds X, uploaded into Data: the folders are made
// depth first with the remote paths the copy builds ("\" and "//"), and the
// files of each folder follow in list order.
TEST(FtpFolderCopy, UploadTranscript)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    const QString top = dir.filePath(QStringLiteral("Job1"));
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/Sub/X")));
    ASSERT_TRUE(WriteAll(top + QStringLiteral("/a.txt"), "A"));
    ASSERT_TRUE(WriteAll(top + QStringLiteral("/.hidden"), "H"));
    ASSERT_TRUE(WriteAll(top + QStringLiteral("/Sub/X/x.txt"), "XX"));

    CScriptedFtpServer server;
    FolderRules(server, {}, {});
    server.Start();
    bool result = false;
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));
        result = client.UploadFolder(QDir::toNativeSeparators(top), QStringLiteral("Data"), QStringLiteral("Job1"));
        EXPECT_TRUE(client.m_aTransferFolders.isEmpty());
        client.CloseControlChannel();
    }
    server.Join();
    EXPECT_TRUE(result);
    EXPECT_EQ(Only(server.m_transcript, {"CWD", "MKD", "STOR"}),
              (std::vector<std::string>{
                  "CWD /Data", "MKD Job1",
                  "CWD /Data/Job1/", "CWD /Data/Job1", "MKD Sub",
                  "CWD /Data/Job1//Sub/", "CWD /Data/Job1//Sub", "MKD X",
                  "CWD /Data/Job1/", "STOR /Data/Job1/a.txt",
                  "CWD /Data/Job1/Sub/X/", "STOR /Data/Job1/Sub/X/x.txt",
              }));
    EXPECT_EQ(server.m_session.m_uploads, (std::vector<std::string>{"A", "XX"}));
}

// Names from the server that are not plain names never become local paths:
// each is refused through the Error prompt, the rest of the tree arrives.
TEST(FtpFolderCopy, DownloadRefusesUnsafeNames)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    CScriptedFtpServer server;
    FolderRules(server,
                {{"/R/", UnixLine("-", "a.txt") + UnixLine("-", "..") + UnixLine("-", "x\\y") + UnixLine("d", "sub")
                             + UnixLine("d", "..") + UnixLine("d", "up\\..")},
                 {"/R/sub/", UnixLine("-", "b.txt")}},
                {{"/R/a.txt", "alpha"}, {"/R/sub/b.txt", "beta"}});
    server.Start();
    services.m_prompt.PushError(true);
    services.m_prompt.PushError(true);
    bool result = true;
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));
        result = client.DownloadFolder(QStringLiteral("R"), dir.path(), QStringLiteral("Copy"));
        client.CloseControlChannel();
    }
    server.Join();
    EXPECT_FALSE(result);   // not everything could be copied
    EXPECT_TRUE(services.m_prompt.Idle()) << qPrintable(services.m_prompt.m_unexpected.join(QLatin1Char('|')));
    ASSERT_EQ(services.m_prompt.m_shown.size(), 2);
    EXPECT_TRUE(services.m_prompt.m_shown[0].contains(QStringLiteral("\"..\""))) << qPrintable(services.m_prompt.m_shown[0]);
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("Copy/a.txt"))), QByteArray("alpha"));
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("Copy/sub/b.txt"))), QByteArray("beta"));
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("Copy")});
    EXPECT_EQ(FolderEntries(dir.filePath(QStringLiteral("Copy"))), (QStringList{QStringLiteral("a.txt"), QStringLiteral("sub")}));
    EXPECT_EQ(Only(server.m_transcript, {"RETR"}), (std::vector<std::string>{"RETR /R/a.txt", "RETR /R/sub/b.txt"}));
}

// "Abort" in the Error prompt ends the whole copy.
TEST(FtpFolderCopy, DownloadAbort)
{
    CFtpTestServices services;
    QTemporaryDir dir;
    CScriptedFtpServer server;
    FolderRules(server, {{"/R/", UnixLine("-", "gone.txt") + UnixLine("-", "b.txt")}}, {{"/R/b.txt", "beta"}});
    server.Start();
    services.m_prompt.PushError(false);
    {
        CFtpClient client;
        ASSERT_TRUE(ConnectTo(client, server));
        EXPECT_FALSE(client.DownloadFolder(QStringLiteral("R"), dir.path(), QStringLiteral("Copy")));
        EXPECT_EQ(client.m_aTransferFolders, QStringList{QStringLiteral("R")});
        client.CloseControlChannel();
    }
    server.Join();
    ASSERT_EQ(services.m_prompt.m_shown.size(), 1);
    EXPECT_TRUE(services.m_prompt.m_shown[0].contains(QStringLiteral("550 Failed to open file."))) << qPrintable(services.m_prompt.m_shown[0]);
    EXPECT_TRUE(FolderEntries(dir.filePath(QStringLiteral("Copy"))).isEmpty());
}
