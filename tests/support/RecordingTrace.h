#pragma once

#include "platform/Services.h"
#include "platform/Trace.h"

#include <QStringList>

// A trace sink that keeps every record, installed for its lifetime.
class CRecordingTrace : public CTrace
{
public:
    CRecordingTrace() { CServices::SetTrace(this); }
    ~CRecordingTrace() override { CServices::SetTrace(nullptr); }
    CRecordingTrace(const CRecordingTrace&) = delete;
    CRecordingTrace& operator=(const CRecordingTrace&) = delete;

    bool IsOn() const override { return true; }
    void Record(const QString& text) override { m_records.append(text); }

    QStringList m_records;
};
