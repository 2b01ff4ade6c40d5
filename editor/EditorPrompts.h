#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

// Every modal exchange of the editor with its user goes through these hooks:
// the program keeps the Qt defaults, widget tests replace them to answer
// without blocking and to record what was shown.
class CEditorPrompts
{
public:
    CEditorPrompts();

    std::function<int(QDialog&)> m_fnRunModal;
    std::function<void(QWidget*, const QString&)> m_fnMessage;
    std::function<QMessageBox::StandardButton(QWidget*, const QString&, QMessageBox::StandardButtons)> m_fnAsk;
    std::function<void()> m_fnBeep;
    // Asks for a file to open (bSave false) or to save to; empty when cancelled.
    std::function<QString(QWidget*, bool bSave, const QString& strStart)> m_fnFileName;
};

CEditorPrompts& EditorPrompts();
