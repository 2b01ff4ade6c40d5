#include "GotoDlg.h"

#include "EditorPrompts.h"
#include "EditorResource.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

CGotoDlg::CGotoDlg(QWidget* pParent) : QDialog(pParent), m_pEditLine(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Go to"));
    m_pEditLine->setObjectName(ControlName(IDC_LINE));

    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("&Line:"), m_pEditLine);

    auto* pButtons = new QDialogButtonBox(this);
    QPushButton* pGo = pButtons->addButton(QStringLiteral("&Go To"), QDialogButtonBox::AcceptRole);
    pButtons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    pGo->setDefault(true);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CGotoDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CGotoDlg::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(pButtons);
}

void CGotoDlg::showEvent(QShowEvent* pEvent)
{
    if (!pEvent->spontaneous()) {
        m_pEditLine->setText(QString::number(m_nLine));
        m_pEditLine->selectAll();
        m_pEditLine->setFocus();
    }
    QDialog::showEvent(pEvent);
}

void CGotoDlg::accept()
{
    bool bOk = false;
    const int nLine = m_pEditLine->text().trimmed().toInt(&bOk);
    if (!bOk) {
        EditorPrompts().m_fnMessage(this, QStringLiteral("Please enter an integer."));
        m_pEditLine->selectAll();
        m_pEditLine->setFocus();
        return;
    }
    m_nLine = nLine;
    QDialog::accept();
}
