#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;

// "Data Download...": the file name and the data format of a receive from
// the instrument, turned into one file name ("job1.txt" and "VRN" give
// "job1.VRN").
class CDataDownloadDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CDataDownloadDlg(QWidget* parent = nullptr);

    QString m_strResultName;
    QString m_strName;
    QStringList m_formatNames;
    QComboBox* m_pFormatList = nullptr;
    // Before the dialog runs: the entry to preselect; after OK: the chosen one.
    QString m_strSelectedFormat;
    int m_nSelectedFormat = 0;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void InitDialog();

    bool m_bInitialised = false;
    QLineEdit* m_pName = nullptr;
};
