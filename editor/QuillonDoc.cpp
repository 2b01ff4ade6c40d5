#include "QuillonDoc.h"

#include "EditorPrompts.h"
#include "EditorResource.h"
#include "QuillonView.h"
#include "TextCodec.h"
#include "TextFile.h"

#include <QFileInfo>

CQuillonDoc::CQuillonDoc(CQuillonView* pView, QObject* pParent) : QObject(pParent), m_pView(pView) {}

void CQuillonDoc::OnNewDocument()
{
    m_pView->NewText();
    SetPathName(QString());
}

bool CQuillonDoc::OnOpenDocument(const QString& strPath)
{
    QByteArray bytes;
    QString strError;
    if (!CTextFile::Read(strPath, bytes, strError)) {
        EditorPrompts().m_fnMessage(m_pView, QStringLiteral("Failed to open document.\n\n%1").arg(strError));
        return false;
    }
    m_pView->SetBytes(bytes);
    SetPathName(QFileInfo(strPath).absoluteFilePath());
    return true;
}

bool CQuillonDoc::OnSaveDocument(const QString& strPath)
{
    const QString strText = m_pView->RawText();
    if (!ConfirmLowBytes(strText))
        return false;
    QString strError;
    if (!CTextFile::Write(strPath, m_pView->GetBytes(strText), strError)) {
        EditorPrompts().m_fnMessage(m_pView, QStringLiteral("Failed to save document.\n\n%1").arg(strError));
        return false;
    }
    m_pView->document()->setModified(false);
    SetPathName(QFileInfo(strPath).absoluteFilePath());
    return true;
}

QString CQuillonDoc::GetTitle() const
{
    return m_strPathName.isEmpty() ? kUntitled : QFileInfo(m_strPathName).fileName();
}

bool CQuillonDoc::IsModified() const
{
    return m_pView->document()->isModified();
}

bool CQuillonDoc::ConfirmLowBytes(const QString& strText)
{
    // A file holds bytes only: say so before changing what the user typed.
    const qsizetype nCount = CTextCodec::CountBeyondLatin1(strText);
    if (nCount == 0)
        return true;
    const QString strQuestion =
        QStringLiteral("The document holds %1 character(s) above U+00FF, which an 8-bit file cannot hold.\n"
                       "Each of them will be saved as its low byte and will read back as a different character.\n\n"
                       "Save anyway?")
            .arg(nCount);
    return EditorPrompts().m_fnAsk(m_pView, strQuestion, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void CQuillonDoc::SetPathName(const QString& strPath)
{
    m_strPathName = strPath;
    emit titleChanged();
}
