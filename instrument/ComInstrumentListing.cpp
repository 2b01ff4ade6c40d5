#include "ComInstrument.h"

#include "PortSession.h"
#include "Protocol.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

using namespace Protocol;

// Wakes the instrument (port open) and sends the list command, once more when
// the first answer says "not ready". False when the instrument does not answer.
bool CComInstrument::StartListing(const QString& command, QString& reply)
{
    m_port.Purge();
    if (!Wake(0, 200) || !SendLine(command))
        return false;
    Pause(1000);
    reply = ReadLine();
    if (reply == kPoll || reply == QLatin1String("@127") || reply.isEmpty()) {
        if (!SendLine(command))
            return false;
        Pause(1000);
        reply = ReadLine();
        if (IsListEnd(reply)) {
            if (!m_port.DeviceLost())
                ShowMessage(LoadString(IDS_NO_RESPONSE));
            return false;
        }
    }
    return true;
}

// A listing that ended because the device disappeared did not reach its end.
bool CComInstrument::FinishListing()
{
    return !m_port.DeviceLost();
}

// True, after telling the user, when a listing has read `rows` rows or run
// since `start` (clock time) longer than an instrument's list can take; "c"
// then stops the instrument's list. The caller returns false.
bool CComInstrument::ListBoundReached(int rows, qint64 start)
{
    QString text;
    if (rows >= kMaxListRows)
        text = LoadString(IDS_LIST_TOO_LONG).arg(kMaxListRows);
    else if (CServices::Clock().Now() - start >= kMaxListMs)
        text = LoadString(IDS_LIST_TOO_SLOW).arg(kMaxListMs / 60000);
    else
        return false;
    Wake(0, 0);
    ShowMessage(text);
    return true;
}

bool CComInstrument::ListJobs()
{
    m_jobs.clear();
    const qint64 start = CServices::Clock().Now();
    CPortSession session(*this);
    QString reply;
    if (!StartListing(QStringLiteral("JOB/CONF/LIST"), reply))
        return false;
    // Besides the end of the list ("?" or silence, twice) a short reply ends
    // the loop, so an instrument that answers every "?" with noise cannot keep
    // it going; one that answers with rows for ever meets the list's bounds.
    for (int rows = 0; reply.size() > 3; ++rows) {
        if (m_port.DeviceLost() || ListBoundReached(rows, start))
            return false;
        const CJobInfo row = ParseJobRow(reply);
        if (row.m_nNumber != 0)
            m_jobs.append(row);
        if (!SendLine(kPoll))
            return false;
        Pause(100);
        reply = ReadLine();
        if (IsListEnd(reply)) {
            if (!SendLine(kPoll))
                return false;
            reply = ReadLine();
            if (IsListEnd(reply))
                break;
        }
    }
    return FinishListing();
}

bool CComInstrument::ListFormats()
{
    m_formats.clear();
    return ListRows(QStringLiteral("FORM/CONF/LIST"), [this](const QString& reply) {
        const QString row = TrimLine(reply);
        if (row.isEmpty())
            return false;
        m_formats.append(ParseFormatRow(row));
        return true;
    });
}

bool CComInstrument::ListCodeLists()
{
    m_codeLists.clear();
    return ListRows(QStringLiteral("CODE/CONF/LIST"), [this](const QString& reply) {
        if (reply.isEmpty() || !reply.contains(QLatin1Char(',')))
            return false;
        m_codeLists.append(ParseCodeListRow(reply));
        return true;
    });
}

// The loop of the format and code-list listings: takeRow stores the row of a
// reply, or returns false when the reply is no row (the end of the data).
bool CComInstrument::ListRows(const QString& command, const std::function<bool(const QString&)>& takeRow)
{
    const qint64 start = CServices::Clock().Now();
    CPortSession session(*this);
    QString reply;
    if (!StartListing(command, reply))
        return false;
    for (int rows = 0;; ++rows) {
        if (m_port.DeviceLost() || ListBoundReached(rows, start))
            return false;
        if (!takeRow(reply))
            return FinishListing();
        bool sendFailed = false;
        if (!PollNextRow(reply, sendFailed))
            return !sendFailed && EndRowListing();
    }
}

// Asks for the next row of a format or code-list listing. False when the list
// has ended (a bare "?" or a reply of three characters or fewer, such as "?"
// CR LF) or when the poll could not be sent (sendFailed is then set).
bool CComInstrument::PollNextRow(QString& reply, bool& sendFailed)
{
    sendFailed = !SendLine(kPoll);
    if (sendFailed)
        return false;
    Pause(100);
    reply = ReadLine();
    return reply != kPoll && reply.size() > 3;
}

// Ends a format or code-list listing: "c" stops the instrument's list.
bool CComInstrument::EndRowListing()
{
    return Wake(0, 0) && FinishListing();
}

bool CComInstrument::ListTable(ETable table)
{
    switch (table) {
    case TABLE_JOBS:
        return ListJobs();
    case TABLE_FORMATS:
        return ListFormats();
    case TABLE_CODE_LISTS:
        return ListCodeLists();
    case TABLE_NONE:
        break;
    }
    return true;
}

bool CComInstrument::HasRow(ETable table, int number) const
{
    switch (table) {
    case TABLE_JOBS:
        return FindRow(m_jobs, number) != nullptr;
    case TABLE_FORMATS:
        return FindRow(m_formats, number) != nullptr;
    case TABLE_CODE_LISTS:
        return FindRow(m_codeLists, number) != nullptr;
    case TABLE_NONE:
        break;
    }
    return true;
}
