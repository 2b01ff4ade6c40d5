#include "TraceFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

bool CTraceFile::Open(const QString& path, QString* error)
{
    Close();
    if (path == QLatin1String("-")) {
        m_bStderr = true;
        return true;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return true;
    if (error)
        *error = QStringLiteral("%1: %2").arg(path, m_file.errorString());
    return false;
}

void CTraceFile::Close()
{
    m_file.close();
    m_bStderr = false;
}

void CTraceFile::Record(const QString& text)
{
    const QByteArray line =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ")) + text + QLatin1Char('\n'))
            .toUtf8();
    if (m_bStderr) {
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        return;
    }
    if (!m_file.isOpen())
        return;
    if (m_file.size() > 0 && m_file.size() + line.size() > m_nMaxBytes)
        Rotate();
    m_file.write(line);
    m_file.flush();
}

void CTraceFile::Rotate()
{
    const QString path = m_file.fileName();
    const QString older = path + QStringLiteral(".1");
    m_file.close();
    QFile::remove(older);
    QFile::rename(path, older);
    m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

QString CTraceFile::DefaultPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/tessaro/trace.log");
}
