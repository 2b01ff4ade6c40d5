#include "FindDlg.h"

#include "EditorPrompts.h"
#include "EditorResource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

CFindDlg::CFindDlg(QWidget* pParent)
    : QDialog(pParent),
      m_pComboFind(new QComboBox(this)),
      m_pCheckCase(new QCheckBox(QStringLiteral("Match &Case"), this))
{
    setWindowTitle(QString());
    m_pComboFind->setObjectName(ControlName(IDC_FIND_WHAT));
    m_pComboFind->setEditable(true);
    m_pComboFind->setInsertPolicy(QComboBox::NoInsert); // no search history
    m_pComboFind->setMinimumContentsLength(20);
    m_pCheckCase->setObjectName(ControlName(IDC_MATCH_CASE));

    auto* pLabel = new QLabel(QStringLiteral("Find What:"), this);
    pLabel->setBuddy(m_pComboFind);

    auto* pFindNext = new QPushButton(QStringLiteral("Find Next"), this);
    pFindNext->setObjectName(ControlName(IDC_FIND_NEXT));
    pFindNext->setAutoDefault(false);
    auto* pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    pCancel->setObjectName(QStringLiteral("cancel"));
    pCancel->setAutoDefault(false);
    connect(pFindNext, &QPushButton::clicked, this, &CFindDlg::OnFindNext);
    connect(pCancel, &QPushButton::clicked, this, &CFindDlg::reject);

    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(pLabel, 0, 0);
    pLayout->addWidget(m_pComboFind, 0, 1);
    pLayout->addWidget(pFindNext, 0, 2);
    pLayout->addWidget(m_pCheckCase, 1, 0, 1, 2);
    pLayout->addWidget(pCancel, 1, 2);
}

void CFindDlg::showEvent(QShowEvent* pEvent)
{
    if (!pEvent->spontaneous()) {
        m_pComboFind->setEditText(m_strFind);
        m_pComboFind->lineEdit()->selectAll();
        m_pCheckCase->setChecked(m_bMatchCase != 0);
        m_pComboFind->setFocus();
    }
    QDialog::showEvent(pEvent);
}

void CFindDlg::keyPressEvent(QKeyEvent* pEvent)
{
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void CFindDlg::TakeValues()
{
    m_strFind = m_pComboFind->currentText();
    m_bMatchCase = m_pCheckCase->isChecked() ? 1 : 0;
}

void CFindDlg::OnFindNext()
{
    TakeValues();
    if (m_strFind.isEmpty()) {
        EditorPrompts().m_fnBeep();
        m_pComboFind->setFocus();
        return;
    }
    QDialog::accept();
}

void CFindDlg::accept()
{
    TakeValues();
    QDialog::accept();
}
