#pragma once

#include <QFile>
#include <QString>

// The local file of a download. The bytes go into a new file beside the
// target, which replaces the target in one step only on Commit: a failed or
// cancelled download leaves an older file as it was and nothing partial
// behind. Unlike QSaveFile it does not wait for the disk on Commit (no
// fsync), as other FTP clients do not: that wait cost a third of a download.
class CDownloadFile : public QFile
{
public:
    explicit CDownloadFile(const QString& target);
    ~CDownloadFile() override;

    // Creates the new file; false when the folder cannot take it.
    bool Open();
    // Replaces the target with what was written.
    bool Commit();
    // Why writing or Commit failed, as the system said it.
    QString Failure() const { return m_strFailure.isEmpty() ? errorString() : m_strFailure; }

protected:
    // Keeps the system's reason of a failed write: QFile's own text is
    // often only "Unknown error".
    qint64 writeData(const char* data, qint64 len) override;

private:
    QString m_strFailure;
    QString m_strTarget;
    bool m_bCommitted = false;
};
