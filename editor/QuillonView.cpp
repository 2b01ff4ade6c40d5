#include "QuillonView.h"

#include "EditorPrompts.h"
#include "EditorResource.h"
#include "ReplaceDlg.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {

// A block's format holds the end of the line before it, when that is not the
// file's usual end. The format is what the edit control keeps with the break
// that starts a block: it moves with that break, and undo restores it with
// the break, so an untouched line end never changes.
constexpr int kEndBeforeProperty = QTextFormat::UserProperty + 1;

QTextBlockFormat WithEndBefore(QTextBlockFormat format, ELineEnd end, ELineEnd usualEnd)
{
    if (end == usualEnd)
        format.clearProperty(kEndBeforeProperty);
    else
        format.setProperty(kEndBeforeProperty, int(end));
    return format;
}

ELineEnd EndBefore(const QTextBlock& block, ELineEnd usualEnd)
{
    const QVariant end = block.blockFormat().property(kEndBeforeProperty);
    return end.isValid() ? ELineEnd(end.toInt()) : usualEnd;
}

// The first match of strFind starting at nFrom or later, character for
// character: QTextDocument::find() takes U+00A0 for a space, so a no-break
// space could neither be found nor told from a space. A search text holds no
// line break, so each line is searched on its own.
QTextCursor FindInText(QTextDocument* pDocument, const QString& strFind, int nFrom, bool bMatchCase)
{
    const Qt::CaseSensitivity cs = bMatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (QTextBlock block = pDocument->findBlock(nFrom); block.isValid(); block = block.next()) {
        const qsizetype nAt = block.text().indexOf(strFind, std::max(0, nFrom - block.position()), cs);
        if (nAt < 0)
            continue;
        QTextCursor found(pDocument);
        found.setPosition(block.position() + int(nAt));
        found.setPosition(found.position() + int(strFind.size()), QTextCursor::KeepAnchor);
        return found;
    }
    return QTextCursor();
}

} // namespace

CQuillonView::CQuillonView(QWidget* pParent) : QPlainTextEdit(pParent), m_dlgFind(this), m_dlgGoto(this)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void CQuillonView::NewText()
{
    clear();
    m_usualEnd = ELineEnd::CRLF;
    document()->setModified(false);
}

void CQuillonView::SetBytes(const QByteArray& bytes)
{
    const CDecodedText decoded = CTextCodec::Decode(bytes);
    setPlainText(decoded.m_strText);
    m_usualEnd = decoded.m_usualEnd;

    // The edit control makes one block per line; marking the ends is no step to undo.
    document()->setUndoRedoEnabled(false);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    QTextBlock block = document()->begin();
    for (ELineEnd end : decoded.m_lineEnds) {
        block = block.next();
        if (end != m_usualEnd) {
            cursor.setPosition(block.position());
            cursor.setBlockFormat(WithEndBefore(block.blockFormat(), end, m_usualEnd));
        }
    }
    cursor.endEditBlock();
    document()->setUndoRedoEnabled(true);
    moveCursor(QTextCursor::Start);
    document()->setModified(false);
}

QString CQuillonView::RawText() const
{
    return document()->toRawText();
}

QByteArray CQuillonView::GetBytes() const
{
    return GetBytes(RawText());
}

QByteArray CQuillonView::GetBytes(const QString& strRawText) const
{
    std::vector<ELineEnd> lineEnds;
    lineEnds.reserve(size_t(document()->blockCount()));
    for (QTextBlock block = document()->begin().next(); block.isValid(); block = block.next())
        lineEnds.push_back(EndBefore(block, m_usualEnd));
    return CTextCodec::Encode(strRawText, lineEnds, m_usualEnd);
}

bool CQuillonView::IsEmptyText() const
{
    return document()->isEmpty();
}

void CQuillonView::OnEditCopy()
{
    copy();
}

void CQuillonView::OnEditPaste()
{
    paste();
}

void CQuillonView::OnEditGoto()
{
    if (EditorPrompts().m_fnRunModal(m_dlgGoto) != QDialog::Accepted)
        return;
    const int nLine = m_dlgGoto.m_nLine;
    if (nLine < 1) {
        EditorPrompts().m_fnMessage(this, EditorString(IDS_LINE_TOO_SMALL));
        return;
    }
    const int nCaretLine = textCursor().blockNumber();
    if (nLine > document()->blockCount()) {
        EditorPrompts().m_fnMessage(this, EditorString(IDS_LINE_BEYOND_END));
        return;
    }
    // Keep the target line where the caret's line was on screen, then make
    // sure the caret is visible.
    verticalScrollBar()->setValue(verticalScrollBar()->value() + (nLine - 1) - nCaretLine);
    setTextCursor(QTextCursor(document()->findBlockByNumber(nLine - 1)));
    ensureCursorVisible();
}

void CQuillonView::OnEditFind()
{
    const QString strRemembered = m_dlgFind.m_strFind;
    if (textCursor().hasSelection())
        m_dlgFind.m_strFind = SelectedLine();

    if (EditorPrompts().m_fnRunModal(m_dlgFind) != QDialog::Accepted) {
        m_dlgFind.m_strFind = strRemembered;
        return;
    }
    if (!m_dlgFind.m_strFind.isEmpty())
        FindText(m_dlgFind.m_strFind, m_dlgFind.m_bMatchCase != 0);
}

