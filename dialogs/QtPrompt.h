#pragma once

#include "platform/Prompt.h"

#include <QPointer>

class QWidget;

// The prompt service of the programs: message boxes and the "Name",
// "File exist", "Error" and "Data Download..." dialogs, each modal over the
// window the user is looking at.
class CQtPrompt : public CPrompt
{
public:
    // The window that owns the prompts when no dialog is up (the main window).
    void SetMainWindow(QWidget* window) { m_pMainWindow = window; }

    int MessageBox(const QString& text, const QString& caption, int buttons, int icon) override;
    bool AskName(CNameRequest& request) override;
    CFileExistAnswer AskFileExist(const QString& fileName) override;
    bool AskError(const QString& text) override;
    bool AskDataDownload(CDataDownloadRequest& request) override;

private:
    QWidget* Owner() const;

    QPointer<QWidget> m_pMainWindow;
};
