// Transfers that break and go on: downloads and uploads against the scripted
// peer, paced by the virtual clock.
#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <numeric>
#include <optional>

namespace {

// A logon whose FEAT names the features; RETR sends, from the last REST
// offset, what the attempts say one after the other ("10 426|40 226": ten
// bytes, then the closing reply 426; the last one repeats). A 5xx refuses.
void ResumableServer(CScriptedFtpServer& server, std::string feat, std::string content, std::string attempts)
{
    LogonRules(server);
    DataRules(server);
    server.On("FEAT", Reply("211-Features:\r\n" + feat + "211 End\r\n"));
    server.On("SYST", "215 UNIX Type: L8");
    server.On("REST ", [](CScriptedFtpServer& peer, const std::string&) { peer.Send("350 Restarting.\r\n"); });
    server.On("RETR",
              [content, attempts = Split(attempts), next = size_t(0)](CScriptedFtpServer& peer,
                                                                      const std::string& line) mutable {
                  const std::string rest =
                      peer.m_transcript.size() > 1 ? peer.m_transcript[peer.m_transcript.size() - 2] : "";
                  const size_t offset = rest.rfind("REST ", 0) == 0 ? std::stoul(rest.substr(5)) : 0;
                  const std::string attempt = attempts.at(std::min(next++, attempts.size() - 1));
                  const std::string closing = attempt.substr(attempt.find(' ') + 1) + " Closing.";
                  if (closing[0] == '5')
                      return void(peer.Send(closing + "\r\n"));
                  SendFile(content.substr(offset, std::stoul(attempt)), closing)(peer, line);
              });
}

// Sets the cancel at the poll after the first pause.
class CCancellingClock : public CVirtualClock
{
public:
    explicit CCancellingClock(CRecordingProgress& progress) : m_progress(progress) {}
    void Sleep(int ms) override
    {
        CVirtualClock::Sleep(ms);
        m_progress.m_nCancelAtPoll = m_progress.m_nPolls + 1;
    }
    CRecordingProgress& m_progress;
};

} // namespace

// A download whose data connection breaks (426) goes on from the bytes that
// arrived, paced by the policy; a refusal, a size or checksum that differs,
// and a cancel in a pause fail and keep the older file.
TEST(FtpTransfer, BrokenDownloadsResume)
{
    const std::string content = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    const std::string sha256 =
        QCryptographicHash::hash(QByteArray::fromStdString(content), QCryptographicHash::Sha256).toHex().toStdString();
    const std::string rest = " REST STREAM\r\n SIZE\r\n";
    struct CCase
    {
        const char* m_szWhat;
        std::string m_strFeat;
        const char* m_szAttempts;         // as ResumableServer takes them
        std::string m_strSize, m_strHash; // replies; "" for none
        bool m_bCancelInPause;
        bool m_bDone;
        int m_nPausedMs;       // the pauses' sum (the policy's table shows them one by one)
        const char* m_szRests; // the REST lines, "|" between
        const char* m_szReply; // the start of the text left
    };
    const std::string xsha = rest + " XSHA256\r\n", hash = rest + " HASH SHA-256*\r\n";
    const CCase cases[] = {
        {"progress starts the count again", rest, "10 426|10 426|0 426|40 226", "213 40", "", false, true, 6000,
         "REST 10|REST 20|REST 20", "226"},
        {"three attempts in a row bring nothing", rest, "10 426|0 426", "213 40", "", false, false, 20000,
         "REST 10|REST 10|REST 10", "426"},
        {"a 226 for less than the server holds", rest, "30 226|40 226", "213 40", "", false, true, 1000, "REST 30",
         "226"},
        {"no REST STREAM: one new start", " SIZE\r\n", "10 426|40 226", "213 40", "", false, true, 1000, "", "226"},
        {"no REST STREAM: a second break fails", "", "10 426", "", "", false, false, 1000, "", "426"},
        {"a refusal is not a break", rest, "0 550", "213 40", "", false, false, 0, "", "550"},
        {"more than the server holds", rest, "40 226", "213 39", "", false, false, 0, "",
         "The server holds 39 bytes, but 40 arrived"},
        {"a checksum that differs", xsha, "40 226", "213 40", "250 " + std::string(64, 'e'), false, false, 0, "",
         "The XSHA256 checksum"},
        {"the same checksum", hash, "40 226", "213 40", "213 SHA-256 0-39 " + sha256 + " a.bin", false, true, 0, "",
         "226"},
        {"cancelled in a pause", rest, "10 426", "213 40", "", true, false, 100, "", "Cancelled"},
    };
    for (const CCase& c : cases) {
        CFtpTestServices services;
        CCancellingClock cancelling(services.m_progress);
        std::optional<CScopedServices> cancelScope;
        if (c.m_bCancelInPause)
            cancelScope.emplace(&cancelling, &services.m_prompt, &services.m_progress);
        QTemporaryDir dir;
        const QString target = dir.filePath(u"a.bin"_s);
        ASSERT_TRUE(WriteFile(target, "older"));
        CScriptedFtpServer server;
        ResumableServer(server, c.m_strFeat, content, c.m_szAttempts);
        server.On("SIZE", Reply(c.m_strSize + "\r\n"));
        server.On("XSHA256", Reply(c.m_strHash + "\r\n"));
        server.On("HASH", Reply(c.m_strHash + "\r\n"));
        bool done = false;
        QString reply;
        WithLoggedOnClient(server, [&](CFtpClient& client) {
            done = client.TransferFile(u"/a.bin"_s, target, true, true);
            reply = client.m_strReply;
        });
        EXPECT_EQ(done, c.m_bDone) << c.m_szWhat;
        EXPECT_TRUE(reply.startsWith(QLatin1String(c.m_szReply))) << c.m_szWhat << ": " << qPrintable(reply);
        EXPECT_EQ(ReadFile(target), c.m_bDone ? QByteArray::fromStdString(content) : QByteArray("older")) << c.m_szWhat;
        EXPECT_EQ(FilesBelow(dir.path()).keys(), QStringList{u"a.bin"_s}) << c.m_szWhat;
        const QList<int>& slices = (c.m_bCancelInPause ? cancelling : services.m_clock).m_pauses;
        EXPECT_EQ(std::accumulate(slices.begin(), slices.end(), 0), c.m_nPausedMs) << c.m_szWhat;
        EXPECT_EQ(Only(server.m_transcript, {"REST"}), Split(c.m_szRests)) << c.m_szWhat;
        if (c.m_bDone) {
            EXPECT_EQ(services.m_progress.m_nBytes, qint64(content.size())) << c.m_szWhat;
        }
    }
}

