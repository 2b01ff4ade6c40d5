#include "EditorPrompts.h"

#include "EditorResource.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>

CEditorPrompts::CEditorPrompts()
    : m_fnRunModal([](QDialog& dlg) { return dlg.exec(); }),
      m_fnMessage([](QWidget* pParent, const QString& strText) { QMessageBox::warning(pParent, kAppName, strText); }),
      m_fnAsk([](QWidget* pParent, const QString& strText, QMessageBox::StandardButtons buttons) {
          return QMessageBox::question(pParent, kAppName, strText, buttons);
      }),
      m_fnBeep([] { QApplication::beep(); }),
      m_fnFileName([](QWidget* pParent, bool bSave, const QString& strStart) {
          const QString strFilter = QStringLiteral("All Files (*)");
          return bSave ? QFileDialog::getSaveFileName(pParent, QStringLiteral("Save As"), strStart, strFilter)
                       : QFileDialog::getOpenFileName(pParent, QStringLiteral("Open"), strStart, strFilter);
      })
{}

CEditorPrompts& EditorPrompts()
{
    static CEditorPrompts prompts;
    return prompts;
}
