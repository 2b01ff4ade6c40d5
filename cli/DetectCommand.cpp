// tessaro-cli detect [--device PATH] [--save]: finds the instrument's port
// and line settings.
#include "CliCommands.h"
#include "ConsolePrompt.h"
#include "TerminalText.h"

#include "instrument/InstrumentDetector.h"
#include "platform/Profile.h"
#include "platform/Progress.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <cstdio>
#include <unistd.h>

namespace {

// Shows the try in progress on one line of a terminal; says nothing otherwise.
class CSearchLine : public CNullProgress
{
public:
    void SetText(const QString& text) override
    {
        if (!m_bTerminal)
            return;
        std::fprintf(stderr, "\r%s\x1b[K", qPrintable(text));
        std::fflush(stderr);
        m_bShown = true;
    }
    void Hide() override
    {
        if (m_bShown)
            std::fprintf(stderr, "\r\x1b[K");
        m_bShown = false;
    }

private:
    bool m_bTerminal = isatty(STDERR_FILENO) != 0;
    bool m_bShown = false;
};

// One tab-separated line: device, port, speed, data bits, parity, stop bits, end mark, name.
void PrintResult(const CDetectResult& result)
{
    const CComSettings& s = result.m_settings;
    static const char* const parities[] = {"N", "O", "E"};
    static const char* const stopBits[] = {"1", "1.5", "2"};
    std::printf("%s\tCOM%d:\t%d\t%d\t%s\t%s\t%s\t%s\n", qPrintable(result.m_strDevice), s.ComPort, s.BaudRate,
                s.ByteSize, s.Parity < 3 ? parities[s.Parity] : "?", s.StopBits < 3 ? stopBits[s.StopBits] : "?",
                s.EndMark == QLatin1String("\r\n") ? "CRLF" : "CR", InstrumentText(result.m_strName).constData());
}

} // namespace

int RunDetectCommand(QStringList args, const QString& device, const CCliOptions& options)
{
    const bool save = TakeFlag(args, QStringLiteral("--save"));
    if (!args.isEmpty())
        return CliUsage(LoadString(IDS_CLI_DETECT_TAKES), &PrintInstrumentUsage);

    CConsolePrompt prompt;
    prompt.m_bYes = options.m_bYes;
    CSearchLine progress;
    CScopedServices services(nullptr, &prompt, &progress);
    CComSettings current;
    current.Load();
    CInstrumentDetector detector;
    const CDetectResult result = detector.Run(current, device);
    for (const QString& note : result.m_notes)
        CliNote(note);
    if (result.m_outcome == CDetectResult::DETECT_CANCELLED)
        return CliFail(LoadString(IDS_DETECT_CANCELLED));
    if (result.m_outcome != CDetectResult::DETECT_FOUND)
        return CliFail(LoadString(IDS_DETECT_NOT_FOUND));

    PrintResult(result);
    std::fflush(stdout);
    if (!result.m_bNameGiven)
        CliNote(LoadString(IDS_CLI_NO_NAME));
    if (save) {
        if (!CInstrumentDetector::Save(result))
            return CliFail(LoadString(IDS_PROFILE_NOT_SAVED).arg(CProfile::FilePath()));
        if (result.m_bNewMapping)
            CliNote(LoadString(IDS_DETECT_MAPPED).arg(result.m_settings.ComPort).arg(result.m_strDevice));
    }
    return EXIT_OK;
}
