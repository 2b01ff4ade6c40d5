#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;

// The short "Find" dialog. Fill m_strFind and m_bMatchCase before running it
// and read them back after OK.
class CFindDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CFindDlg(QWidget* pParent = nullptr);

    QString m_strFind;
    int m_bMatchCase = 0;

    // Enter closes the dialog with OK and takes its values, without the
    // empty-text test of "Find Next".
    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void OnFindNext();
    void TakeValues();

    QComboBox* m_pComboFind;
    QCheckBox* m_pCheckCase;
};
