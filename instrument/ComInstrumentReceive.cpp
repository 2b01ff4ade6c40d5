#include "ComInstrument.h"

#include "PortSession.h"
#include "Protocol.h"
#include "platform/Bytes.h"
#include "platform/Clock.h"
#include "platform/LocalPaths.h"
#include "platform/Progress.h"
#include "platform/ProgressScope.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "platform/SystemReason.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

using namespace Protocol;

namespace {

// Why writing the file failed. A buffered write that failed leaves QFile's
// text at "Unknown error"; the system's reason is then the better one.
QString FileFailure(const QFileDevice& file, int errorNumber)
{
    if (file.error() == QFileDevice::NoError)
        return QString();
    const QString text = file.errorString();
    return text.isEmpty() || text == QLatin1String("Unknown error") ? CSystemReason::Text(errorNumber) : text;
}

} // namespace

bool CComInstrument::Receive(QString folder, int number, int kind, int toStaging)
{
    m_strStagingName.clear();
    if (folder.isEmpty())
        return false;

    const bool jobData = kind == KIND_MEASUREMENTS || kind == KIND_FIXPOINTS;
    QString rowName;
    int range = 0;
    QString command;
    if (jobData) {
        const CJobInfo* row = FindRow(m_jobs, number);
        if (!row)
            return false;
        rowName = row->m_strName;
        range = kind == KIND_MEASUREMENTS ? row->m_nMeasBlocks : row->m_nFixBlocks;
        command =
            (kind == KIND_MEASUREMENTS ? QStringLiteral("JOB/RCV/OBSERV/%1") : QStringLiteral("JOB/RCV/COORDS/%1"))
                .arg(number);
    } else if (kind == KIND_CODE_LIST) {
        const CCodeListInfo* row = FindRow(m_codeLists, number);
        if (!row)
            return false;
        rowName = row->m_strName;
        command = QStringLiteral("CODE/RCV/%1").arg(number);
    } else {
        return false;
    }

    CDataDownloadRequest request;
    if (!AskDownload(rowName, jobData, request))
        return false;
    const QString path = ReceiveTarget(folder, request.m_strResultName, toStaging);
    if (path.isEmpty())
        return false;
    // The data go to a temporary file beside the target, which replaces the
    // target only at the normal end.
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly)) {
        const QString folderOfPath = QFileInfo(path).absolutePath();
        ShowMessage(CSystemReason::Append(LoadString(IDS_CANNOT_OPEN_LOCAL_FILE),
                                          CSystemReason::FolderNotWritable(folderOfPath)));
        return false;
    }
    if (toStaging)
        m_strStagingName = request.m_strResultName;

    m_nFormat = jobData ? request.m_nSelectedFormat : 1;
    {
        // The selection takes seconds before the Transfer window appears.
        CWaitCursor wait;
        if (!SelectFormat(jobData ? 0 : 1))
            return false;
    }

    bool committed = false;
    QString error;
    {
        CProgressScope progress(toStaging ? m_strStagingName : path);
        if (jobData)
            progress->SetRange(range);
        QSaveFile* target = file.get();
        m_file = std::move(file);
        CPortSession session(*this, CPortSession::DROP_FILE);
        Pause(2000);
        if (!SendLine(command))
            return false;
        Pause(2000);
        ReadLine();
        if (!ReceiveLines()) {
            Pause(3000);
            SendLine(kWake); // stops the instrument's transfer
            return false;
        }
        progress.Hide();
        committed = target->commit();
        error = FileFailure(*target, errno);
    }
    if (!committed) {
        ShowMessage(LoadString(IDS_FILE_ERROR) + QLatin1Char('\n') + error);
        return false;
    }
    return true;
}

