#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The modeless "Replace" dialog. It only collects the texts; the view does
// the searching and replacing when one of its signals arrives.
class CReplaceDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CReplaceDlg(QWidget* pParent = nullptr);

    void SetFindText(const QString& strFind);
    QString FindText() const;
    QString ReplaceText() const;
    bool MatchCase() const;

signals:
    void findNext();
    void replaceOne();
    void replaceAll();

private:
    void UpdateButtons();

    QLineEdit* m_pEditFind;
    QLineEdit* m_pEditReplace;
    QCheckBox* m_pCheckCase;
    QPushButton* m_pFindNext;
    QPushButton* m_pReplace;
    QPushButton* m_pReplaceAll;
};
