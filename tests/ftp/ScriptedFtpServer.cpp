#include "ScriptedFtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

// Nothing in a test may hang for ever: every wait of the peer ends after this.
constexpr int kPeerWaitMs = 10000;

int ListenOnLoopback(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 5) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

bool WaitReadable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

int AcceptOne(int listener)
{
    if (!WaitReadable(listener, kPeerWaitMs))
        return -1;
    return ::accept(listener, nullptr, nullptr);
}

void SendAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

// One line up to LF; false when the client closed the connection.
bool ReadLine(int fd, std::string& line)
{
    line.clear();
    char c = 0;
    for (;;) {
        if (!WaitReadable(fd, kPeerWaitMs))
            return false;
        if (::recv(fd, &c, 1, 0) != 1)
            return false;
        if (c == '\n')
            break;
        line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

} // namespace

void CScriptedFtpServer::CSession::Send(const std::string& text)
{
    SendAll(m_nControl, text);
}

void CScriptedFtpServer::CSession::CloseControl()
{
    if (m_nControl >= 0)
        ::close(m_nControl);
    m_nControl = -1;
    m_bClosed = true;
}

std::string CScriptedFtpServer::CSession::Pasv()
{
    int port = 0;
    if (m_nPasvListener >= 0)
        ::close(m_nPasvListener);
    m_nPasvListener = ListenOnLoopback(port);
    char reply[128];
    std::snprintf(reply, sizeof reply, "227 Entering Passive Mode (127,0,0,1,%d,%d).\r\n", port / 256, port % 256);
    return reply;
}

bool CScriptedFtpServer::CSession::OpenData()
{
    CloseData();
    if (m_nPasvListener >= 0) {
        m_nData = AcceptOne(m_nPasvListener);
        ::close(m_nPasvListener);
        m_nPasvListener = -1;
        return m_nData >= 0;
    }
    int n[6] = {0};
    if (std::sscanf(m_strPortArgument.c_str(), "%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) != 6)
        return false;
    char host[32];
    std::snprintf(host, sizeof host, "%d.%d.%d.%d", n[0], n[1], n[2], n[3]);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(n[4] * 256 + n[5]));
    ::inet_pton(AF_INET, host, &address.sin_addr);
    m_nData = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(m_nData, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        CloseData();
        return false;
    }
    return true;
}

void CScriptedFtpServer::CSession::SendData(const std::string& bytes)
{
    SendAll(m_nData, bytes);
}

std::string CScriptedFtpServer::CSession::ReceiveData()
{
    std::string bytes;
    char block[4096];
    while (m_nData >= 0 && WaitReadable(m_nData, kPeerWaitMs)) {
        const ssize_t n = ::recv(m_nData, block, sizeof block, 0);
        if (n <= 0)
            break;
        bytes.append(block, static_cast<size_t>(n));
    }
    return bytes;
}

void CScriptedFtpServer::CSession::CloseData()
{
    if (m_nData >= 0)
        ::close(m_nData);
    m_nData = -1;
}

void CScriptedFtpServer::CSession::Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

CScriptedFtpServer::CScriptedFtpServer(std::string greeting) : m_strGreeting(std::move(greeting)) {}

CScriptedFtpServer::~CScriptedFtpServer()
{
    Join();
    if (m_nListener >= 0)
        ::close(m_nListener);
}

void CScriptedFtpServer::Queue(const std::vector<std::string>& replies)
{
    for (const std::string& reply : replies)
        m_queue.push_back(reply + "\r\n");
}

void CScriptedFtpServer::On(const std::string& prefix, Handler handler)
{
    m_rules.emplace_back(prefix, std::move(handler));
}

void CScriptedFtpServer::On(const std::string& prefix, const std::string& reply)
{
    On(prefix, [reply](CSession& session, const std::string&) { session.Send(reply + "\r\n"); });
}

void CScriptedFtpServer::Start()
{
    m_nListener = ListenOnLoopback(m_nPort);
    m_thread = std::thread([this] { Serve(); });
}

void CScriptedFtpServer::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void CScriptedFtpServer::Serve()
{
    CSession& session = m_session;
    session.m_nControl = AcceptOne(m_nListener);
    if (session.m_nControl < 0)
        return;
    m_bConnected = true;
    session.Send(m_strGreeting);
    size_t next = 0;
    std::string line;
    while (!session.m_bClosed && ReadLine(session.m_nControl, line)) {
        m_transcript.push_back(line);
        if (line.rfind("PORT ", 0) == 0)
            session.m_strPortArgument = line.substr(5);
        bool handled = false;
        for (auto& [prefix, handler] : m_rules) {
            if (line.rfind(prefix, 0) == 0) {
                handler(session, line);
                handled = true;
                break;
            }
        }
        if (!handled)
            session.Send(next < m_queue.size() ? m_queue[next++] : std::string("502 Not scripted\r\n"));
    }
    session.CloseData();
    if (session.m_nPasvListener >= 0)
        ::close(session.m_nPasvListener);
    session.CloseControl();
}

namespace ScriptedFtp {

CScriptedFtpServer::Handler SendFile(std::string content)
{
    return [content](CScriptedFtpServer::CSession& session, const std::string&) {
        session.Send("150 Opening BINARY mode data connection.\r\n");
        if (!session.OpenData()) {
            session.Send("425 Can't open data connection.\r\n");
            return;
        }
        session.SendData(content);
        session.CloseData();
        session.Send("226 Transfer complete.\r\n");
    };
}

CScriptedFtpServer::Handler ReceiveFile()
{
    return [](CScriptedFtpServer::CSession& session, const std::string&) {
        session.Send("150 Ok to send data.\r\n");
        if (!session.OpenData()) {
            session.Send("425 Can't open data connection.\r\n");
            return;
        }
        session.m_uploads.push_back(session.ReceiveData());
        session.CloseData();
        session.Send("226 Transfer complete.\r\n");
    };
}

} // namespace ScriptedFtp
