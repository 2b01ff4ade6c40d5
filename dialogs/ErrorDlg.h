#pragma once

#include <QDialog>

class QPlainTextEdit;

// "Error": shows a failure and asks whether to go on. "Continue" is the OK
// result, "Abort" (and Escape) the cancel result.
class CErrorDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CErrorDlg(QWidget* parent = nullptr);

    QString m_strError;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPlainTextEdit* m_pText = nullptr;
};
