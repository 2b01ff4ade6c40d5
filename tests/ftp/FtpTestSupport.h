#pragma once

#include "ScriptedFtpServer.h"

#include "ftp/FtpClient.h"
#include "platform/Clock.h"
#include "platform/RecordingProgress.h"
#include "platform/ScriptedPrompt.h"
#include "platform/Services.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <random>

using namespace Qt::StringLiterals;

// Services of one client test: a virtual clock, scripted answers and a
// recording progress window.
struct CFtpTestServices
{
    CVirtualClock m_clock;
    CScriptedPrompt m_prompt;
    CRecordingProgress m_progress;
    CScopedServices m_scope{&m_clock, &m_prompt, &m_progress};
};

// Opens the control connection to a started server and reads its greeting.
inline bool ConnectTo(CFtpClient& client, const CScriptedFtpServer& server)
{
    return client.OpenControlChannel(u"127.0.0.1"_s, server.Port()) && client.Command(QString());
}

inline QByteArray RandomBytes(qsizetype size, unsigned seed)
{
    std::mt19937 generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

inline QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Writes a file, making its folder first.
inline bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QStringList FolderEntries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}
