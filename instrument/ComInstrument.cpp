#include "ComInstrument.h"

#include "ComSettings.h"
#include "Protocol.h"
#include "platform/Bytes.h"
#include "platform/Clock.h"
#include "platform/LocalPaths.h"
#include "platform/Progress.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "platform/WaitCursor.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

using namespace Protocol;

namespace {

// Attempts of the format selection and of the naming commands.
constexpr int kAttempts = 10;
// Reads of the acknowledgement of one streamed line, each followed by a pause.
constexpr int kAckReads = 5;
// Line buffer of the streaming.
constexpr int kStreamBuffer = 4096;

const QString kWake = QStringLiteral("c");
const QString kPoll = QStringLiteral("?");

template <typename Row>
const Row* FindRow(const QList<Row>& table, int number)
{
    for (const Row& row : table) {
        if (row.m_nNumber == number)
            return &row;
    }
    return nullptr;
}

} // namespace

CComInstrument::CComInstrument() = default;

CComInstrument::~CComInstrument()
{
    m_file.reset();
    Close();
}

// ---------------------------------------------------------------------------
// Connection and framing

void CComInstrument::SetComSettings(const CComSettings& settings)
{
    m_port.SetSettings(settings);
}

bool CComInstrument::Open()
{
    return m_port.Open();
}

void CComInstrument::Close()
{
    m_port.Close();
}

bool CComInstrument::SendLine(const QString& text)
{
    if (text.size() > kMaxCommand) {
        ShowMessage(
            QStringLiteral("The line is too long for the instrument (%1 characters, at most %2). Nothing was sent.")
                .arg(text.size())
                .arg(kMaxCommand));
        return false;
    }
    return m_port.Write(ToBytes(text + QLatin1String("\r\n")));
}

QString CComInstrument::ReadLine()
{
    return m_port.ReadLine();
}

void CComInstrument::Pause(int ms)
{
    CServices::Clock().Sleep(ms);
}

void CComInstrument::ShowMessage(const QString& text)
{
    CServices::Prompt().MessageBox(text, LoadString(IDS_ERROR), MB_OK, MB_ICONERROR);
}

bool CComInstrument::Probe()
{
    Open();
    if (!SendOrClose(QStringLiteral("a")))
        return false;
    Close();
    Pause(3000);
    Open();
    if (!SendOrClose(kWake))
        return false;
    ReadLine();
    if (!SendOrClose(kWake))
        return false;
    const QString reply = ReadLine();
    Close();
    return !reply.isEmpty();
}

bool CComInstrument::Identify()
{
    Open();
    if (!SendOrClose(QStringLiteral("%R1Q,5004:")))
        return false;
    const std::optional<CIdentifyReply> reply = ParseIdentifyReply(ReadLine());
    bool result = true;
    if (reply) {
        result = reply->m_bOk;
        if (result)
            m_strName = reply->m_strName;
    }
    Close();
    return result;
}

// ---------------------------------------------------------------------------
// Shared prompts

bool CComInstrument::AskDelete(int titleId, const QString& name, int questionId, int captionId)
{
    const QString text = LoadString(titleId) + QLatin1Char(' ') + name + QLatin1String(":\n") + LoadString(questionId);
    return CServices::Prompt().MessageBox(text, LoadString(captionId), MB_YESNO, MB_ICONQUESTION) == IDYES;
}

void CComInstrument::ShowError(int firstId, int secondId)
{
    CServices::Prompt().MessageBox(LoadString(firstId) + QLatin1Char('\n') + LoadString(secondId), AppTitle(), MB_OK,
                                   MB_ICONERROR);
}

bool CComInstrument::AskName(int titleId, int promptId, QString& name, const QStringList& existingNames)
{
    CNameRequest request;
    request.m_strTitle = LoadString(titleId);
    request.m_strPrompt = LoadString(promptId);
    request.m_strName = name.left(16);
    request.m_existingNames = existingNames;
    if (!CServices::Prompt().AskName(request))
        return false;
    name = request.m_strName;
    return true;
}

// One step of a conversation: a failed send ends it with the port closed.
bool CComInstrument::SendOrClose(const QString& text)
{
    if (SendLine(text))
        return true;
    Close();
    return false;
}

