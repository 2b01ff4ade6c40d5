#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

// A scripted FTP peer for the client's tests. The client blocks the test's
// thread while it waits, so the peer runs on a thread of its own with plain
// sockets. It accepts one control connection on 127.0.0.1, sends the
// greeting, records every command line and answers it: first by a rule whose
// prefix matches the line, else with the next queued reply, else "502".
// The transcript may be read after Join(), which waits until the client has
// closed the control connection.
class CScriptedFtpServer
{
public:
    class CSession;
    using Handler = std::function<void(CSession&, const std::string& line)>;

    // The peer's side of one control connection, handed to rules.
    class CSession
    {
    public:
        void Send(const std::string& text);      // sent as it stands
        void CloseControl();
        // Data connections: active mode connects to the last PORT address,
        // passive mode accepts on the listener that Pasv() opened.
        std::string Pasv();                      // the 227 reply line for it
        bool OpenData();
        void SendData(const std::string& bytes);
        std::string ReceiveData();               // until the client closes it
        void CloseData();
        void Pause(int ms);

        std::string m_strPortArgument;
        std::vector<std::string> m_uploads;      // data taken by ReceiveFile
        int m_nControl = -1;
        int m_nData = -1;
        int m_nPasvListener = -1;
        bool m_bClosed = false;
    };

    explicit CScriptedFtpServer(std::string greeting = "220 Scripted server ready\r\n");
    ~CScriptedFtpServer();

    void Queue(const std::vector<std::string>& replies);
    void On(const std::string& prefix, Handler handler);
    void On(const std::string& prefix, const std::string& reply);

    void Start();
    int Port() const { return m_nPort; }
    void Join();

    std::vector<std::string> m_transcript;   // lines without CR LF
    CSession m_session;
    bool m_bConnected = false;

private:
    void Serve();

    std::string m_strGreeting;
    std::vector<std::string> m_queue;
    std::vector<std::pair<std::string, Handler>> m_rules;
    int m_nListener = -1;
    int m_nPort = 0;
    std::thread m_thread;
};

// Rules for the usual data commands.
namespace ScriptedFtp {
// "150", the data on a fresh data connection, close, then "226".
CScriptedFtpServer::Handler SendFile(std::string content);
// "150", take the data until the client closes, then "226".
CScriptedFtpServer::Handler ReceiveFile();
}
