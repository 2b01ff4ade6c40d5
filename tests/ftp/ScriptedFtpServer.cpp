#include "ScriptedFtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Nothing in a test may hang for ever: every wait of the peer ends after this.
constexpr int kPeerWaitMs = 10000;

bool WaitReadable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

bool SendAll(int fd, const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = fd < 0 ? -1 : ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return fd >= 0;
}

int ListenOnLoopback(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 5);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

int AcceptOne(int listener)
{
    return WaitReadable(listener, kPeerWaitMs) ? ::accept(listener, nullptr, nullptr) : -1;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

CScriptedFtpServer::~CScriptedFtpServer()
{
    Join();
    CloseFd(m_nListener);
}

void CScriptedFtpServer::On(const std::string& prefix, const std::string& reply)
{
    On(prefix, [reply](CScriptedFtpServer& server, const std::string&) { server.Send(reply + "\r\n"); });
}

void CScriptedFtpServer::Start()
{
    m_nListener = ListenOnLoopback(m_nPort);
    m_thread = std::thread([this] { Serve(); });
}

bool CScriptedFtpServer::Send(const std::string& text)
{
    return SendAll(m_nControl, text);
}

void CScriptedFtpServer::CloseControl()
{
    CloseFd(m_nControl);
}

std::string CScriptedFtpServer::Pasv()
{
    int port = 0;
    CloseFd(m_nPasvListener);
    m_nPasvListener = ListenOnLoopback(port);
    return "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256)
        + ").\r\n";
}

bool CScriptedFtpServer::OpenData()
{
    CloseData();
    if (m_nPasvListener >= 0) {
        m_nData = AcceptOne(m_nPasvListener);
        CloseFd(m_nPasvListener);
        return m_nData >= 0;
    }
    int n[6] = {0};
    if (std::sscanf(m_strPortArgument.c_str(), "%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) != 6)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(n[4] * 256 + n[5]));
    address.sin_addr.s_addr = htonl(static_cast<uint32_t>(n[0] << 24 | n[1] << 16 | n[2] << 8 | n[3]));
    m_nData = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(m_nData, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return true;
    CloseData();
    return false;
}

bool CScriptedFtpServer::SendData(const std::string& bytes)
{
    return SendAll(m_nData, bytes);
}

std::string CScriptedFtpServer::ReceiveData()
{
    std::string bytes;
    char block[4096];
    ssize_t n = 0;
    while (m_nData >= 0 && WaitReadable(m_nData, kPeerWaitMs) && (n = ::recv(m_nData, block, sizeof block, 0)) > 0)
        bytes.append(block, static_cast<size_t>(n));
    return bytes;
}

void CScriptedFtpServer::CloseData()
{
    CloseFd(m_nData);
}

void CScriptedFtpServer::Serve()
{
    if ((m_nControl = AcceptOne(m_nListener)) < 0)
        return;
    Send(m_strGreeting);
    size_t next = 0;
    std::string line;
    char c = 0;
    while (m_nControl >= 0 && WaitReadable(m_nControl, kPeerWaitMs) && ::recv(m_nControl, &c, 1, 0) == 1) {
        if (c != '\n') {
            line.push_back(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        m_transcript.push_back(line);
        if (line.rfind("PORT ", 0) == 0)
            m_strPortArgument = line.substr(5);
        auto rule = m_rules.begin();
        while (rule != m_rules.end() && line.rfind(rule->first, 0) != 0)
            ++rule;
        if (rule != m_rules.end())
            rule->second(*this, line);
        else
            Send(next < m_queue.size() ? m_queue[next++] + "\r\n" : std::string("502 Not scripted\r\n"));
        line.clear();
    }
    CloseData();
    CloseFd(m_nPasvListener);
    CloseControl();
}

namespace ScriptedFtp {

CScriptedFtpServer::Handler SendFile(std::string content)
{
    return [content](CScriptedFtpServer& server, const std::string&) {
        server.Send("150 Opening BINARY mode data connection.\r\n");
        if (!server.OpenData())
            return void(server.Send("425 Can't open data connection.\r\n"));
        server.SendData(content);
        server.CloseData();
        server.Send("226 Transfer complete.\r\n");
    };
}

CScriptedFtpServer::Handler ReceiveFile()
{
    return [](CScriptedFtpServer& server, const std::string&) {
        server.Send("150 Ok to send data.\r\n");
        if (!server.OpenData())
            return void(server.Send("425 Can't open data connection.\r\n"));
        server.m_uploads.push_back(server.ReceiveData());
        server.CloseData();
        server.Send("226 Transfer complete.\r\n");
    };
}

} // namespace ScriptedFtp
