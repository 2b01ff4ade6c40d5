#include "ConsolePrompt.h"

#include "TerminalText.h"
#include "resources/StringTable.h"

#include <cstdio>
#include <cstring>

namespace {

// Asks on the terminal; anything but "y" or "yes" is No.
bool AskTerminal()
{
    std::fprintf(stderr, "Answer yes or no [y/N]: ");
    std::fflush(stderr);
    char line[64] = {};
    if (!std::fgets(line, sizeof line, stdin))
        return false;
    line[std::strcspn(line, "\r\n")] = '\0';
    return std::strcmp(line, "y") == 0 || std::strcmp(line, "Y") == 0 || std::strcmp(line, "yes") == 0
        || std::strcmp(line, "Yes") == 0 || std::strcmp(line, "YES") == 0;
}

} // namespace

int CConsolePrompt::MessageBox(const QString& text, const QString& givenCaption, int buttons, int)
{
    // An empty caption stands for the application's name, as in the explorer.
    const QString caption = givenCaption.isEmpty() ? AppTitle() : givenCaption;
    m_strLastMessage = text;
    if (buttons == MB_YESNO && m_bAskOnTerminal) {
        std::fprintf(stderr, "%s:\n%s\n", qPrintable(TerminalText(caption)), qPrintable(TerminalText(text)));
        return AskTerminal() ? IDYES : IDNO;
    }
    if (buttons == MB_YESNO) {
        std::fprintf(stderr, "%s: %s -> %s\n", qPrintable(TerminalText(caption)), qPrintable(TerminalText(text)),
                     m_bYes ? "Yes" : "No");
        return m_bYes ? IDYES : IDNO;
    }
    std::fprintf(stderr, "%s: %s\n", qPrintable(TerminalText(caption)), qPrintable(TerminalText(text)));
    return IDOK;
}

bool CConsolePrompt::AskName(CNameRequest& request)
{
    const QString name = m_strName.isEmpty() ? request.m_strName : m_strName;
    if (name.isEmpty() || name.size() > 16 || request.m_existingNames.contains(name)) {
        std::fprintf(stderr, "%s: the name \"%s\" cannot be used (empty, longer than 16 characters or a duplicate)\n",
                     qPrintable(request.m_strTitle), qPrintable(name));
        return false;
    }
    request.m_strName = name;
    return true;
}

CFileExistAnswer CConsolePrompt::AskFileExist(const QString& fileName)
{
    CFileExistAnswer answer;
    if (m_bYes) {
        answer.m_bOverwrite = true;
    } else {
        std::fprintf(stderr, "File exist: %s (skipped; --yes overwrites)\n", qPrintable(TerminalText(fileName)));
        answer.m_bSkip = true;
    }
    return answer;
}

bool CConsolePrompt::AskError(const QString& text)
{
    std::fprintf(stderr, "Error: %s\n", qPrintable(TerminalText(text)));
    m_strLastMessage = text;
    return m_bYes;
}

bool CConsolePrompt::AskDataDownload(CDataDownloadRequest& request)
{
    if (!m_strFormat.isEmpty()) {
        const int index = request.m_formatNames.indexOf(m_strFormat);
        if (index < 0) {
            std::fprintf(stderr, "Data Download...: no format \"%s\" (offered: %s)\n", qPrintable(m_strFormat),
                         qPrintable(request.m_formatNames.join(QStringLiteral(", "))));
            return false;
        }
        request.m_nSelectedFormat = index;
    } else {
        request.m_nSelectedFormat = request.m_formatNames.indexOf(request.m_strSelectedFormat);
        if (request.m_nSelectedFormat < 0 && !request.m_formatNames.isEmpty())
            request.m_nSelectedFormat = 0;
    }
    request.m_strResultName = m_strFileName.isEmpty() ? request.m_strName : m_strFileName;
    return !request.m_strResultName.isEmpty();
}