// ---------------------------------------------------------------------------
// Listings

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

// ---------------------------------------------------------------------------
// Erasing and format selection

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

// ---------------------------------------------------------------------------
// Receiving

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

void CComInstrument::CloseFile()
{
    // A QSaveFile that was not committed is discarded; the target is untouched.
    m_file.reset();
}

// ---------------------------------------------------------------------------
// Sending

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
            ShowMessage(QStringLiteral("Line %1 of %2 is longer than %3 characters. The file was not sent.")
                            .arg(lineNumber)
                            .arg(QDir::toNativeSeparators(path))
                            .arg(kMaxCommand));
            return false;
        }
        start = end + 2;
    }
}

bool CComInstrument::OpenSourceFile(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return false;
    m_file = std::move(file);
    return true;
}

bool CComInstrument::SendableName(const QString& name)
{
    if (IsSendableName(name))
        return true;
    ShowMessage(
        QStringLiteral("The name \"%1\" cannot be sent to the instrument: it is empty or holds \"/\" or a line break.")
            .arg(name));
    return false;
}

// Commands built from a name pass through a buffer of 100 characters.
bool CComInstrument::FitsFormatted(const QString& command)
{
    if (command.size() <= kMaxFormattedCommand)
        return true;
    ShowMessage(QStringLiteral("The command \"%1\" is too long for the instrument (at most %2 characters).")
                    .arg(command)
                    .arg(kMaxFormattedCommand));
    return false;
}

bool CComInstrument::SendJobFile(QString path, int number, int kind, QString sourceName)
{
    const QString source = sourceName.isEmpty() ? path : sourceName;
    const QString type = FileType(source);
    if (type == QLatin1String("TQS")) {
        m_nFormat = 0;
    } else if (type == QLatin1String("VRN")) {
        m_nFormat = 1;
    } else {
        ShowMessage(LoadString(IDS_WRONG_FILE_FORMAT));
        return false;
    }
    if (!CheckSendableFile(path))
        return false;
    if (!SelectFormat(0))
        return false;
    if (!PrepareJob(source, number, kind))
        return false;
    return StreamPrepared(path);
}

bool CComInstrument::SendCodeListFile(QString path, int number, int kind, QString sourceName)
{
    const QString source = sourceName.isEmpty() ? path : sourceName;
    if (FileType(source) != QLatin1String("VRN")) {
        ShowMessage(LoadString(IDS_WRONG_FILE_FORMAT));
        return false;
    }
    m_nFormat = 1;
    if (!CheckSendableFile(path))
        return false;
    if (!SelectFormat(0))
        return false;
    if (!PrepareCodeList(source, number, kind))
        return false;
    return StreamPrepared(path);
}

// Streams the file to the prepared instrument (port open) and closes the port.
bool CComInstrument::StreamPrepared(const QString& path)
{
    if (!OpenSourceFile(path)) {
        ShowError(IDS_COMMUNICATION_ERROR, IDS_CANNOT_OPEN_FILE);
        Close();
        return false;
    }
    CProgress& progress = CServices::Progress();
    progress.Show();
    progress.SetText(path);
    progress.SetBytes(0);
    progress.SetRange(static_cast<int>(m_file->size() / 50));
    const bool complete = StreamFile();
    Close();
    progress.Hide();
    return complete;
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

    if (kind == KindJob || empty != 0) {
        QStringList existing;
        for (const CJobInfo& job : m_jobs) {
            if (job.m_nNumber != number)
                existing.append(job.m_strName);
        }
        if (!NameAndOpen(name, existing, row ? row->m_strName : QString(), QStringLiteral("MyJob%1").arg(number),
                         IDS_NEW_JOB_NAME, QStringLiteral("JOB/SET/%1/") + QString::number(number)))
            return false;
    } else if (!Open()) {
        return false;
    }
    return Announce(QStringLiteral("JOB/SND/COORD/%1").arg(number));
}

