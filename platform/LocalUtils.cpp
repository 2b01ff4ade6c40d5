#include "LocalUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

bool DeleteLocalTree(const QString& nativeFolder)
{
    const QString folder = QDir::fromNativeSeparators(nativeFolder);
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink()) {
            DeleteLocalTree(entry.filePath());
        } else if (entry.isSymLink() || (entry.permissions() & QFileDevice::WriteOwner)) {
            QFile::remove(entry.filePath());
        }
    }
    return QDir().rmdir(folder);
}

QString ProgramBesideExecutable(const QString& programFileName)
{
    const QDir folder(QCoreApplication::applicationDirPath());
    QString path = folder.filePath(programFileName);
    if (QFileInfo(path).isFile())
        return path;
    if (programFileName.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
        path = folder.filePath(programFileName.chopped(4).toLower());
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

bool RunProgram(const QString& programFileName, const QString& commandLine)
{
    const QString program = ProgramBesideExecutable(programFileName);
    if (program.isEmpty())
        return false;
    QString argument = commandLine.trimmed();
    if (argument.size() >= 2 && argument.startsWith(QLatin1Char('"')) && argument.endsWith(QLatin1Char('"')))
        argument = argument.mid(1, argument.size() - 2);
    // A path beginning with "-" would be read as an option (the editor's own,
    // or Qt's such as "-style"): given absolute, it can only be a file.
    if (argument.startsWith(QLatin1Char('-')))
        argument = QDir::toNativeSeparators(QFileInfo(argument).absoluteFilePath());

    QProcess process;
    process.setProgram(program);
    process.setArguments(argument.isEmpty() ? QStringList() : QStringList{argument});
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    if (!process.waitForStarted(-1))
        return false;
    // The caller's window takes no input meanwhile but keeps repainting.
    while (!process.waitForFinished(50)) {
        if (process.state() == QProcess::NotRunning)
            break;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}
