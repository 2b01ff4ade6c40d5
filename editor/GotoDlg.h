#pragma once

#include <QDialog>

class QLineEdit;

// "Go to": asks for a line number. Fill m_nLine before running it and read it
// back after OK.
class CGotoDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CGotoDlg(QWidget* pParent = nullptr);

    int m_nLine = 1;

    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    QLineEdit* m_pEditLine;
};
