#include "ComInstrument.h"

#include "PortSession.h"
#include "Protocol.h"
#include "platform/Progress.h"
#include "platform/ProgressScope.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>

using namespace Protocol;

namespace {

// Reads of the acknowledgement of one streamed line, each followed by a pause.
constexpr int kAckReads = 5;
// Line buffer of the streaming.
constexpr int kStreamBuffer = 4096;

// The names of a table's other rows: a new name must differ from them.
template <typename Row>
QStringList NamesExcept(const QList<Row>& table, int number)
{
    QStringList names;
    for (const Row& row : table) {
        if (row.m_nNumber != number)
            names.append(row.m_strName);
    }
    return names;
}

} // namespace

// The file must be readable and every line that will be sent must fit the
// framing (with its CR LF, at most 509 characters): a longer line is refused
// before anything is sent rather than cut.
bool CComInstrument::CheckSendableFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowError(IDS_COMMUNICATION_ERROR, IDS_CANNOT_OPEN_FILE);
        return false;
    }
    const QByteArray data = file.readAll();
    qsizetype start = 0;
    int lineNumber = 0;
    for (;;) {
        const qsizetype end = data.indexOf("\r\n", start);
        if (end < 0)
            return true; // a last line without CR LF is not sent
        ++lineNumber;
        if (end + 2 - start > kMaxCommand) {
            ShowMessage(
                LoadString(IDS_FILE_LINE_TOO_LONG)
                    .arg(QString::number(lineNumber), QDir::toNativeSeparators(path), QString::number(kMaxCommand)));
            return false;
        }
        start = end + 2;
    }
}

bool CComInstrument::OpenSourceFile(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        ShowError(IDS_COMMUNICATION_ERROR, IDS_CANNOT_OPEN_FILE);
        return false;
    }
    m_file = std::move(file);
    return true;
}

bool CComInstrument::SendableName(const QString& name)
{
    if (IsSendableName(name))
        return true;
    ShowMessage(LoadString(IDS_NAME_NOT_SENDABLE).arg(name));
    return false;
}

// Commands built from a name pass through a buffer of 100 characters.
bool CComInstrument::FitsFormatted(const QString& command)
{
    if (command.size() <= kMaxFormattedCommand)
        return true;
    ShowMessage(LoadString(IDS_COMMAND_TOO_LONG).arg(command, QString::number(kMaxFormattedCommand)));
    return false;
}

bool CComInstrument::SendJobFile(QString path, int number, int kind, QString sourceName)
{
    const QString source = sourceName.isEmpty() ? path : sourceName;
    // The position in the list is the format number: 0 for TQS, 1 for VRN.
    const int format = CheckFileType(source, {QStringLiteral("TQS"), QStringLiteral("VRN")});
    if (format < 0)
        return false;
    m_nFormat = format;
    return SendTableFile(path, source, number, kind, false);
}

bool CComInstrument::SendCodeListFile(QString path, int number, int kind, QString sourceName)
{
    const QString source = sourceName.isEmpty() ? path : sourceName;
    if (CheckFileType(source, {QStringLiteral("VRN")}) < 0)
        return false;
    m_nFormat = 1;
    return SendTableFile(path, source, number, kind, true);
}

// The position of the file's type (FileType of its origin) in `types`; -1,
// with "Wrong file format", when it is none of them.
int CComInstrument::CheckFileType(const QString& source, const QStringList& types)
{
    const int index = static_cast<int>(types.indexOf(FileType(source)));
    if (index < 0)
        ShowMessage(LoadString(IDS_WRONG_FILE_FORMAT));
    return index;
}

// The common steps of a job or code-list send: check the file, select the
// format, prepare the target and stream the file into it.
bool CComInstrument::SendTableFile(const QString& path, const QString& source, int number, int kind, bool codeList)
{
    if (!CheckSendableFile(path) || !SelectFormat(0))
        return false;
    const bool prepared = codeList ? PrepareCodeList(source, number, kind) : PrepareJob(source, number, kind);
    return prepared && StreamPrepared(path);
}

// Streams the file to the prepared instrument (port open) and closes the port.
bool CComInstrument::StreamPrepared(const QString& path)
{
    CPortSession session = CPortSession::Adopt(*this, CPortSession::DROP_FILE);
    if (!OpenSourceFile(path))
        return false;
    CProgressScope progress(path);
    progress->SetRange(static_cast<int>(m_file->size() / 50));
    return StreamFile();
}

bool CComInstrument::PrepareJob(QString name, int number, int kind)
{
    const CJobInfo* row = FindRow(m_jobs, number);
    const int empty = row ? row->m_bEmpty : 0;
    const int fixBlocks = row ? row->m_nFixBlocks : 0;
    if (fixBlocks != 0
        && CServices::Prompt().MessageBox(LoadString(IDS_OVERWRITE_FIXPOINTS), LoadString(IDS_JOB_HAS_FIXPOINTS),
                                          MB_YESNO, MB_ICONQUESTION)
            != IDYES)
        return false;

    QString setCommand;
    if ((kind == KIND_JOB || empty != 0)
        && !ChooseName(name, NamesExcept(m_jobs, number), row ? row->m_strName : QString(),
                       QStringLiteral("MyJob%1").arg(number), IDS_NEW_JOB_NAME,
                       QStringLiteral("JOB/SET/%1/") + QString::number(number), setCommand))
        return false;
    return OpenAndAnnounce(setCommand, QStringLiteral("JOB/SND/COORD/%1").arg(number));
}