void CQuillonView::OnEditReplace()
{
    if (!m_pReplaceDlg) {
        m_pReplaceDlg = new CReplaceDlg(this);
        connect(m_pReplaceDlg, &CReplaceDlg::findNext, this, &CQuillonView::OnReplaceFindNext);
        connect(m_pReplaceDlg, &CReplaceDlg::replaceOne, this, &CQuillonView::OnReplaceOne);
        connect(m_pReplaceDlg, &CReplaceDlg::replaceAll, this, &CQuillonView::OnReplaceAll);
    }
    if (textCursor().hasSelection())
        m_pReplaceDlg->SetFindText(SelectedLine());
    m_pReplaceDlg->show();
    m_pReplaceDlg->raise();
    m_pReplaceDlg->activateWindow();
}

bool CQuillonView::FindText(const QString& strFind, bool bMatchCase)
{
    if (strFind.isEmpty())
        return false;
    const QTextCursor current = textCursor();
    // Start at the selection, or just after its start when the selection
    // already is a match, so that repeated searches move on.
    int nStart = current.selectionStart();
    if (current.hasSelection() && SameAsSelected(strFind, bMatchCase))
        ++nStart;

    QTextCursor found = FindInText(document(), strFind, nStart, bMatchCase);
    if (found.isNull())
        found = FindInText(document(), strFind, 0, bMatchCase);
    if (found.isNull()) {
        EditorPrompts().m_fnBeep();
        return false;
    }
    setTextCursor(found);
    return true;
}

int CQuillonView::ReplaceAll(const QString& strFind, const QString& strReplace, bool bMatchCase)
{
    if (strFind.isEmpty())
        return 0;
    QTextCursor edit(document());
    edit.beginEditBlock(); // one undo step for the whole replacement
    int nCount = 0;
    int nPos = 0;
    for (;;) {
        QTextCursor found = FindInText(document(), strFind, nPos, bMatchCase);
        if (found.isNull())
            break;
        InsertText(found, strReplace);
        nPos = found.position();
        ++nCount;
    }
    edit.endEditBlock();
    if (nCount == 0)
        EditorPrompts().m_fnBeep();
    return nCount;
}

void CQuillonView::keyPressEvent(QKeyEvent* pEvent)
{
    if (isReadOnly() || !pEvent->matches(QKeySequence::InsertParagraphSeparator)) {
        QPlainTextEdit::keyPressEvent(pEvent);
        return;
    }
    InsertLineBreak();
    pEvent->accept();
}

void CQuillonView::InsertLineBreak()
{
    // The edit control would copy the line's format, and with it the end of
    // the line before, to the new break. A line end stays with the text it
    // ends: split inside or before a line's text, the line's end goes with
    // the second part; Enter after the text opens a new line below, and the
    // line keeps its end. The new break takes the usual end.
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QTextBlock next = cursor.block().next();
    if (cursor.atBlockEnd() && !cursor.atBlockStart() && next.isValid()) {
        cursor.insertBlock(next.blockFormat());
        QTextCursor after(cursor.block().next());
        after.setBlockFormat(WithEndBefore(after.blockFormat(), m_usualEnd, m_usualEnd));
    } else {
        cursor.insertBlock(WithEndBefore(cursor.blockFormat(), m_usualEnd, m_usualEnd));
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

void CQuillonView::InsertText(QTextCursor& cursor, const QString& strText) const
{
    // A replacement may hold line breaks (a paste into the dialog): each is a
    // new break with the usual end, not the line's format that the edit
    // control would copy.
    static const QRegularExpression breaks(QStringLiteral("\r\n|[\r\n\u2029]"));
    const QStringList parts = strText.split(breaks);
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            cursor.insertBlock(WithEndBefore(cursor.blockFormat(), m_usualEnd, m_usualEnd));
        cursor.insertText(parts[i]);
    }
    cursor.endEditBlock();
}

bool CQuillonView::SameAsSelected(const QString& strFind, bool bMatchCase) const
{
    const Qt::CaseSensitivity cs = bMatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return textCursor().selectedText().compare(strFind, cs) == 0;
}

QString CQuillonView::SelectedLine() const
{
    // A search text holds no line break: take the selection up to the first one.
    const QString strSelected = textCursor().selectedText();
    return strSelected.left(strSelected.indexOf(QChar::ParagraphSeparator));
}

void CQuillonView::OnReplaceFindNext()
{
    FindText(m_pReplaceDlg->FindText(), m_pReplaceDlg->MatchCase());
}

void CQuillonView::OnReplaceOne()
{
    const QString strFind = m_pReplaceDlg->FindText();
    const bool bMatchCase = m_pReplaceDlg->MatchCase();
    if (textCursor().hasSelection() && SameAsSelected(strFind, bMatchCase)) {
        QTextCursor cursor = textCursor();
        InsertText(cursor, m_pReplaceDlg->ReplaceText());
        setTextCursor(cursor);
    }
    FindText(strFind, bMatchCase);
}

void CQuillonView::OnReplaceAll()
{
    ReplaceAll(m_pReplaceDlg->FindText(), m_pReplaceDlg->ReplaceText(), m_pReplaceDlg->MatchCase());
}
