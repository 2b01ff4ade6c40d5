#include "ComInstrument.h"

#include "Protocol.h"
#include "resources/StringTable.h"

using namespace Protocol;

bool CComInstrument::Erase(int number, int kind, int)
{
    QString name;
    int titleId = 0;
    int questionId = IDS_DATA_LOST_JOB;
    QString command;
    const QString n = QString::number(number);
    if (kind == KindMeasurements || kind == KindFixpoints || kind == KindJob) {
        const CJobInfo* row = FindRow(m_jobs, number);
        if (!row)
            return false;
        name = row->m_strName;
        if (kind == KindMeasurements) {
            titleId = IDS_DELETE_MEASUREMENTS;
            command = QStringLiteral("JOB/ERASE/OBSERV/") + n;
        } else if (kind == KindFixpoints) {
            titleId = IDS_DELETE_FIXPOINTS;
            command = QStringLiteral("JOB/ERASE/COORD/") + n;
        } else {
            titleId = IDS_DELETE_JOB;
            command = QStringLiteral("JOB/ERASE/") + n;
        }
    } else if (kind == KindCodeList) {
        const CCodeListInfo* row = FindRow(m_codeLists, number);
        if (!row)
            return false;
        name = row->m_strName;
        titleId = IDS_DELETE_CODELIST;
        questionId = IDS_DATA_LOST;
        command = QStringLiteral("CODE/ERASE/") + n;
    } else if (kind == KindFormat) {
        const CFormatInfo* row = FindRow(m_formats, number);
        if (!row)
            return false;
        name = row->m_strName;
        titleId = IDS_DELETE_FORMAT;
        questionId = IDS_DATA_LOST;
        command = QStringLiteral("FORM/ERASE/") + n;
    } else {
        return false;
    }
    if (!AskDelete(titleId, name, questionId, IDS_WARNING))
        return false;

    Open();
    if (!SendOrClose(kWake))
        return false;
    ReadLine();
    Pause(2000);
    if (!SendOrClose(command))
        return false;
    Pause(1000);
    if (kind == KindJob)
        Pause(5000);
    ReadLine();
    Close();
    return true;
}

bool CComInstrument::SelectFormat(int builtIn)
{
    const QString command = builtIn ? QStringLiteral("FORM/SET/1") : QStringLiteral("FORM/SET/%1").arg(m_nFormat);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        Open();
        if (!SendOrClose(kWake))
            return false;
        Pause(1000);
        ReadLine();
        Pause(1000);
        if (!SendOrClose(command))
            return false;
        if (builtIn)
            Pause(1000);
        const QString reply = ReadLine();
        Close();
        // Silence counts as acceptance, a vanished device does not.
        if (!IsRefusal(reply))
            return !m_port.DeviceLost();
    }
    ShowMessage(LoadString(IDS_CANNOT_SELECT_FORMAT));
    return false;
}
