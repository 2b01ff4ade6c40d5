#include "TransferProgress.h"

#include "FocusReturn.h"
#include "TransferDlg.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProgressBar>
#include <QTimer>
#include <QWindow>

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
    if (!dlg->isVisible())
        m_pFocus = std::make_unique<CFocusReturn>(dlg);
    dlg->m_bProgressOff = 0;
    dlg->showNormal();
    dlg->raise();
    dlg->activateWindow();
    dlg->Refresh();
    PaintNow(dlg, kExposeWaitMs);
    dlg->m_bCancelled = 0;
    m_lastPump.invalidate();
}

// The transfers pause for seconds right after Show without pumping events,
// so the window is painted here: once the window system has mapped it, or
// after waitMs. Only the window system's events are handled meanwhile; the
// user's input waits for the transfer's cancel poll.
void CTransferProgress::PaintNow(CTransferDlg* dlg, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    QTimer wake; // ends each wait for events below within 10 ms
    wake.start(10);
    auto exposed = [dlg] { return dlg->windowHandle() && dlg->windowHandle()->isExposed(); };
    while (!exposed() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    dlg->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CTransferProgress::HideWindow(CTransferDlg* dlg)
{
    dlg->hide();
    m_pFocus.reset();
}

void CTransferProgress::SetText(const QString& text)
{
    CTransferDlg* dlg = Window();
    dlg->SetText(text);
    // Set right after Show, before the transfer's first pauses.
    if (dlg->isVisible())
        PaintNow(dlg, 0);
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
    HideWindow(dlg);
    return true;
}

void CTransferProgress::Hide()
{
    CTransferDlg* dlg = Window();
    dlg->m_bProgressOff = 0;
    // Nothing pending is dropped: the window keeps the final count.
    dlg->Refresh();
    HideWindow(dlg);
}
