#pragma once

#include "ScriptedFtpServer.h"

#include "ftp/FtpClient.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedPrompt.h"
#include "support/TestFiles.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <functional>
#include <random>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace ScriptedFtp;

// Services of one client test: a virtual clock, scripted answers and a
// recording progress window.
struct CFtpTestServices
{
    CVirtualClock m_clock;
    CScriptedPrompt m_prompt;
    CRecordingProgress m_progress;
    CScopedServices m_scope{&m_clock, &m_prompt, &m_progress};
};

// Sets (or, with a null value, unsets) an environment variable for its
// lifetime.
class CEnvironment
{
public:
    CEnvironment(const char* name, const QByteArray& value)
        : m_name(name), m_old(qgetenv(name)), m_bHad(qEnvironmentVariableIsSet(name))
    {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~CEnvironment() { m_bHad ? qputenv(m_name, m_old) : qunsetenv(m_name); }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_bHad;
};

// Opens the control connection to a started server and reads its greeting.
inline bool ConnectTo(CFtpClient& client, const CScriptedFtpServer& server)
{
    return client.OpenControlChannel(u"127.0.0.1"_s, server.Port()) && client.Command(QString());
}

// A logon straight to the server, without a firewall.
inline bool LogOn(CFtpClient& client, const QString& host, int port, const QString& user = u"u"_s,
                  const QString& password = u"p"_s)
{
    return client.LogOn(host, port, user, password, QString(), QString(), QString(), QString(), 0, 0);
}

// Starts the peer and runs steps on a client connected to it, or logged on
// when logOn; when this returns the client is closed (after QUIT when logged
// on) and the peer has finished.
inline void WithClient(CScriptedFtpServer& server, const std::function<void(CFtpClient&)>& steps, bool logOn = false)
{
    server.Start();
    {
        CFtpClient client;
        const bool connected = logOn ? LogOn(client, u"127.0.0.1"_s, server.Port()) : ConnectTo(client, server);
        EXPECT_TRUE(connected) << qPrintable(client.m_strReply);
        if (connected)
            steps(client);
        if (logOn)
            client.LogOff();
        client.CloseControlChannel();
    }
    server.Join();
}

inline void WithLoggedOnClient(CScriptedFtpServer& server, const std::function<void(CFtpClient&)>& steps)
{
    WithClient(server, steps, true);
}

// One "ls -l" line of a Unix server; kind "d" for a folder, "-" for a file.
inline std::string UnixLine(const char* kind, const std::string& name)
{
    return std::string(kind) + "rw-r--r--    1 0        0            4096 Dec 06 21:16 " + name + "\r\n";
}

inline QByteArray RandomBytes(qsizetype size, unsigned seed)
{
    std::mt19937 generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}
