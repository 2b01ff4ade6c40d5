#include "QtPrompt.h"

#include "DataDownloadDlg.h"
#include "ErrorDlg.h"
#include "FileExistDlg.h"
#include "FocusReturn.h"
#include "NameDlg.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon ToQtIcon(int icon)
{
    switch (icon) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// A question asked while the wait cursor shows (a failure in the middle of a
// long operation) shows the normal cursor over its window while it waits.
class CAskingCursor
{
public:
    CAskingCursor() : m_bPushed(QGuiApplication::overrideCursor() != nullptr)
    {
        if (m_bPushed)
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~CAskingCursor()
    {
        if (m_bPushed)
            QGuiApplication::restoreOverrideCursor();
    }
    CAskingCursor(const CAskingCursor&) = delete;
    CAskingCursor& operator=(const CAskingCursor&) = delete;

private:
    bool m_bPushed;
};

} // namespace

QWidget* CQtPrompt::Owner() const
{
    // A prompt asked from within a dialog (a duplicate name) stays over it.
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (m_pMainWindow)
        return m_pMainWindow;
    return QApplication::activeWindow();
}

int CQtPrompt::MessageBox(const QString& text, const QString& caption, int buttons, int icon)
{
    const CFocusReturn focus;
    const CAskingCursor cursor;
    const bool yesNo = buttons == MB_YESNO;
    QMessageBox box(ToQtIcon(icon), caption.isEmpty() ? AppTitle() : caption, text,
                    yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, Owner());
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    if (yesNo)
        return answer == QMessageBox::Yes ? IDYES : IDNO;
    return IDOK;
}

bool CQtPrompt::AskName(CNameRequest& request)
{
    const CFocusReturn focus;
    const CAskingCursor cursor;
    CNameDlg dlg(Owner());
    dlg.m_strTitle = request.m_strTitle;
    dlg.m_strPrompt = request.m_strPrompt;
    dlg.m_strName = request.m_strName;
    dlg.m_pExistingNames = &request.m_existingNames;
    if (dlg.exec() != QDialog::Accepted)
        return false;
    request.m_strName = dlg.m_strName;
    return true;
}

CFileExistAnswer CQtPrompt::AskFileExist(const QString& fileName)
{
    const CFocusReturn focus;
    const CAskingCursor cursor;
    CFileExistDlg dlg(Owner());
    dlg.m_strFileName = fileName;
    dlg.exec();
    CFileExistAnswer answer;
    answer.m_bOverwrite = dlg.m_bOverwrite != 0;
    answer.m_bSkip = dlg.m_bSkip != 0;
    answer.m_bCancel = dlg.m_bCancel != 0;
    return answer;
}

bool CQtPrompt::AskError(const QString& text)
{
    const CFocusReturn focus;
    const CAskingCursor cursor;
    CErrorDlg dlg(Owner());
    dlg.m_strError = text;
    return dlg.exec() == QDialog::Accepted;
}

bool CQtPrompt::AskDataDownload(CDataDownloadRequest& request)
{
    const CFocusReturn focus;
    const CAskingCursor cursor;
    CDataDownloadDlg dlg(Owner());
    dlg.m_strResultName = request.m_strName;
    dlg.m_strName = request.m_strName;
    dlg.m_formatNames = request.m_formatNames;
    dlg.m_strSelectedFormat = request.m_strSelectedFormat;
    if (dlg.exec() != QDialog::Accepted)
        return false;
    request.m_strResultName = dlg.m_strResultName;
    request.m_nSelectedFormat = dlg.m_nSelectedFormat;
    return true;
}
