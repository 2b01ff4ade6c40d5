#include "TransferProgress.h"

#include "TransferDlg.h"

#include <QCoreApplication>
#include <QProgressBar>

CTransferProgress::CTransferProgress() = default;

CTransferProgress::~CTransferProgress()
{
    delete m_pDlg.data();
}

void CTransferProgress::Create(QWidget* parent)
{
    delete m_pDlg.data();
    m_pDlg = new CTransferDlg(parent);
    m_pDlg->m_bProgressOff = 0;
    m_pDlg->hide();
}

CTransferDlg* CTransferProgress::Window()
{
    if (!m_pDlg)
        Create(nullptr);
    return m_pDlg;
}

void CTransferProgress::Show()
{
    CTransferDlg* dlg = Window();
    dlg->m_bProgressOff = 0;
    dlg->showNormal();
    dlg->raise();
    dlg->activateWindow();
    dlg->Refresh();
    dlg->repaint();
    dlg->m_bCancelled = 0;
    m_lastPump.invalidate();
}

void CTransferProgress::SetText(const QString& text)
{
    Window()->SetText(text);
}

void CTransferProgress::SetBytes(qint64 bytes)
{
    Window()->SetBytes(bytes);
}

void CTransferProgress::SetRange(int range)
{
    Window()->SetRange(range);
}

void CTransferProgress::SetPos(int pos)
{
    if (!Window()->m_bProgressOff)
        m_pDlg->SetPos(pos);
}

void CTransferProgress::Step()
{
    // Either way the window is brought up to date, at most every 100 ms.
    if (!Window()->m_bProgressOff)
        m_pDlg->StepIt();
    else
        m_pDlg->RequestRefresh();
}

void CTransferProgress::ProgressOff()
{
    CTransferDlg* dlg = Window();
    dlg->m_bProgressOff = 1;
    dlg->m_pProgress->hide();
}

bool CTransferProgress::PollCancel()
{
    // The transfers run on the user-interface thread: this is where the
    // window, its button and the rest of the program get their events.
    if (!m_lastPump.isValid() || m_lastPump.elapsed() >= kPumpIntervalMs) {
        QCoreApplication::processEvents();
        m_lastPump.start();
    }
    CTransferDlg* dlg = Window();
    if (!dlg->m_bCancelled)
        return false;
    dlg->m_bProgressOff = 0;
    dlg->Refresh();
    dlg->hide();
    return true;
}

void CTransferProgress::Hide()
{
    CTransferDlg* dlg = Window();
    dlg->m_bProgressOff = 0;
    // Nothing pending is dropped: the window keeps the final count.
    dlg->Refresh();
    dlg->hide();
}
