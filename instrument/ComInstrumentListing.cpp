#include "ComInstrument.h"

#include "Protocol.h"
#include "resources/StringTable.h"

using namespace Protocol;

// Opens the port, wakes the instrument and sends the list command, once more
// when the first answer says "not ready". False (port closed) when the
// instrument does not answer.
bool CComInstrument::StartListing(const QString& command, QString& reply)
{
    Open();
    m_port.Purge();
    if (!SendOrClose(kWake))
        return false;
    ReadLine();
    Pause(200);
    if (!SendOrClose(command))
        return false;
    Pause(1000);
    reply = ReadLine();
    if (reply == kPoll || reply == QLatin1String("@127") || reply.isEmpty()) {
        if (!SendOrClose(command))
            return false;
        Pause(1000);
        reply = ReadLine();
        if (IsListEnd(reply)) {
            if (!m_port.DeviceLost())
                ShowMessage(LoadString(IDS_NO_RESPONSE));
            Close();
            return false;
        }
    }
    return true;
}

// A listing that ended because the device disappeared did not reach its end.
bool CComInstrument::FinishListing(bool ok)
{
    Close();
    return ok && !m_port.DeviceLost();
}

bool CComInstrument::ListJobs()
{
    m_jobs.clear();
    QString reply;
    if (!StartListing(QStringLiteral("JOB/CONF/LIST"), reply))
        return false;
    // Besides the end of the list ("?" or silence, twice) a short reply ends
    // the loop, so an instrument that answers every "?" with noise cannot keep
    // it going.
    while (reply.size() > 3) {
        if (m_port.DeviceLost())
            return FinishListing(false);
        const CJobInfo row = ParseJobRow(reply);
        if (row.m_nNumber != 0)
            m_jobs.append(row);
        if (!SendLine(kPoll))
            return FinishListing(false);
        Pause(100);
        reply = ReadLine();
        if (IsListEnd(reply)) {
            if (!SendLine(kPoll))
                return FinishListing(false);
            reply = ReadLine();
            if (IsListEnd(reply))
                break;
        }
    }
    return FinishListing(true);
}

bool CComInstrument::ListFormats()
{
    m_formats.clear();
    QString reply;
    if (!StartListing(QStringLiteral("FORM/CONF/LIST"), reply))
        return false;
    for (;;) {
        if (m_port.DeviceLost())
            return FinishListing(false);
        const QString row = TrimLine(reply);
        if (row.isEmpty())
            return FinishListing(true);
        m_formats.append(ParseFormatRow(row));
        bool sendFailed = false;
        if (!PollNextRow(reply, sendFailed))
            return sendFailed ? FinishListing(false) : EndRowListing();
    }
}

bool CComInstrument::ListCodeLists()
{
    m_codeLists.clear();
    QString reply;
    if (!StartListing(QStringLiteral("CODE/CONF/LIST"), reply))
        return false;
    for (;;) {
        if (m_port.DeviceLost())
            return FinishListing(false);
        if (reply.isEmpty() || !reply.contains(QLatin1Char(',')))
            return FinishListing(true);
        m_codeLists.append(ParseCodeListRow(reply));
        bool sendFailed = false;
        if (!PollNextRow(reply, sendFailed))
            return sendFailed ? FinishListing(false) : EndRowListing();
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
    if (!SendLine(kWake))
        return FinishListing(false);
    ReadLine();
    return FinishListing(true);
}
