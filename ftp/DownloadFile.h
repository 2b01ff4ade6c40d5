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

private:
    QString m_strTarget;
    bool m_bCommitted = false;
};
