#pragma once

#include <QString>
#include <QStringList>

// Answers of a message box, with the values the user interface toolkit of the
// handheld used, so that callers can compare against them.
enum EPromptResult { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
enum EPromptButtons { MB_OK = 0, MB_YESNO = 4 };
enum EPromptIcon {
    MB_ICONNONE = 0,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40
};

// The "Name" prompt: a name that must differ from every existing name.
struct CNameRequest
{
    QString m_strTitle;
    QString m_strPrompt;
    QString m_strName; // proposed on entry, the answer on OK
    QStringList m_existingNames;
};

// The "File exist" prompt: exactly one flag is set by a button, none by Escape.
struct CFileExistAnswer
{
    bool m_bOverwrite = false;
    bool m_bSkip = false;
    bool m_bCancel = false;
};

// The "Data Download..." prompt: file name and data format for a receive.
struct CDataDownloadRequest
{
    QString m_strName;           // proposed file name
    QStringList m_formatNames;   // formats offered, in order
    QString m_strSelectedFormat; // entry to preselect
    QString m_strResultName;     // on OK: the file name to write
    int m_nSelectedFormat = 0;   // on OK: list position chosen, -1 for none
};

// Every question the core asks the user goes through this service. The
// programs install a dialog-based one; tests install a scripted one.
class CPrompt
{
public:
    virtual ~CPrompt() = default;

    // An empty caption means the application's name.
    virtual int MessageBox(const QString& text, const QString& caption, int buttons, int icon) = 0;
    // True on OK; the entered name is left in the request.
    virtual bool AskName(CNameRequest& request) = 0;
    virtual CFileExistAnswer AskFileExist(const QString& fileName) = 0;
    // True for "Continue", false for "Abort".
    virtual bool AskError(const QString& text) = 0;
    // True on OK; result name and format position are left in the request.
    virtual bool AskDataDownload(CDataDownloadRequest& request) = 0;
};

// Tells the user of a failure through CServices::Prompt(): the text with the
// error icon, an OK button and the application's name as caption.
void ShowError(const QString& text);