bool CComInstrument::PrepareCodeList(QString name, int number, int)
{
    const CCodeListInfo* row = FindRow(m_codeLists, number);
    if (row && row->m_bEmpty) {
        QStringList existing;
        for (const CCodeListInfo& list : m_codeLists) {
            if (list.m_nNumber != number)
                existing.append(list.m_strName);
        }
        if (!NameAndOpen(name, existing, row->m_strName, QStringLiteral("MyCode%1").arg(number), IDS_NEW_CODELIST_NAME,
                         QStringLiteral("CODE/SET/%1/") + QString::number(number)))
            return false;
    } else if (!Open()) {
        return false;
    }
    return Announce(QStringLiteral("CODE/SND/%1").arg(number));
}

// Names the target job or code list: proposes a name from the source (or
// `fallback` when another entry has it), asks when it differs from the
// current name, opens the port and sends the naming command (`setPattern`
// with %1 for the name). False, with the port closed, when any step fails.
bool CComInstrument::NameAndOpen(const QString& source, const QStringList& existing, const QString& current,
                                 const QString& fallback, int titleId, const QString& setPattern)
{
    if (source.isEmpty())
        return false;
    QString newName = ProposeName(source, existing, fallback);
    if (newName != current && !AskName(titleId, IDS_ENTER_NEW_NAME, newName, existing))
        return false;
    const QString command = setPattern.arg(newName);
    if (!SendableName(newName) || !FitsFormatted(command))
        return false;
    if (!Open())
        return false;
    if (!SetName(command)) {
        Close();
        return false;
    }
    return true;
}

// Wakes the instrument and announces the data; true with the port left open
// when the announcement was answered and not refused.
bool CComInstrument::Announce(const QString& command)
{
    CWaitCursor wait;
    Pause(1000);
    ReadLine();
    if (!SendOrClose(kWake))
        return false;
    Pause(1000);
    ReadLine();
    if (!SendOrClose(command))
        return false;
    Pause(8000);
    const QString reply = ReadLine();
    if (!reply.isEmpty() && !IsRefusal(reply))
        return true;
    Close();
    return false;
}

bool CComInstrument::SetName(const QString& command)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        CWaitCursor wait;
        if (!SendOrClose(kWake))
            return false;
        Pause(1000);
        ReadLine();
        if (!SendLine(command))
            return false;
        Pause(2000);
        const QString reply = ReadLine();
        // Silence counts as acceptance, a vanished device does not.
        if (!IsRefusal(reply))
            return !m_port.DeviceLost();
    }
    ShowMessage(LoadString(IDS_PROBLEM_SETTING_NAME));
    return false;
}

bool CComInstrument::SendFormatFile(QString path, int number, int, QString sourceName)
{
    const QString source = sourceName.isEmpty() ? path : sourceName;
    if (FileType(source) != QLatin1String("FRT")) {
        ShowMessage(LoadString(IDS_WRONG_FILE_FORMAT));
        return false;
    }
    if (!CheckSendableFile(path))
        return false;
    if (!OpenSourceFile(path)) {
        ShowError(IDS_COMMUNICATION_ERROR, IDS_CANNOT_OPEN_FILE);
        return false;
    }
    if (!Open()) {
        CloseFile();
        return false;
    }
    if (!SendLine(kWake)) {
        Close();
        CloseFile();
        return false;
    }
    Pause(1000);
    ReadLine();
    if (!SendLine(QStringLiteral("FORM/SND/%1").arg(number))) {
        Close();
        CloseFile();
        return false;
    }
    Pause(3000);
    const QString reply = ReadLine();
    if (reply.isEmpty() || IsRefusal(reply)) {
        Close();
        CloseFile();
        return false;
    }
    CProgress& progress = CServices::Progress();
    progress.Show();
    progress.SetText(path);
    progress.SetBytes(0);
    progress.SetRange(static_cast<int>(m_file->size() / 50));
    const bool complete = StreamFile();
    if (!SendLine(QString(QChar(kEndOfFile)))) {
        Close();
        progress.Hide();
        return false;
    }
    for (int read = 0; read < 6 && ReadLine().isEmpty() && !m_port.DeviceLost(); ++read) {}
    Close();
    progress.Hide();
    return complete;
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
                ShowMessage(QStringLiteral("A line of the file is longer than %1 characters. Sending stopped.")
                                .arg(kStreamBuffer));
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
