#pragma once

#include <QDialog>

class QLabel;

// "File exist": each button sets its flag and closes with the OK result;
// Escape closes with the cancel result and sets no flag. Enter overwrites.
class CFileExistDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CFileExistDlg(QWidget* parent = nullptr);

    QString m_strFileName;
    int m_bOverwrite = 0;
    int m_bSkip = 0;
    int m_bCancel = 0;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Choose(int* flag);

    QLabel* m_pFileName = nullptr;
};
