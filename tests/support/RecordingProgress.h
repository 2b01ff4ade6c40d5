#pragma once

#include "platform/Progress.h"

#include <QStringList>

#include <functional>

// A progress service for tests: remembers what the window would show and can
// report a cancel at a chosen poll.
class CRecordingProgress : public CProgress
{
public:
    void Show() override;
    void SetText(const QString& text) override { m_strText = text; }
    void SetBytes(qint64 bytes) override
    {
        m_nBytes = bytes;
        if (m_fnOnBytes)
            m_fnOnBytes(bytes);
    }
    void SetRange(int range) override { m_nRange = range; }
    void SetPos(int) override {}
    void Step() override { ++m_nSteps; }
    void ProgressOff() override {}
    bool PollCancel() override;
    void Hide() override;

    // Poll number (counted from 1) that reports the cancel; 0 never cancels.
    int m_nCancelAtPoll = 0;

    bool m_bVisible = false;
    bool m_bCancelled = false;
    int m_nShows = 0;
    int m_nHides = 0;
    int m_nPolls = 0;
    int m_nRange = 0;
    int m_nSteps = 0;
    qint64 m_nBytes = 0;
    QString m_strText;
    std::function<void(qint64)> m_fnOnBytes; // sees every count reported
};
