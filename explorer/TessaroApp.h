#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class CMainFrame;
class CTransferProgress;
class CQtPrompt;

// Start-up of the explorer: options, profile, services, the one window.
class CTessaroApp
{
public:
    CTessaroApp();
    ~CTessaroApp();

    // Reads --root, --profile, --help and --version. Returns -1 to go on,
    // otherwise the exit code (after --help, --version or a bad option).
    int ParseArguments(const QStringList& arguments);
    // Creates and shows the window; false when start-up failed.
    bool InitInstance();
    // Destroys the window and the services; called before the application object goes.
    void ExitInstance();

    CMainFrame* MainFrame() const { return m_pFrame.get(); }
    CTransferProgress& TransferProgress() { return *m_pProgress; }

    static bool SocketsAvailable();

private:
    std::unique_ptr<CQtPrompt> m_pPrompt;
    std::unique_ptr<CTransferProgress> m_pProgress;
    std::unique_ptr<CMainFrame> m_pFrame;
};
