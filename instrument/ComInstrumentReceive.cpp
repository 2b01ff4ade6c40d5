#include "ComInstrument.h"

#include "Protocol.h"
#include "platform/Bytes.h"
#include "platform/LocalPaths.h"
#include "platform/Progress.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

using namespace Protocol;

bool CComInstrument::Receive(QString folder, int number, int kind, int toStaging)
{
    m_strStagingName.clear();
    if (folder.isEmpty())
        return false;

    const bool jobData = kind == KindMeasurements || kind == KindFixpoints;
    QString rowName;
    int range = 0;
    QString command;
    if (jobData) {
        const CJobInfo* row = FindRow(m_jobs, number);
        if (!row)
            return false;
        rowName = row->m_strName;
        range = kind == KindMeasurements ? row->m_nMeasBlocks : row->m_nFixBlocks;
        command = (kind == KindMeasurements ? QStringLiteral("JOB/RCV/OBSERV/%1") : QStringLiteral("JOB/RCV/COORDS/%1"))
                      .arg(number);
    } else if (kind == KindCodeList) {
        const CCodeListInfo* row = FindRow(m_codeLists, number);
        if (!row)
            return false;
        rowName = row->m_strName;
        command = QStringLiteral("CODE/RCV/%1").arg(number);
    } else {
        return false;
    }

    CDataDownloadRequest request;
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
    const QString resultName = request.m_strResultName;
    if (!IsSafeFileName(resultName)) {
        ShowMessage(QStringLiteral("The file name \"%1\" is not a plain file name.").arg(resultName));
        return false;
    }

    QString path;
    if (toStaging) {
        path = CLocalPaths::StagingPath(QStringLiteral("tempftp"));
    } else {
        path = QDir(folder).filePath(resultName);
        QFile existing(path);
        if (existing.open(QIODevice::ReadOnly)) {
            existing.close();
            if (CServices::Prompt().MessageBox(LoadString(IDS_OVERWRITE_FILE), AppTitle(), MB_YESNO, MB_ICONQUESTION)
                != IDYES)
                return false;
        }
    }
    // The data go to a temporary file beside the target, which replaces the
    // target only at the normal end.
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly))
        return false;
    m_file = std::move(file);
    if (toStaging)
        m_strStagingName = resultName;

    bool selected;
    if (jobData) {
        m_nFormat = request.m_nSelectedFormat;
        selected = SelectFormat(0);
    } else {
        m_nFormat = 1;
        selected = SelectFormat(1);
    }
    if (!selected) {
        CloseFile();
        return false;
    }

    CProgress& progress = CServices::Progress();
    progress.Show();
    progress.SetText(toStaging ? m_strStagingName : path);
    progress.SetBytes(0);
    if (jobData)
        progress.SetRange(range);

    Open();
    Pause(2000);
    if (!SendLine(command)) {
        Close();
        CloseFile();
        progress.Hide();
        return false;
    }
    Pause(2000);
    ReadLine();

    if (!ReceiveLines()) {
        Pause(3000);
        progress.Hide();
        CloseFile();
        SendLine(kWake); // stops the instrument's transfer
        Close();
        return false;
    }
    progress.Hide();
    auto* target = static_cast<QSaveFile*>(m_file.get());
    const bool committed = target->commit();
    const QString error = target->errorString();
    m_file.reset();
    Close();
    if (!committed) {
        ShowMessage(LoadString(IDS_FILE_ERROR) + QLatin1Char('\n') + error);
        return false;
    }
    return true;
}

bool CComInstrument::ReceiveLines()
{
    CProgress& progress = CServices::Progress();
    progress.ProgressOff();
    qint64 bytes = 0;
    int lines = 0;
    for (;;) {
        if (progress.PollCancel())
            return false;
        if (!SendOrClose(kPoll))
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
        for (;;) {
            const QByteArray data = ToBytes(reply);
            if (!m_file || m_file->write(data) != data.size()) {
                ShowMessage(LoadString(IDS_FILE_ERROR) + QLatin1Char('\n')
                            + (m_file ? m_file->errorString() : QString()));
                return false;
            }
            bytes += data.size();
            if (!m_port.m_bLineCut)
                break;
            reply = ReadLine();
        }
        ++lines;
        progress.SetBytes(bytes);
        progress.SetPos(lines);
    }
}
