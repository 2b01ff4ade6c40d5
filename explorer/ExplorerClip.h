#pragma once

#include <QString>

// Source kind of a copied local file (the other kinds are node kinds).
constexpr quint32 CK_LOCAL_FILE = 1;

// What Copy remembered; it stays after a Paste, so one Copy pastes many times.
struct CExplorerClip
{
    QString m_strLabel; // file or folder name; empty for instrument data
    QString m_strPath;  // node path; not set for instrument data
    quint32 m_nSourceKind = 0;
    int m_bValid = 0;
    int m_nNumber = 0; // instrument data: the job's or code list's number

    void Clear()
    {
        m_strLabel.clear();
        m_strPath.clear();
        m_nSourceKind = 0;
        m_bValid = 0;
        m_nNumber = 0;
    }
};
