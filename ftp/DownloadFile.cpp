#include "DownloadFile.h"

#include "platform/SystemReason.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <filesystem>

CDownloadFile::CDownloadFile(const QString& target) : m_strTarget(target) {}

CDownloadFile::~CDownloadFile()
{
    if (m_bCommitted || fileName().isEmpty())
        return;
    close();
    remove();
}

bool CDownloadFile::Open()
{
    const QFileInfo target(m_strTarget);
    if (target.isDir() || !target.dir().exists())
        return false;
    // A hidden name of its own in the target's folder, so that the final
    // rename stays on one file system.
    for (int attempt = 0; attempt < 16; ++attempt) {
        setFileName(target.dir().filePath(QStringLiteral(".%1.%2.part")
                                              .arg(target.fileName())
                                              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))));
        if (open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (target.exists())
                setPermissions(target.permissions());
            return true;
        }
    }
    setFileName(QString());
    return false;
}

qint64 CDownloadFile::writeData(const char* data, qint64 len)
{
    const qint64 written = QFile::writeData(data, len);
    if (written != len && m_strFailure.isEmpty())
        m_strFailure = CSystemReason::Text(errno);
    return written;
}

bool CDownloadFile::Commit()
{
    if (!isOpen())
        return false;
    flush();
    const bool written = error() == QFileDevice::NoError;
    // Closing forgets the error: its reason is kept first.
    if (!written && m_strFailure.isEmpty())
        m_strFailure = CSystemReason::Text(errno);
    close();
    if (!written)
        return false;
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(fileName().toStdU16String()),
                            std::filesystem::path(m_strTarget.toStdU16String()), error);
    m_bCommitted = !error;
    if (error)
        m_strFailure = QString::fromStdString(error.message());
    return m_bCommitted;
}
