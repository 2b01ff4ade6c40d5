#include "ComInstrument.h"

#include "PortSession.h"
#include "Protocol.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

using namespace Protocol;

namespace {

// What each kind of item is erased with: the question's title and text, and
// the command (followed by the item's number).
struct CEraseKind
{
    int m_nKind;
    int m_nTitleId;
    int m_nQuestionId;
    const char* m_szCommand;
};

const CEraseKind kEraseKinds[] = {
    {KIND_MEASUREMENTS, IDS_DELETE_MEASUREMENTS, IDS_DATA_LOST_JOB, "JOB/ERASE/OBSERV/"},
    {KIND_FIXPOINTS, IDS_DELETE_FIXPOINTS, IDS_DATA_LOST_JOB, "JOB/ERASE/COORD/"},
    {KIND_JOB, IDS_DELETE_JOB, IDS_DATA_LOST_JOB, "JOB/ERASE/"},
    {KIND_CODE_LIST, IDS_DELETE_CODELIST, IDS_DATA_LOST, "CODE/ERASE/"},
    {KIND_FORMAT, IDS_DELETE_FORMAT, IDS_DATA_LOST, "FORM/ERASE/"},
};

template <typename Row>
bool FindName(const QList<Row>& table, int number, QString& name)
{
    const Row* row = FindRow(table, number);
    if (row)
        name = row->m_strName;
    return row != nullptr;
}

// The name of the item in the table that holds its kind; false when the last
// listing did not show it.
bool ItemName(const CInstrument& link, int kind, int number, QString& name)
{
    if (kind == KIND_CODE_LIST)
        return FindName(link.m_codeLists, number, name);
    if (kind == KIND_FORMAT)
        return FindName(link.m_formats, number, name);
    return FindName(link.m_jobs, number, name);
}

} // namespace

bool CComInstrument::Erase(int number, int kind, int)
{
    const CEraseKind* erase = nullptr;
    for (const CEraseKind& candidate : kEraseKinds) {
        if (candidate.m_nKind == kind)
            erase = &candidate;
    }
    QString name;
    if (!erase || !ItemName(*this, kind, number, name))
        return false;
    if (!AskDelete(erase->m_nTitleId, name, erase->m_nQuestionId, IDS_WARNING))
        return false;

    // Several seconds of conversation and pauses: the user sees they are busy.
    CWaitCursor wait;
    CPortSession session(*this);
    if (!Wake(0, 2000) || !SendLine(QLatin1String(erase->m_szCommand) + QString::number(number)))
        return false;
    Pause(1000);
    if (kind == KIND_JOB)
        Pause(5000);
    ReadLine();
    return true;
}

bool CComInstrument::SelectFormat(int builtIn)
{
    const QString command = builtIn ? QStringLiteral("FORM/SET/1") : QStringLiteral("FORM/SET/%1").arg(m_nFormat);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        CPortSession session(*this);
        if (!Wake(1000, 1000) || !SendLine(command))
            return false;
        if (builtIn)
            Pause(1000);
        // Silence counts as acceptance, a vanished device does not.
        if (!IsRefusal(ReadLine()))
            return !m_port.DeviceLost();
    }
    ShowMessage(LoadString(IDS_CANNOT_SELECT_FORMAT));
    return false;
}
