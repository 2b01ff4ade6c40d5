#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// A scripted FTP peer for the client's tests. The client blocks the test's
// thread while it waits, so the peer runs on a thread of its own with plain
// sockets. It accepts one control connection on 127.0.0.1, sends the
// greeting, records every command line and answers it: first by a rule whose
// prefix matches the line, else with the next queued reply, else "502".
// Data connections go to the address of the last PORT command (active mode)
// or come to the listener of the last PASV or EPSV command (passive mode).
// The transcript may be read after Join(), which waits until the client has
// closed the control connection (the last of m_nConnections, taken one after
// the other; each starts in the transcript with a line "--").
class CScriptedFtpServer
{
public:
    using Handler = std::function<void(CScriptedFtpServer&, const std::string& line)>;

    explicit CScriptedFtpServer(std::string greeting = "220 Scripted server ready\r\n")
        : m_strGreeting(std::move(greeting))
    {}
    ~CScriptedFtpServer();

    void Queue(const std::vector<std::string>& replies)
    {
        m_queue.insert(m_queue.end(), replies.begin(), replies.end());
    }
    void On(const std::string& prefix, Handler handler) { m_rules.emplace_back(prefix, std::move(handler)); }
    void On(const std::string& prefix, const std::string& reply);
    void Start();
    int Port() const { return m_nPort; }
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    // For rules, on the peer's thread.
    bool Send(const std::string& text); // sent as it stands; false once the client has gone
    void CloseControl();
    // The 227 reply line for a new listener on 127.0.0.1 (on port, if not 0),
    // naming shownAddress ("127,0,0,1") as the data host.
    std::string Pasv(const std::string& shownAddress = "127,0,0,1", int port = 0);
    std::string Epsv(); // the 229 reply line for a new listener
    bool OpenData();
    bool SendData(const std::string& bytes);
    std::string ReceiveData();            // until the client closes it
    std::string ReceiveSome(size_t most); // what one read brings
    void CloseData();
    // Someone else on the machine, from 127.0.0.2, connects to the address
    // of the last PORT command first and sends bytes.
    bool StrangerConnects(const std::string& bytes);
    void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    int m_nConnections = 1;                // set before Start
    std::vector<std::string> m_transcript; // lines without CR LF
    std::vector<std::string> m_uploads;    // data taken by ReceiveFile

private:
    void Serve();
    void ServeConnection();
    int ConnectToPortAddress(const char* source);

    std::string m_strGreeting;
    std::string m_strPortArgument;
    std::vector<std::string> m_queue;
    size_t m_nNext = 0; // of m_queue
    std::vector<std::pair<std::string, Handler>> m_rules;
    int m_nListener = -1;
    int m_nPort = 0;
    int m_nControl = -1;
    int m_nData = -1;
    int m_nPasvListener = -1;
    std::thread m_thread;
};

// Listens on a free port of a loopback address ("127.0.0.2"), or on the given
// port; -1 when that fails.
int ListenOn(const char* address, int& port);
bool HasPendingConnection(int listener);

namespace ScriptedFtp {
using Lines = std::vector<std::string>;
// "USER u|PASS p" as {"USER u", "PASS p"}; "" as none.
Lines Split(const std::string& text);
// The text sent as it stands, for replies that a rule with a prefix cannot give.
CScriptedFtpServer::Handler Reply(std::string text);
// "200" to TYPE I and PORT, a new listener for PASV and EPSV. Rules added
// before these take precedence.
void DataRules(CScriptedFtpServer& server);
// "331" to USER, "230" to PASS and "221" to QUIT.
void LogonRules(CScriptedFtpServer& server);
// The lines that start with one of the prefixes ("" takes all); a PORT line
// without its argument, which holds a random port.
Lines Only(const Lines& transcript, std::initializer_list<const char*> prefixes);
// "150", the exchange on a fresh data connection ("425" instead when none
// comes), close it, then the closing reply.
CScriptedFtpServer::Handler OverData(std::function<void(CScriptedFtpServer&)> exchange,
                                     std::string closing = "226 Transfer complete.");
// The content sent over data.
CScriptedFtpServer::Handler SendFile(std::string content, std::string closing = "226 Transfer complete.");
// The data taken until the client closes, into m_uploads.
CScriptedFtpServer::Handler ReceiveFile();
} // namespace ScriptedFtp
