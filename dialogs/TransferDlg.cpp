#include "TransferDlg.h"

#include "ControlId.h"
#include "resources/StringTable.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CTransferDlg::CTransferDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Transfer"));
    // Shown, never run modally: the transfer loop keeps the thread. While it
    // is up, the other windows repaint but take no input, so that no command
    // can start in the middle of a transfer through the cancel poll's events.
    setWindowModality(Qt::ApplicationModal);

    m_pText = new QLineEdit(this);
    m_pText->setReadOnly(true);
    SetControlId(m_pText, 1014, QStringLiteral("Transferred item"));

    m_pBytes = new QLineEdit(this);
    m_pBytes->setReadOnly(true);
    SetControlId(m_pBytes, 1018, QStringLiteral("Bytes transferred"));

    m_pProgress = new QProgressBar(this);
    m_pProgress->setTextVisible(false);
    m_pProgress->setRange(0, m_nRange);
    SetControlId(m_pProgress, 1016, QStringLiteral("Progress"));

    // The default button: Enter in the window cancels as well.
    m_pCancelButton = new QPushButton(LoadString(IDS_CANCEL), this);
    SetControlId(m_pCancelButton, 1, LoadString(IDS_CANCEL));
    m_pCancelButton->setDefault(true);
    connect(m_pCancelButton, &QPushButton::clicked, this, [this] { m_bCancelled = 1; });

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_pCancelButton);
    buttonRow->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pText);
    layout->addWidget(m_pBytes);
    layout->addWidget(m_pProgress);
    layout->addLayout(buttonRow);
    setMinimumWidth(300);

    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CTransferDlg::Refresh);
    Refresh();
}

void CTransferDlg::SetText(const QString& text)
{
    m_pText->setText(text);
}

void CTransferDlg::SetBytes(qint64 bytes)
{
    const bool restarted = bytes < m_nShownBytes;
    m_nBytes = bytes;
    // A counter that starts again (a new file) is shown at once.
    if (restarted)
        Refresh();
    else
        RequestRefresh();
}

void CTransferDlg::SetRange(int range)
{
    m_nRange = range;
    m_nPos = 0;
    // A range of 0 would make the bar a moving busy indicator.
    m_pProgress->setRange(0, qMax(1, range));
    m_pProgress->setValue(0);
    m_pProgress->show();
}

void CTransferDlg::SetPos(int pos)
{
    m_nPos = qBound(0, pos, m_nRange);
    RequestRefresh();
}

void CTransferDlg::StepIt()
{
    // The bar stays full at its end rather than leaving its range.
    m_nPos = m_nPos > m_nRange - kStep ? m_nRange : m_nPos + kStep;
    RequestRefresh();
}

void CTransferDlg::Refresh()
{
    m_refreshTimer.stop();
    m_lastRefresh.start();
    if (m_nBytes != m_nShownBytes) {
        m_pBytes->setText(LoadString(IDS_BYTES_COUNT).arg(m_nBytes));
        m_nShownBytes = m_nBytes;
    }
    if (m_pProgress->value() != m_nPos)
        m_pProgress->setValue(m_nPos);
}

void CTransferDlg::RequestRefresh()
{
    const qint64 elapsed = m_lastRefresh.elapsed();
    if (elapsed >= kRefreshMs)
        Refresh();
    else if (!m_refreshTimer.isActive())
        m_refreshTimer.start(int(kRefreshMs - elapsed));
}

void CTransferDlg::reject()
{
    m_bCancelled = 1;
}

void CTransferDlg::closeEvent(QCloseEvent* event)
{
    // The window is hidden by the transfer's end or by the next PollCancel.
    if (!isVisible()) {
        event->accept();
        return;
    }
    m_bCancelled = 1;
    event->ignore();
}
