#include "ScriptedPrompt.h"

void CScriptedPrompt::PushButton(int result)
{
    m_answers.append({KMessage, result, false, QString(), {}});
}

void CScriptedPrompt::PushName(bool ok, const QString& name)
{
    m_answers.append({KName, 0, ok, name, {}});
}

void CScriptedPrompt::PushFileExist(const CFileExistAnswer& answer)
{
    m_answers.append({KFileExist, 0, false, QString(), answer});
}

void CScriptedPrompt::PushError(bool goOn)
{
    m_answers.append({KError, 0, goOn, QString(), {}});
}

void CScriptedPrompt::PushDataDownload(bool ok, const QString& resultName, int formatIndex)
{
    m_answers.append({KDataDownload, formatIndex, ok, resultName, {}});
}

bool CScriptedPrompt::Take(EKind kind, const QString& what, CAnswer& answer)
{
    if (m_answers.isEmpty() || m_answers.first().m_kind != kind) {
        m_unexpected.append(what);
        return false;
    }
    answer = m_answers.takeFirst();
    return true;
}

int CScriptedPrompt::MessageBox(const QString& text, const QString& caption, int buttons, int icon)
{
    m_shown.append(caption + ": " + text);
    m_icons.append(icon);
    CAnswer a;
    // A plain OK box needs no scripted answer.
    if (buttons == MB_OK && (m_answers.isEmpty() || m_answers.first().m_kind != KMessage))
        return IDOK;
    if (!Take(KMessage, text, a))
        return buttons == MB_YESNO ? IDNO : IDCANCEL;
    return a.m_nValue;
}

bool CScriptedPrompt::AskName(CNameRequest& request)
{
    m_shown.append(request.m_strTitle + ": " + request.m_strPrompt);
    m_nameRequests.append(request);
    CAnswer a;
    if (!Take(KName, "Name: " + request.m_strName, a) || !a.m_bOk)
        return false;
    request.m_strName = a.m_strText;
    return true;
}

CFileExistAnswer CScriptedPrompt::AskFileExist(const QString& fileName)
{
    m_shown.append("File exist: " + fileName);
    CAnswer a;
    if (!Take(KFileExist, fileName, a)) {
        CFileExistAnswer cancel;
        cancel.m_bCancel = true;
        return cancel;
    }
    return a.m_fileExist;
}

bool CScriptedPrompt::AskError(const QString& text)
{
    m_shown.append("Error: " + text);
    CAnswer a;
    return Take(KError, text, a) && a.m_bOk;
}

bool CScriptedPrompt::AskDataDownload(CDataDownloadRequest& request)
{
    m_shown.append("Data Download...: " + request.m_strName);
    m_downloadRequests.append(request);
    CAnswer a;
    if (!Take(KDataDownload, request.m_strName, a) || !a.m_bOk)
        return false;
    request.m_strResultName = a.m_strText;
    request.m_nSelectedFormat = a.m_nValue;
    return true;
}
