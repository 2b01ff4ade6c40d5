#include "TessaroApp.h"

#include "MainFrame.h"
#include "NodeImages.h"
#include "TessaroView.h"

#include "dialogs/QtPrompt.h"
#include "dialogs/TransferProgress.h"
#include "platform/LocalPaths.h"
#include "platform/Profile.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCursor>
#include <QIcon>

#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {
void SetWaitCursor(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}
} // namespace

CTessaroApp::CTessaroApp() = default;

CTessaroApp::~CTessaroApp()
{
    ExitInstance();
}

void CTessaroApp::ExitInstance()
{
    // The view goes first: its destruction may still use the services.
    m_pFrame.reset();
    m_pProgress.reset();
    m_pPrompt.reset();
    CServices::SetPrompt(nullptr);
    CServices::SetProgress(nullptr);
    CServices::SetWaitCursorHook(nullptr);
    CLocalPaths::RemoveStaging();
}

int CTessaroApp::ParseArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Marvo Tessaro: one tree for this machine's files, a surveying instrument and an FTP server."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption root(QStringLiteral("root"), QStringLiteral("Folder shown as \"MyComputer\" (default /)."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption profile(QStringLiteral("profile"), QStringLiteral("INI file that holds the settings."),
                                     QStringLiteral("FILE"));
    parser.addOption(root);
    parser.addOption(profile);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tessaro: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // Parsed before the application object exists, so name the program here.
        QString help = parser.helpText();
        help.replace(QStringLiteral("<executable_name>"), QStringLiteral("tessaro"));
        std::fputs(qPrintable(help), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (parser.isSet(root)) {
        QString error;
        if (!CLocalPaths::SetRoot(parser.value(root), &error)) {
            std::fprintf(stderr, "tessaro: %s\n", qPrintable(error));
            return 2;
        }
    }
    if (parser.isSet(profile))
        CProfile::SetFile(parser.value(profile));
    return -1;
}

bool CTessaroApp::SocketsAvailable()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool CTessaroApp::InitInstance()
{
    CProfile::SetApplication(QStringLiteral("Tessaro"));
    SetAppTitle(QStringLiteral("Tessaro"));
    CNodeImages::InitResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tessaro.svg")));

    m_pPrompt = std::make_unique<CQtPrompt>();
    m_pProgress = std::make_unique<CTransferProgress>();
    CServices::SetPrompt(m_pPrompt.get());
    CServices::SetProgress(m_pProgress.get());
    CServices::SetWaitCursorHook(&SetWaitCursor);

    m_pFrame = std::make_unique<CMainFrame>();
    m_pPrompt->SetMainWindow(m_pFrame.get());
    m_pProgress->Create(m_pFrame->View());
    m_pFrame->show();
    m_pFrame->setWindowTitle(LoadString(IDS_APP_WINDOW_TITLE));
    m_pFrame->View()->OnInitialUpdate();
    m_pFrame->UpdateCommandUI();

    if (!SocketsAvailable()) {
        ShowError(LoadString(IDS_NO_SOCKETS));
        return false;
    }
    return true;
}
