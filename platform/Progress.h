#pragma once

#include <QString>

// The "Transfer" window as the transfer loops see it. Every long transfer
// calls PollCancel once per block or line; that is also what keeps the user
// interface alive, since transfers run on the one user-interface thread.
class CProgress
{
public:
    virtual ~CProgress() = default;
    virtual void Show() = 0;
    virtual void SetText(const QString& text) = 0;
    virtual void SetBytes(qint64 bytes) = 0;
    virtual void SetRange(int range) = 0;
    virtual void SetPos(int pos) = 0;
    virtual void Step() = 0;
    virtual void ProgressOff() = 0;
    // True once the user has cancelled; the window is then hidden.
    virtual bool PollCancel() = 0;
    virtual void Hide() = 0;
};

// Shows nothing and never cancels: the default when no window is installed.
class CNullProgress : public CProgress
{
public:
    void Show() override {}
    void SetText(const QString&) override {}
    void SetBytes(qint64) override {}
    void SetRange(int) override {}
    void SetPos(int) override {}
    void Step() override {}
    void ProgressOff() override {}
    bool PollCancel() override { return false; }
    void Hide() override {}
};
