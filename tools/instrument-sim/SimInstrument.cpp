#include "SimInstrument.h"

#include "WireText.h"

namespace {

const QByteArray EndOfFile("\x1A", 1);

// The decimal number after the last "/" of a command; false when there is none.
bool TrailingNumber(const QString& command, int& number)
{
    const qsizetype slash = command.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return false;
    bool ok = false;
    number = command.mid(slash + 1).toInt(&ok);
    return ok;
}

QString JobRow(const CSimJob& job)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(job.m_strName)
        .arg(job.m_nNumber)
        .arg(job.m_nFixpointBlocks)
        .arg(job.m_nMeasurementBlocks);
}

QString FormatRow(const CSimFormat& format)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(format.m_strName)
        .arg(format.m_nNumber)
        .arg(format.m_nFirst)
        .arg(format.m_nSecond);
}

QString CodeListRow(const CSimCodeList& list)
{
    return QStringLiteral("%1,%2,%3").arg(list.m_strName).arg(list.m_nNumber).arg(list.m_nCount);
}

} // namespace

CSimInstrument::CSimInstrument(CSimState& state, const CSimOptions& options)
    : m_state(state), m_options(options), m_nSetRefusalsLeft(options.m_nRefuseSet)
{}

QByteArray CSimInstrument::Line(const QString& text) const
{
    return ToWire(text) + m_options.m_endMark;
}

QByteArray CSimInstrument::Accept() const
{
    return Line(QStringLiteral("OK"));
}

QByteArray CSimInstrument::Refuse() const
{
    return Line(QStringLiteral("@W"));
}

QByteArray CSimInstrument::HandleLine(const QByteArray& line)
{
    m_cFlood = 0;
    if (m_options.m_bSilent)
        return {};
    if (m_mode == EMode::STORING)
        return HandleStoredLine(line);
    return HandleCommand(FromWire(line));
}

QByteArray CSimInstrument::HandleOverlongLine()
{
    if (m_options.m_bSilent)
        return {};
    PortClosed();
    return Refuse();
}

void CSimInstrument::PortClosed()
{
    m_cFlood = 0;
    m_mode = EMode::IDLE;
    m_storeTarget = ETarget::NONE;
    m_bAwaitBlank = false;
}

QByteArray CSimInstrument::HandleCommand(const QString& command)
{
    if (command == QLatin1String("?"))
        return HandlePoll();

    // Any other line ends a listing or a receive in progress.
    m_mode = EMode::IDLE;

    if (command.isEmpty() || command == QLatin1String("a"))
        return {}; // stray blank line, or the wake-up call: nothing to say
    if (command == QLatin1String("c"))
        return Line(QStringLiteral("?"));
    if (command == QLatin1String("%R1Q,5004:")) {
        if (m_options.m_bNoName)
            return {};
        if (m_options.m_bEndlessCr) {
            m_cFlood = '\r';
            return {};
        }
        return Line(QStringLiteral("%R1P,0,0:%1,\"%2\"").arg(m_options.m_nIdentifyCode).arg(m_state.m_strName));
    }
    if (command.endsWith(QLatin1String("/CONF/LIST")))
        return StartList(command);

    int number = 0;
    if (command.startsWith(QLatin1String("JOB/SET/")))
        return SetName(command, true);
    if (command.startsWith(QLatin1String("CODE/SET/")))
        return SetName(command, false);
    if (command.startsWith(QLatin1String("FORM/SET/")))
        return SelectFormat(command.mid(9));
    if (command.contains(QLatin1String("/ERASE/")))
        return Erase(command);
    if (!TrailingNumber(command, number))
        return Refuse();

    const QString verb = command.left(command.lastIndexOf(QLatin1Char('/')));
    if (verb == QLatin1String("JOB/RCV/OBSERV")) {
        const CSimJob* job = m_state.FindJob(number);
        return StartReceive(job ? job->m_measurements : QStringList(), job != nullptr);
    }
    if (verb == QLatin1String("JOB/RCV/COORDS")) {
        const CSimJob* job = m_state.FindJob(number);
        return StartReceive(job ? job->m_fixpoints : QStringList(), job != nullptr);
    }
    if (verb == QLatin1String("CODE/RCV")) {
        const CSimCodeList* list = m_state.FindCodeList(number);
        return StartReceive(list ? list->m_lines : QStringList(), list != nullptr);
    }
    if (verb == QLatin1String("JOB/SND/COORD"))
        return StartStore(ETarget::JOB_FIXPOINTS, number);
    if (verb == QLatin1String("CODE/SND"))
        return StartStore(ETarget::CODE_LIST, number);
    if (verb == QLatin1String("FORM/SND"))
        return StartStore(ETarget::FORMAT, number);
    return Refuse();
}

