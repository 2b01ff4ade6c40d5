#include "ErrorDlg.h"

#include "ControlId.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CErrorDlg::CErrorDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Error"));

    m_pText = new QPlainTextEdit(this);
    m_pText->setReadOnly(true);
    // Keeps Enter for the default button.
    m_pText->setFocusPolicy(Qt::NoFocus);
    SetControlId(m_pText, 1033, QStringLiteral("Error"));

    auto* goOn = new QPushButton(QStringLiteral("Continue"), this);
    SetControlId(goOn, 1, QStringLiteral("Continue"));
    goOn->setDefault(true);
    auto* abort = new QPushButton(QStringLiteral("Abort"), this);
    SetControlId(abort, 2, QStringLiteral("Abort"));
    connect(goOn, &QPushButton::clicked, this, &CErrorDlg::accept);
    connect(abort, &QPushButton::clicked, this, &CErrorDlg::reject);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(goOn);
    buttonRow->addWidget(abort);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pText);
    layout->addLayout(buttonRow);
    goOn->setFocus();
}

void CErrorDlg::showEvent(QShowEvent* event)
{
    m_pText->setPlainText(m_strError);
    QDialog::showEvent(event);
}
