#include "ComInstrument.h"

#include "ComSettings.h"
#include "PortSession.h"
#include "Protocol.h"
#include "platform/Bytes.h"
#include "platform/Clock.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

using namespace Protocol;

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
        ShowMessage(LoadString(IDS_LINE_TOO_LONG).arg(text.size()).arg(kMaxCommand));
        return false;
    }
    const int unsendable = UnsendableCharacter(text);
    if (unsendable >= 0) {
        const int code = text.at(unsendable).unicode();
        ShowMessage(LoadString(IDS_CHARACTER_NOT_SENDABLE)
                        .arg(QString::number(code, 16).toUpper(),
                             QString::number(code & 0xFF, 16).toUpper().rightJustified(2, QLatin1Char('0'))));
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

void CComInstrument::CloseFile()
{
    // A QSaveFile that was not committed is discarded; the target is untouched.
    m_file.reset();
}

void CComInstrument::ShowMessage(const QString& text)
{
    CServices::Prompt().MessageBox(text, LoadString(IDS_ERROR), MB_OK, MB_ICONERROR);
}

// "c" and the one reply line that follows it, which is discarded; the pauses
// (none when 0) come before and after that read. False when "c" could not be sent.
bool CComInstrument::Wake(int pauseBeforeReadMs, int pauseAfterReadMs)
{
    if (!SendLine(kWake))
        return false;
    if (pauseBeforeReadMs > 0)
        Pause(pauseBeforeReadMs);
    ReadLine();
    if (pauseAfterReadMs > 0)
        Pause(pauseAfterReadMs);
    return true;
}

bool CComInstrument::Probe()
{
    {
        CPortSession session(*this);
        if (!SendLine(QStringLiteral("a")))
            return false;
    }
    Pause(3000);
    CPortSession session(*this);
    if (!Wake(0, 0) || !SendLine(kWake))
        return false;
    return !ReadLine().isEmpty();
}

bool CComInstrument::Identify()
{
    CPortSession session(*this);
    if (!SendLine(QStringLiteral("%R1Q,5004:")))
        return false;
    const std::optional<CIdentifyReply> reply = ParseIdentifyReply(ReadLine());
    if (!reply)
        return true;
    if (reply->m_bOk)
        m_strName = reply->m_strName;
    return reply->m_bOk;
}

CComInstrument::EConnect CComInstrument::Connect()
{
    if (!Probe()) {
        // An empty caption stands for the application's name.
        CServices::Prompt().MessageBox(LoadString(IDS_COMMUNICATION_PROBLEM), QString(), MB_OK, MB_ICONNONE);
        return CONNECT_NO_ANSWER;
    }
    Pause(1000);
    return Identify() ? CONNECT_OK : CONNECT_IDENTIFY_ERROR;
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