QByteArray CSimInstrument::StartList(const QString& command)
{
    if (m_options.m_bReply127 && !m_bSent127) {
        // An instrument that did not take the command: bare "@127", no terminator.
        m_bSent127 = true;
        return QByteArray("@127");
    }
    m_listRows.clear();
    if (command == QLatin1String("JOB/CONF/LIST")) {
        for (const CSimJob& job : m_state.m_jobs)
            m_listRows.append(JobRow(job));
    } else if (command == QLatin1String("FORM/CONF/LIST")) {
        for (const CSimFormat& format : m_state.m_formats)
            m_listRows.append(FormatRow(format));
    } else if (command == QLatin1String("CODE/CONF/LIST")) {
        for (const CSimCodeList& list : m_state.m_codeLists)
            m_listRows.append(CodeListRow(list));
    } else {
        return Refuse();
    }
    m_mode = EMode::LISTING;
    m_nNextRow = 0;
    return HandlePoll();
}

QByteArray CSimInstrument::HandlePoll()
{
    switch (m_mode) {
    case EMode::LISTING:
        if (m_nNextRow < m_listRows.size())
            return Line(m_listRows.at(m_nNextRow++));
        if (m_options.m_bEndlessList)
            return EndlessListRow();
        // End of the list, as often as asked.
        switch (m_options.m_listEnd) {
        case CSimOptions::EListEnd::LINE:
            return Line(QStringLiteral("?"));
        case CSimOptions::EListEnd::SILENCE:
            return {};
        case CSimOptions::EListEnd::BARE:
            break;
        }
        return QByteArray("?");
    case EMode::RECEIVING:
        if (m_bReceiveFailed) {
            m_mode = EMode::IDLE;
            return Line(QStringLiteral("@E1"));
        }
        if (m_nNextLine == m_options.m_nErrorAfter) {
            m_mode = EMode::IDLE;
            return Line(m_options.m_strErrorReply);
        }
        if (m_nBusyLeft > 0) {
            --m_nBusyLeft;
            return QByteArray("\x16", 1);
        }
        if (m_options.m_bEndlessData) {
            m_cFlood = 'x';
            return {};
        }
        if (m_nNextLine < m_receiveLines.size())
            return Line(m_receiveLines.at(m_nNextLine++));
        return {}; // all data sent: silence marks the end
    default:
        return QByteArray("?");
    }
}

// A row past the end of the list, good as a job, format or code-list row.
QByteArray CSimInstrument::EndlessListRow()
{
    const int number = ++m_nNextRow;
    return Line(QStringLiteral("X%1,%1,1,1").arg(number));
}

QByteArray CSimInstrument::StartReceive(const QStringList& data, bool known)
{
    m_mode = EMode::RECEIVING;
    m_receiveLines = data;
    m_nNextLine = 0;
    m_nBusyLeft = m_options.m_nBusy;
    m_bReceiveFailed = !known;
    return known ? Accept() : Refuse();
}

QByteArray CSimInstrument::StartStore(ETarget target, int number)
{
    m_storeTarget = target;
    m_nStoreNumber = number;
    QStringList* lines = StoreTarget();
    if (m_options.m_bRefuseSnd || !lines) {
        m_storeTarget = ETarget::NONE;
        return Refuse();
    }
    lines->clear();
    FinishStore();
    m_mode = EMode::STORING;
    m_bAwaitBlank = false;
    return Accept();
}

QStringList* CSimInstrument::StoreTarget()
{
    switch (m_storeTarget) {
    case ETarget::JOB_FIXPOINTS:
        if (CSimJob* job = m_state.FindJob(m_nStoreNumber))
            return &job->m_fixpoints;
        break;
    case ETarget::CODE_LIST:
        if (CSimCodeList* list = m_state.FindCodeList(m_nStoreNumber))
            return &list->m_lines;
        break;
    case ETarget::FORMAT:
        if (CSimFormat* format = m_state.FindFormat(m_nStoreNumber))
            return &format->m_lines;
        break;
    case ETarget::NONE:
        break;
    }
    return nullptr;
}

