#include "DataDownloadDlg.h"

#include "ControlId.h"
#include "platform/DownloadName.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The first entry that begins with the preselected name, as the list's own
// search finds it (without regard to case); -1 for none. An empty name
// preselects nothing: every entry begins with it, yet the caller has no
// format to propose (the instrument's first format row is a free slot).
int PreselectedIndex(const QStringList& entries, const QString& preselect)
{
    if (preselect.isEmpty())
        return -1;
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].startsWith(preselect, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

} // namespace

CDataDownloadDlg::CDataDownloadDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Data Download..."));
    m_strName = m_strResultName;

    m_pName = new QLineEdit(this);
    SetControlId(m_pName, 1014, QStringLiteral("File Name"));

    m_pFormatList = new QComboBox(this);
    m_pFormatList->setEditable(false);
    SetControlId(m_pFormatList, 1021, QStringLiteral("Format"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File Name"), m_pName);
    form->addRow(QStringLiteral("Format"), m_pFormatList);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    SetControlId(buttons->button(QDialogButtonBox::Ok), 1, QStringLiteral("OK"));
    SetControlId(buttons->button(QDialogButtonBox::Cancel), 2, QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CDataDownloadDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDataDownloadDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CDataDownloadDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialised)
        InitDialog();
    QDialog::showEvent(event);
}

void CDataDownloadDlg::InitDialog()
{
    m_bInitialised = true;
    m_pName->setText(m_strName);
    m_pFormatList->clear();
    m_pFormatList->addItems(m_formatNames);
    m_pFormatList->setCurrentIndex(PreselectedIndex(m_formatNames, m_strSelectedFormat));
    m_pName->selectAll();
    m_pName->setFocus();
}

void CDataDownloadDlg::accept()
{
    if (!m_bInitialised)
        InitDialog();
    m_strName = m_pName->text();
    m_strSelectedFormat = m_pFormatList->currentText();
    m_nSelectedFormat = m_pFormatList->currentIndex();
    while (!m_strSelectedFormat.isEmpty() && m_strSelectedFormat.back().isSpace())
        m_strSelectedFormat.chop(1);

    // Nothing typed: stay open, without a message.
    if (m_strName.isEmpty())
        return;

    m_strResultName = MakeDownloadName(m_strName, m_strSelectedFormat);
    QDialog::accept();
}
