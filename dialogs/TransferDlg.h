#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class QLineEdit;
class QProgressBar;
class QPushButton;

// The modeless "Transfer" window: the item being transferred, a byte
// counter, a progress bar and a "Cancel" button that only raises the
// cancelled flag; the transfer loop sees it through PollCancel. Counter and
// bar are written into the controls at most every 100 ms, so that a fast copy
// that reports every 4096-byte block is not slowed down by painting.
class CTransferDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 100;
    // The progress bar's step, which nothing in the program changes.
    static constexpr int kStep = 10;

    explicit CTransferDlg(QWidget* parent = nullptr);

    void SetText(const QString& text);
    void SetBytes(qint64 bytes);
    void SetRange(int range);
    void SetPos(int pos);
    void StepIt();
    // Writes the latest counter and position into the controls now.
    void Refresh();
    // Refreshes now if the last refresh is 100 ms old, else schedules it.
    void RequestRefresh();

    qint64 Bytes() const { return m_nBytes; }
    int Pos() const { return m_nPos; }

    int m_bCancelled = 0;
    QPushButton* m_pCancelButton = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLineEdit* m_pText = nullptr;
    QLineEdit* m_pBytes = nullptr;
    int m_bProgressOff = 0;

public slots:
    // Escape and the window's close button stop the transfer like "Cancel"
    // instead of hiding a window whose transfer goes on.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    qint64 m_nBytes = 0;
    qint64 m_nShownBytes = -1;
    int m_nPos = 0;
    int m_nRange = 100;
    QElapsedTimer m_lastRefresh;
    QTimer m_refreshTimer;
};
