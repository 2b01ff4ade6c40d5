#pragma once

#include "platform/Prompt.h"

// Answers the core's questions from the command line's options: with --yes
// every Yes/No question and every overwrite question is answered Yes,
// otherwise No; names and download choices come from options. Every text
// shown goes to stderr. With m_bAskOnTerminal, Yes/No questions are put to
// the user on the terminal instead, whatever --yes says.
class CConsolePrompt : public CPrompt
{
public:
    int MessageBox(const QString& text, const QString& caption, int buttons, int icon) override;
    bool AskName(CNameRequest& request) override;
    CFileExistAnswer AskFileExist(const QString& fileName) override;
    bool AskError(const QString& text) override;
    bool AskDataDownload(CDataDownloadRequest& request) override;

    bool m_bYes = false;
    bool m_bAskOnTerminal = false;
    // Name to answer the "Name" prompt with; empty keeps the proposal.
    QString m_strName;
    // File name and format for "Data Download..."; empty keeps the proposal / first format.
    QString m_strFileName;
    QString m_strFormat;
    // Last message text shown, so that a failing command can repeat it.
    QString m_strLastMessage;
};