// An upload cut off (426) goes on with REST from what the server holds of the
// hidden name, or with APPE where the server refuses REST before STOR; one
// whose checksum differs is removed and replaces nothing.
TEST(FtpTransfer, BrokenUploadsResume)
{
    const std::string content = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    const std::string part = "/.a.bin.tessaro-part";
    const std::tuple<bool, bool, std::string> cases[] = {
        {true, false, "STOR " + part + "|REST 12|STOR " + part + "|RNFR " + part},
        {true, true, "STOR " + part + "|REST 12|APPE " + part + "|RNFR " + part},
        {false, false, "STOR " + part + "|REST 12|STOR " + part + "|DELE " + part},
    };
    for (const auto& [sameHashCase, refuseRest, expected] : cases) {
        const bool sameHash = sameHashCase; // a copy: clang captures no structured bindings
        CFtpTestServices services;
        QTemporaryDir dir;
        const QString source = dir.filePath(u"a.bin"_s);
        ASSERT_TRUE(WriteFile(source, QByteArray::fromStdString(content)));
        CScriptedFtpServer server;
        if (refuseRest)
            server.On("REST", "502 REST is for RETR only.");
        ResumableServer(server, " REST STREAM\r\n SIZE\r\n XCRC\r\n", content, "");
        std::string held;
        bool cut = true; // the first STOR is cut off
        const auto receive = [&held, &cut](CScriptedFtpServer& peer, const std::string& line) {
            const bool first = std::exchange(cut, false);
            const auto take = [&](CScriptedFtpServer& p) { held += first ? p.ReceiveSome(12) : p.ReceiveData(); };
            OverData(take, first ? "426 Aborted." : "226 Done.")(peer, line);
        };
        server.On("STOR", receive);
        server.On("APPE", receive);
        server.On("SIZE", [&held](CScriptedFtpServer& peer, const std::string&) {
            peer.Send("213 " + std::to_string(held.size()) + "\r\n");
        });
        server.On("XCRC", Reply(sameHash ? "250 76061C51\r\n" : "250 00000000\r\n"));
        server.On("DELE", "250 Deleted.");
        server.On("RNFR", "350 Ready.");
        server.On("RNTO", "250 Renamed.");
        WithLoggedOnClient(server, [&](CFtpClient& client) {
            EXPECT_EQ(client.TransferFile(u"/a.bin"_s, source, true, false), sameHash) << qPrintable(client.m_strReply);
        });
        EXPECT_EQ(held, content);
        EXPECT_EQ(Only(server.m_transcript, {"REST", "STOR", "APPE", "DELE", "RNFR"}), Split(expected));
        EXPECT_EQ(services.m_clock.m_pauses.size(), 10); // one pause of 1 s
    }
}