// Asks for the file name and format ("Data Download..."), offering the
// instrument's formats for job data and "VRN" for a code list. False when the
// user cancelled or chose a name that is not a plain file name.
bool CComInstrument::AskDownload(const QString& rowName, bool jobData, CDataDownloadRequest& request)
{
    request.m_strName = SafeFileName(rowName);
    request.m_strResultName = request.m_strName;
    if (jobData) {
        for (qsizetype i = 0; i < m_formats.size(); ++i) {
            const CFormatInfo& format = m_formats.at(i);
            if (format.m_bEmpty)
                continue;
            request.m_formatNames.append(format.m_strName == QLatin1String("VORN") ? QStringLiteral("VRN")
                                                                                   : format.m_strName);
            if (i == 0)
                request.m_strSelectedFormat = format.m_strName;
        }
    } else {
        request.m_formatNames.append(QStringLiteral("VRN"));
        request.m_strSelectedFormat = QStringLiteral("VRN");
    }
    if (!CServices::Prompt().AskDataDownload(request) || request.m_strResultName.isEmpty())
        return false;
    if (!IsSafeFileName(request.m_strResultName)) {
        ShowMessage(LoadString(IDS_NOT_PLAIN_FILE_NAME).arg(request.m_strResultName));
        return false;
    }
    return true;
}

// The file a receive writes: the staging file, or the chosen name in the
// folder once the user agreed to replace a file of that name. Empty when the
// user declined.
QString CComInstrument::ReceiveTarget(const QString& folder, const QString& name, int toStaging)
{
    if (toStaging)
        return CLocalPaths::StagingPath(QStringLiteral("tempftp"));
    const QString path = QDir(folder).filePath(name);
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly)) {
        existing.close();
        if (CServices::Prompt().MessageBox(LoadString(IDS_OVERWRITE_FILE), AppTitle(), MB_YESNO, MB_ICONQUESTION)
            != IDYES)
            return QString();
    }
    return path;
}

bool CComInstrument::ReceiveLines()
{
    CProgress& progress = CServices::Progress();
    progress.ProgressOff();
    const qint64 start = CServices::Clock().Now();
    qint64 bytes = 0;
    int lines = 0;
    for (;;) {
        if (progress.PollCancel() || ReceiveTimeUp(start))
            return false;
        if (!SendLine(kPoll))
            return false;
        QString reply = ReadLine();
        if (IsBusy(reply)) {
            Pause(2000);
            continue;
        }
        if (IsReceiveError(reply))
            return false;
        if (reply.isEmpty())
            return !m_port.DeviceLost(); // silence: the normal end of the data
        if (reply.size() <= 3 && !m_port.m_bLineCut)
            continue;
        // A line longer than the port's line limit arrives in pieces; they
        // are written one after the other, so the file gets the whole line.
        // Cancel and the receive's bounds are looked at between the pieces.
        qint64 lineBytes = 0;
        for (;;) {
            if (!WriteReceived(reply))
                return false;
            bytes += reply.size();
            lineBytes += reply.size();
            if (!m_port.m_bLineCut)
                break;
            progress.SetBytes(bytes);
            if (lineBytes >= kMaxReceiveLine) {
                ShowMessage(LoadString(IDS_RECEIVE_LINE_TOO_LONG).arg(kMaxReceiveLine));
                return false;
            }
            if (progress.PollCancel() || ReceiveTimeUp(start))
                return false;
            reply = ReadLine();
        }
        ++lines;
        progress.SetBytes(bytes);
        progress.SetPos(lines);
    }
}

// Writes one received line or piece of a line to the receive's file.
bool CComInstrument::WriteReceived(const QString& text)
{
    const QByteArray data = ToBytes(text);
    if (m_file && m_file->write(data) == data.size())
        return true;
    const int failure = errno;
    ShowMessage(CSystemReason::Append(LoadString(IDS_FILE_ERROR), m_file ? FileFailure(*m_file, failure) : QString()));
    return false;
}

// True, after telling the user, when a receive begun at `start` (clock time)
// has run longer than any instrument's data take.
bool CComInstrument::ReceiveTimeUp(qint64 start)
{
    if (CServices::Clock().Now() - start < kMaxReceiveMs)
        return false;
    ShowMessage(LoadString(IDS_RECEIVE_TOO_SLOW).arg(kMaxReceiveMs / 60000));
    return true;
}
