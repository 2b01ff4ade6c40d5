#pragma once

#include "FindDlg.h"
#include "GotoDlg.h"
#include "ReplaceDlg.h"
#include "TextCodec.h"

#include <QByteArray>
#include <QPlainTextEdit>
#include <QPointer>

// The editor's view: one plain-text edit control holding the document's text.
// It keeps its Find and Go to dialogs for its whole life so that they
// remember their last values.
//
// The edit control knows only line breaks, not the bytes that ended each
// line in the file. The view remembers the file's usual line end and keeps
// every other end in the format of the block after it, so saving writes every
// untouched line end back as it was read, also after undo. New breaks get the
// usual end.
class CQuillonView : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CQuillonView(QWidget* pParent = nullptr);

    void NewText();
    void SetBytes(const QByteArray& bytes);
    // The text as the edit control holds it, lines separated by U+2029.
    QString RawText() const;
    QByteArray GetBytes() const;
    QByteArray GetBytes(const QString& strRawText) const;
    bool IsEmptyText() const;

    void OnEditCopy();
    void OnEditPaste();
    void OnEditGoto();
    void OnEditFind();
    void OnEditReplace();

    // Searches forward from the selection, wrapping round once; selects the
    // match, or beeps when there is none.
    bool FindText(const QString& strFind, bool bMatchCase);
    int ReplaceAll(const QString& strFind, const QString& strReplace, bool bMatchCase);

    ELineEnd UsualLineEnd() const { return m_usualEnd; }
    CReplaceDlg* ReplaceDialog() const { return m_pReplaceDlg; }

    CFindDlg m_dlgFind;
    CGotoDlg m_dlgGoto;

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void InsertLineBreak();
    void InsertText(QTextCursor& cursor, const QString& strText) const;
    bool SameAsSelected(const QString& strFind, bool bMatchCase) const;
    QString SelectedLine() const;
    void OnReplaceFindNext();
    void OnReplaceOne();
    void OnReplaceAll();

    ELineEnd m_usualEnd = ELineEnd::CRLF;
    QPointer<CReplaceDlg> m_pReplaceDlg;
};
