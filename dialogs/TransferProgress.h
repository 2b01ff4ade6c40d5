#pragma once

#include "platform/Progress.h"

#include <QElapsedTimer>
#include <QPointer>

#include <memory>

class CFocusReturn;
class CTransferDlg;
class QWidget;

// The program's one "Transfer" window as the transfers drive it. The window
// is made once by Create and then only shown and hidden. Like every widget
// owner it must go before the QApplication does.
class CTransferProgress : public CProgress
{
public:
    CTransferProgress();
    ~CTransferProgress() override;
    CTransferProgress(const CTransferProgress&) = delete;
    CTransferProgress& operator=(const CTransferProgress&) = delete;

    // Makes the hidden window, owned by parent. A transfer that starts
    // before Create gets a window without owner.
    void Create(QWidget* parent);

    void Show() override;
    void SetText(const QString& text) override;
    void SetBytes(qint64 bytes) override;
    void SetRange(int range) override;
    void SetPos(int pos) override;
    void Step() override;
    void ProgressOff() override;
    bool PollCancel() override;
    void Hide() override;

    CTransferDlg* Window();

    // Longest wait, in Show, for the window system to map the window so that
    // it is painted before the transfer's first pause.
    static constexpr int kExposeWaitMs = 500;

private:
    void PaintNow(CTransferDlg* dlg, int waitMs);
    void HideWindow(CTransferDlg* dlg);

    // The parent may delete the window before this object goes.
    QPointer<CTransferDlg> m_pDlg;
    // Events are pumped at most every kPumpIntervalMs: a fast copy polls once
    // per 4 KiB block, and pumping that often costs more than the copy.
    static constexpr int kPumpIntervalMs = 10;
    QElapsedTimer m_lastPump;
    // The focus the window took, given back when it hides.
    std::unique_ptr<CFocusReturn> m_pFocus;
};
