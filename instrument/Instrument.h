#pragma once

#include "InstrumentTables.h"

#include <QFileDevice>
#include <QString>

#include <memory>

// What every instrument link holds: the instrument's name, its three tables
// as the last listings left them, and the state of one transfer.
class CInstrument
{
public:
    CInstrument();
    virtual ~CInstrument();
    CInstrument(const CInstrument&) = delete;
    CInstrument& operator=(const CInstrument&) = delete;

    // Name from Identify; the shell appends it to the instrument node's label.
    QString m_strName;
    CJobTable m_jobs;
    CFormatTable m_formats;
    CCodeListTable m_codeLists;
    // File name chosen for the last receive into the staging file "tempftp".
    QString m_strStagingName;
    // The local file of a transfer: a QSaveFile while receiving (renamed over
    // the target only at the normal end), a QFile while sending. Null between
    // transfers.
    std::unique_ptr<QFileDevice> m_file;
    // Format number sent with "FORM/SET/%d".
    qint32 m_nFormat = 0;
};