bool CComInstrument::PrepareCodeList(QString name, int number, int)
{
    const CCodeListInfo* row = FindRow(m_codeLists, number);
    QString setCommand;
    if (row && row->m_bEmpty
        && !ChooseName(name, NamesExcept(m_codeLists, number), row->m_strName, QStringLiteral("MyCode%1").arg(number),
                       IDS_NEW_CODELIST_NAME, QStringLiteral("CODE/SET/%1/") + QString::number(number), setCommand))
        return false;
    return OpenAndAnnounce(setCommand, QStringLiteral("CODE/SND/%1").arg(number));
}

// Names the target job or code list: proposes a name from the source (or
// `fallback` when another entry has it) and asks when it differs from the
// current name. On true `command` is the naming command (`setPattern` with %1
// for the name); false when the user cancelled or the name cannot be sent.
bool CComInstrument::ChooseName(const QString& source, const QStringList& existing, const QString& current,
                                const QString& fallback, int titleId, const QString& setPattern, QString& command)
{
    if (source.isEmpty())
        return false;
    QString newName = ProposeName(source, existing, fallback);
    if (newName != current && !AskName(titleId, IDS_ENTER_NEW_NAME, newName, existing))
        return false;
    command = setPattern.arg(newName);
    return SendableName(newName) && FitsFormatted(command);
}

// Opens the port, sends the naming command when there is one and announces
// the data; true with the port left open for the streaming.
bool CComInstrument::OpenAndAnnounce(const QString& setCommand, const QString& announcement)
{
    CPortSession session(*this);
    if (!session.IsOpen())
        return false;
    if (!setCommand.isEmpty() && !SetName(setCommand))
        return false;
    if (!Announce(announcement))
        return false;
    session.KeepOpen();
    return true;
}

// Wakes the instrument and announces the data; true when the announcement was
// answered and not refused.
bool CComInstrument::Announce(const QString& command)
{
    CWaitCursor wait;
    Pause(1000);
    ReadLine();
    if (!Wake(1000, 0) || !SendLine(command))
        return false;
    Pause(8000);
    const QString reply = ReadLine();
    return !reply.isEmpty() && !IsRefusal(reply);
}

bool CComInstrument::SetName(const QString& command)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        CWaitCursor wait;
        if (!Wake(1000, 0) || !SendLine(command))
            return false;
        Pause(2000);
        // Silence counts as acceptance, a vanished device does not.
        if (!IsRefusal(ReadLine()))
            return !m_port.DeviceLost();
    }
    ShowMessage(LoadString(IDS_PROBLEM_SETTING_NAME));
    return false;
}

bool CComInstrument::SendFormatFile(QString path, int number, int, QString sourceName)
{
    const QString source = sourceName.isEmpty() ? path : sourceName;
    if (CheckFileType(source, {QStringLiteral("FRT")}) < 0 || !CheckSendableFile(path) || !OpenSourceFile(path))
        return false;
    CPortSession session(*this, CPortSession::DROP_FILE);
    if (!session.IsOpen() || !Wake(1000, 0) || !SendLine(QStringLiteral("FORM/SND/%1").arg(number)))
        return false;
    Pause(3000);
    const QString reply = ReadLine();
    if (reply.isEmpty() || IsRefusal(reply))
        return false;
    CProgressScope progress(path);
    progress->SetRange(static_cast<int>(m_file->size() / 50));
    const bool complete = StreamFile();
    if (!SendLine(QString(QChar(kEndOfFile))))
        return false;
    for (int read = 0; read < 6 && ReadLine().isEmpty() && !m_port.DeviceLost(); ++read) {}
    return complete;
}

bool CComInstrument::SendFile(const QString& path, int number, int kind, const QString& sourceName)
{
    switch (kind) {
    case KIND_JOB:
    case KIND_FIXPOINTS:
        return SendJobFile(path, number, kind, sourceName);
    case KIND_CODE_LIST:
        return SendCodeListFile(path, number, kind, sourceName);
    case KIND_FORMAT:
        return SendFormatFile(path, number, kind, sourceName);
    default:
        return false;
    }
}

bool CComInstrument::StreamFile()
{
    CProgress& progress = CServices::Progress();
    qint64 total = 0;
    QString line;
    for (;;) {
        if (progress.PollCancel()) {
            CloseFile();
            return false;
        }
        char byte = 0;
        if (!m_file || !m_file->getChar(&byte)) {
            // The end of the file; a last line without CR LF is not sent.
            const bool atEnd = m_file && m_file->atEnd();
            CloseFile();
            return atEnd;
        }
        line += QChar(static_cast<unsigned char>(byte));
        if (line.size() < 2 || !line.endsWith(QLatin1String("\r\n"))) {
            if (line.size() >= kStreamBuffer) {
                ShowMessage(LoadString(IDS_STREAM_LINE_TOO_LONG).arg(kStreamBuffer));
                CloseFile();
                return false;
            }
            continue;
        }
        total += line.size() - 1;
        // SendLine adds its own CR LF: the line goes out as text, CR LF, CR LF.
        if (!SendLine(line)) {
            CloseFile();
            return false;
        }
        line.clear();
        QString reply;
        for (int read = 1; read <= kAckReads; ++read) {
            reply = ReadLine();
            if (!reply.isEmpty() || !m_port.m_bTimedOut || m_port.DeviceLost())
                break;
            Pause(6000);
        }
        if (!reply.startsWith(QLatin1Char('?'))) {
            CloseFile();
            return false;
        }
        progress.SetBytes(total);
        progress.SetPos(static_cast<int>(total / 50));
    }
}
