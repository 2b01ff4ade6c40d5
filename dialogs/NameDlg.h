#pragma once

#include <QDialog>
#include <QStringList>

class QKeyEvent;
class QLabel;
class QLineEdit;

// "Name": asks for a name of at most 16 characters that differs from every
// existing name. Enter accepts; there is no OK button.
class CNameDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMaxLength = 16;

    explicit CNameDlg(QWidget* parent = nullptr);

    QString m_strPrompt;
    QString m_strName;
    QString m_strTitle;
    // The caller's names; the caller keeps them alive while the dialog runs.
    const QStringList* m_pExistingNames = nullptr;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void InitDialog();

    bool m_bInitialised = false;
    QLabel* m_pPrompt = nullptr;
    QLineEdit* m_pEdit = nullptr;
};
