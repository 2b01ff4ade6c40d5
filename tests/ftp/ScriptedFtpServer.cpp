#include "ScriptedFtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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

sockaddr_in LoopbackAddress(const char* address, int port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, address, &result.sin_addr);
    return result;
}

// Replies go out at once: no waiting for the client's delayed ACK.
void NoDelay(int fd)
{
    const int yes = 1;
    if (fd >= 0)
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

int AcceptOne(int listener)
{
    const int fd = WaitReadable(listener, kPeerWaitMs) ? ::accept(listener, nullptr, nullptr) : -1;
    NoDelay(fd);
    return fd;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

int ListenOn(const char* address, int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in bound = LoopbackAddress(address, port);
    socklen_t length = sizeof bound;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 || ::listen(fd, 5) != 0) {
        ::close(fd);
        return -1;
    }
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    port = ntohs(bound.sin_port);
    return fd;
}

bool HasPendingConnection(int listener)
{
    return WaitReadable(listener, 0);
}

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
    m_nListener = ListenOn("127.0.0.1", m_nPort);
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

std::string CScriptedFtpServer::Pasv(const std::string& shownAddress, int port)
{
    CloseFd(m_nPasvListener);
    m_nPasvListener = ListenOn("127.0.0.1", port);
    return "227 Entering Passive Mode (" + shownAddress + "," + std::to_string(port / 256) + ","
        + std::to_string(port % 256) + ").\r\n";
}

std::string CScriptedFtpServer::Epsv()
{
    int port = 0;
    CloseFd(m_nPasvListener);
    m_nPasvListener = ListenOn("127.0.0.1", port);
    return "229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)\r\n";
}

bool CScriptedFtpServer::OpenData()
{
    CloseData();
    if (m_nPasvListener >= 0) {
        m_nData = AcceptOne(m_nPasvListener);
        CloseFd(m_nPasvListener);
        return m_nData >= 0;
    }
    m_nData = ConnectToPortAddress("127.0.0.1");
    return m_nData >= 0;
}

int CScriptedFtpServer::ConnectToPortAddress(const char* source)
{
    int n[6] = {0};
    if (std::sscanf(m_strPortArgument.c_str(), "%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) != 6)
        return -1;
    const std::string host =
        std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." + std::to_string(n[3]);
    sockaddr_in address = LoopbackAddress(host.c_str(), n[4] * 256 + n[5]);
    sockaddr_in from = LoopbackAddress(source, 0);
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0
        || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        CloseFd(fd);
    return fd;
}

bool CScriptedFtpServer::StrangerConnects(const std::string& bytes)
{
    int fd = ConnectToPortAddress("127.0.0.2");
    const bool sent = SendAll(fd, bytes);
    CloseFd(fd);
    return sent;
}

bool CScriptedFtpServer::SendData(const std::string& bytes)
{
    return SendAll(m_nData, bytes);
}

std::string CScriptedFtpServer::ReceiveData()
{
    std::string bytes;
    for (std::string block; !(block = ReceiveSome(4096)).empty();)
        bytes += block;
    return bytes;
}

std::string CScriptedFtpServer::ReceiveSome(size_t most)
{
    std::string bytes(most, '\0');
    const ssize_t n = m_nData >= 0 && WaitReadable(m_nData, kPeerWaitMs) ? ::recv(m_nData, bytes.data(), most, 0) : 0;
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return bytes;
}

void CScriptedFtpServer::CloseData()
{
    CloseFd(m_nData);
}

void CScriptedFtpServer::Serve()
{
    for (int i = 0; i < m_nConnections; ++i) {
        if ((m_nControl = AcceptOne(m_nListener)) < 0)
            return;
        if (m_nConnections > 1)
            m_transcript.push_back("--");
        ServeConnection();
    }
}

void CScriptedFtpServer::ServeConnection()
{
    Send(m_strGreeting);
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
            Send(m_nNext < m_queue.size() ? m_queue[m_nNext++] + "\r\n" : std::string("502 Not scripted\r\n"));
        line.clear();
    }
    CloseData();
    CloseFd(m_nPasvListener);
    CloseControl();
}

namespace ScriptedFtp {

Lines Split(const std::string& text)
{
    Lines lines;
    for (size_t start = 0, end = 0; start < text.size(); start = end + 1) {
        end = std::min(text.find('|', start), text.size());
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

CScriptedFtpServer::Handler Reply(std::string text)
{
    return [text](CScriptedFtpServer& server, const std::string&) { server.Send(text); };
}

void DataRules(CScriptedFtpServer& server)
{
    server.On("TYPE I", "200 Switching to Binary mode.");
    server.On("PORT ", "200 PORT command successful. Consider using PASV.");
    server.On("EPSV", [](CScriptedFtpServer& peer, const std::string&) { peer.Send(peer.Epsv()); });
    server.On("PASV", [](CScriptedFtpServer& peer, const std::string&) { peer.Send(peer.Pasv()); });
}

void LogonRules(CScriptedFtpServer& server)
{
    server.On("USER ", "331 Please specify the password.");
    server.On("PASS ", "230 Login successful.");
    server.On("QUIT", "221 Goodbye.");
}

Lines Only(const Lines& transcript, std::initializer_list<const char*> prefixes)
{
    Lines lines;
    for (const std::string& line : transcript) {
        for (const char* prefix : prefixes) {
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line.rfind("PORT ", 0) == 0 ? "PORT" : line);
        }
    }
    return lines;
}

CScriptedFtpServer::Handler OverData(std::function<void(CScriptedFtpServer&)> exchange, std::string closing)
{
    return [exchange, closing](CScriptedFtpServer& server, const std::string&) {
        server.Send("150 Opening BINARY mode data connection.\r\n");
        if (!server.OpenData())
            return void(server.Send("425 Can't open data connection.\r\n"));
        exchange(server);
        server.CloseData();
        server.Send(closing + "\r\n");
    };
}

CScriptedFtpServer::Handler SendFile(std::string content, std::string closing)
{
    return OverData([content](CScriptedFtpServer& server) { server.SendData(content); }, std::move(closing));
}

CScriptedFtpServer::Handler ReceiveFile()
{
    return OverData([](CScriptedFtpServer& server) { server.m_uploads.push_back(server.ReceiveData()); });
}

} // namespace ScriptedFtp
