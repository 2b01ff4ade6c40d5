#pragma once

#include "instrument/Protocol.h"

#include <QtGlobal>

class QTreeWidgetItem;

// Node kinds of the tree. The instrument's items are the kind codes that the
// instrument link takes for its operations.
enum ENodeKind : quint32 {
    NK_NONE = 0,
    NK_CODES = 0x10,
    NK_JOBS = 0x20,
    NK_FIXPOINTS = Protocol::KIND_FIXPOINTS,
    NK_MEASUREMENTS = Protocol::KIND_MEASUREMENTS,
    NK_LOCAL_FOLDER = 0x100,
    NK_FORMAT = Protocol::KIND_FORMAT,
    NK_FORMATS = Protocol::KIND_FORMAT, // the folder "Formats": kind 0x200 without a number
    NK_FTP_FOLDER = 0x800,
    NK_FTP_FILE = 0x1000,
    NK_PORT = 0x2000,
    NK_LOCAL_FILE = 0x4000,
    NK_JOB = Protocol::KIND_JOB,
    NK_CODELIST = Protocol::KIND_CODE_LIST,
};

constexpr quint32 NK_HAS_DATA = 0x400;

// What a node stands for. The classic node data word packs kind, has-data
// marker and the instrument's item number into one integer, so that numbers
// of 16 and more overlap the kind bits (job 64 would look like fix points).
// Kind and number are therefore kept apart here; Word() still gives the
// packed value where one is wanted.
struct CNodeData
{
    quint32 m_nKind = NK_NONE;
    int m_nNumber = 0;
    bool m_bHasData = false;

    quint32 Word() const { return m_nKind + (m_bHasData ? NK_HAS_DATA : 0) + static_cast<quint32>(m_nNumber); }
    bool Is(quint32 kind) const { return m_nKind == kind; }
    bool IsFormatsFolder() const { return m_nKind == NK_FORMATS && m_nNumber == 0 && !m_bHasData; }
    bool IsFormat() const { return m_nKind == NK_FORMAT && !IsFormatsFolder(); }
    // Local and remote files and folders: the nodes whose label can be edited
    // to rename what they stand for.
    bool IsFileOrFolder() const
    {
        return m_nKind == NK_LOCAL_FILE || m_nKind == NK_LOCAL_FOLDER || m_nKind == NK_FTP_FILE
            || m_nKind == NK_FTP_FOLDER;
    }

    static CNodeData Of(const QTreeWidgetItem* item);
    // Also makes the label of a file or folder editable; every other node's
    // label is refused by the tree before an editor opens.
    void Store(QTreeWidgetItem* item) const;
};
