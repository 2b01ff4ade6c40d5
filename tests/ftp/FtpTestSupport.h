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
#include <QTemporaryDir>

#include <random>

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
    return client.OpenControlChannel(QStringLiteral("127.0.0.1"), server.Port()) && client.Command(QString());
}

inline QByteArray RandomBytes(qsizetype size, unsigned seed)
{
    std::mt19937 generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(generator() & 0xFF);
    return bytes;
}

inline QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline std::string ToStd(const QByteArray& bytes)
{
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

inline QStringList FolderEntries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}
