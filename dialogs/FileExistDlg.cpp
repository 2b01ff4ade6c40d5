#include "FileExistDlg.h"

#include "ControlId.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CFileExistDlg::CFileExistDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("File exist"));

    auto* question = new QLabel(QStringLiteral("Owerwrite existing file ?"), this);
    m_pFileName = new QLabel(this);
    m_pFileName->setTextFormat(Qt::PlainText);
    SetControlId(m_pFileName, 1032, QStringLiteral("File name"));

    auto* overwrite = new QPushButton(QStringLiteral("Owerwrite"), this);
    SetControlId(overwrite, 1030, QStringLiteral("Owerwrite"));
    overwrite->setDefault(true);
    auto* skip = new QPushButton(QStringLiteral("Skip"), this);
    SetControlId(skip, 1031, QStringLiteral("Skip"));
    // Id 3, not the dialog's own cancel: it answers "stop copying" with OK.
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    SetControlId(cancel, 3, QStringLiteral("Cancel"));

    connect(overwrite, &QPushButton::clicked, this, [this] { Choose(&m_bOverwrite); });
    connect(skip, &QPushButton::clicked, this, [this] { Choose(&m_bSkip); });
    connect(cancel, &QPushButton::clicked, this, [this] { Choose(&m_bCancel); });

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(overwrite);
    buttonRow->addWidget(skip);
    buttonRow->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(m_pFileName);
    layout->addLayout(buttonRow);
    overwrite->setFocus();
}

void CFileExistDlg::showEvent(QShowEvent* event)
{
    m_pFileName->setText(m_strFileName);
    QDialog::showEvent(event);
}

void CFileExistDlg::Choose(int* flag)
{
    *flag = 1;
    accept();
}