// Keeps the listed counters in step with the stored lines.
void CSimInstrument::FinishStore()
{
    switch (m_storeTarget) {
    case ETarget::JOB_FIXPOINTS:
        if (CSimJob* job = m_state.FindJob(m_nStoreNumber))
            job->m_nFixpointBlocks = static_cast<int>(job->m_fixpoints.size());
        break;
    case ETarget::CODE_LIST:
        if (CSimCodeList* list = m_state.FindCodeList(m_nStoreNumber))
            list->m_nCount = static_cast<int>(list->m_lines.size());
        break;
    case ETarget::FORMAT:
        if (CSimFormat* format = m_state.FindFormat(m_nStoreNumber)) {
            if (!format->m_lines.isEmpty() && format->m_nFirst == 0)
                format->m_nFirst = 1;
            if (!format->m_lines.isEmpty() && format->m_nSecond == 0)
                format->m_nSecond = 1;
        }
        break;
    case ETarget::NONE:
        break;
    }
}

// While data are sent, every line is data until the end-of-file line.
// The handheld sends each file line followed by one more CR LF: the blank
// line right after a data line is that doubled terminator, not data.
QByteArray CSimInstrument::HandleStoredLine(const QByteArray& line)
{
    if (line == EndOfFile) {
        m_mode = EMode::IDLE;
        m_storeTarget = ETarget::NONE;
        m_bAwaitBlank = false;
        return Accept();
    }
    if (m_bAwaitBlank && line.isEmpty()) {
        m_bAwaitBlank = false;
        return {};
    }
    QStringList* lines = StoreTarget();
    if (!lines) {
        m_mode = EMode::IDLE;
        return Refuse();
    }
    lines->append(FromWire(line));
    FinishStore();
    m_bAwaitBlank = true;
    return Line(QStringLiteral("?"));
}

QByteArray CSimInstrument::SetName(const QString& command, bool job)
{
    if (m_nSetRefusalsLeft > 0) {
        --m_nSetRefusalsLeft;
        return Refuse();
    }
    const QString rest = command.mid(job ? 8 : 9);
    const qsizetype slash = rest.lastIndexOf(QLatin1Char('/'));
    int number = 0;
    if (slash < 1 || !TrailingNumber(rest, number))
        return Refuse();
    const QString name = rest.left(slash);
    if (job) {
        if (CSimJob* row = m_state.FindJob(number))
            row->m_strName = name;
        else
            m_state.m_jobs.append(CSimJob{name, number, 0, 0, {}, {}});
    } else {
        if (CSimCodeList* row = m_state.FindCodeList(number))
            row->m_strName = name;
        else
            m_state.m_codeLists.append(CSimCodeList{name, number, 0, {}});
    }
    return Accept();
}

QByteArray CSimInstrument::SelectFormat(const QString& argument)
{
    if (m_nSetRefusalsLeft > 0) {
        --m_nSetRefusalsLeft;
        return Refuse();
    }
    bool ok = false;
    const int number = argument.toInt(&ok);
    if (!ok || number < 0)
        return Refuse();
    m_nSelectedFormat = number;
    return Accept();
}

QByteArray CSimInstrument::Erase(const QString& command)
{
    int number = 0;
    if (!TrailingNumber(command, number))
        return Refuse();
    const QString verb = command.left(command.lastIndexOf(QLatin1Char('/')));
    if (verb.startsWith(QLatin1String("JOB/"))) {
        CSimJob* job = m_state.FindJob(number);
        if (!job)
            return Refuse();
        if (verb == QLatin1String("JOB/ERASE")) {
            *job = CSimJob{QString(), number, 0, 0, {}, {}};
        } else if (verb == QLatin1String("JOB/ERASE/COORD")) {
            job->m_fixpoints.clear();
            job->m_nFixpointBlocks = 0;
        } else if (verb == QLatin1String("JOB/ERASE/OBSERV")) {
            job->m_measurements.clear();
            job->m_nMeasurementBlocks = 0;
        } else {
            return Refuse();
        }
        return Accept();
    }
    if (verb == QLatin1String("CODE/ERASE")) {
        CSimCodeList* list = m_state.FindCodeList(number);
        if (!list)
            return Refuse();
        *list = CSimCodeList{QString(), number, 0, {}};
        return Accept();
    }
    if (verb == QLatin1String("FORM/ERASE")) {
        CSimFormat* format = m_state.FindFormat(number);
        if (!format)
            return Refuse();
        *format = CSimFormat{QString(), number, 0, 0, {}};
        return Accept();
    }
    return Refuse();
}
