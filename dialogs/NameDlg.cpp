#include "NameDlg.h"

#include "ControlId.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CNameDlg::CNameDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Name"));

    m_pPrompt = new QLabel(this);
    m_pPrompt->setTextFormat(Qt::PlainText);
    SetControlId(m_pPrompt, 1023, QStringLiteral("Prompt"));

    m_pEdit = new QLineEdit(this);
    m_pEdit->setMaxLength(kMaxLength);
    SetControlId(m_pEdit, 1022, QStringLiteral("Name"));

    // Not a default button: Enter anywhere in the dialog accepts.
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    SetControlId(cancel, 2, QStringLiteral("Cancel"));
    connect(cancel, &QPushButton::clicked, this, &CNameDlg::reject);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pPrompt);
    layout->addWidget(m_pEdit);
    layout->addLayout(buttonRow);
}

void CNameDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        InitDialog();
    }
    QDialog::showEvent(event);
}

void CNameDlg::InitDialog()
{
    m_pPrompt->setText(m_strPrompt);
    if (!m_strTitle.isEmpty())
        setWindowTitle(m_strTitle);
    m_pEdit->setText(m_strName.left(kMaxLength));
    m_pEdit->selectAll();
    m_pEdit->setFocus();
}

void CNameDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter on the focused "Cancel" button is that button.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
            button->click();
        else
            accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CNameDlg::accept()
{
    // Blanks around a name are never meant: " Job1" would be a different,
    // hardly visible name on the instrument and in folders.
    const QString name = m_pEdit->text().trimmed().left(kMaxLength);
    if (m_pExistingNames) {
        for (const QString& existing : *m_pExistingNames) {
            if (name == existing) {
                CServices::Prompt().MessageBox(LoadString(IDS_DUPLICATE_NAME), QString(), MB_OK, MB_ICONWARNING);
                m_pEdit->setFocus();
                return;
            }
        }
    }
    m_strName = name;
    QDialog::accept();
}
