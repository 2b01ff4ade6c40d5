#include "PasteRules.h"

#include "ExplorerClip.h"

bool IsInstrumentData(quint32 kind)
{
    return kind == NK_MEASUREMENTS || kind == NK_FIXPOINTS || kind == NK_CODELIST;
}

namespace {

// Nodes a file can be sent to; each has an item number on the instrument.
bool IsInstrumentTarget(const CNodeData& target)
{
    return target.Is(NK_JOB) || target.Is(NK_FIXPOINTS) || target.Is(NK_CODELIST) || target.IsFormat();
}

} // namespace

quint32 CopySourceKind(const CNodeData& node)
{
    switch (node.m_nKind) {
    case NK_LOCAL_FILE:
        return CK_LOCAL_FILE;
    case NK_LOCAL_FOLDER:
    case NK_FTP_FOLDER:
    case NK_FTP_FILE:
        return node.m_nKind;
    case NK_MEASUREMENTS:
    case NK_FIXPOINTS:
    case NK_CODELIST:
        return node.m_bHasData ? node.m_nKind : 0;
    default:
        return 0;
    }
}

EPasteAction PasteAction(quint32 sourceKind, const CNodeData& target)
{
    if (target.Is(NK_LOCAL_FOLDER)) {
        if (IsInstrumentData(sourceKind))
            return PA_RECEIVE_TO_FOLDER;
        if (sourceKind == NK_FTP_FOLDER)
            return PA_DOWNLOAD_FOLDER;
        if (sourceKind == NK_FTP_FILE)
            return PA_DOWNLOAD_FILE;
        return PA_NONE;
    }
    if (target.Is(NK_FTP_FOLDER)) {
        if (IsInstrumentData(sourceKind))
            return PA_RECEIVE_TO_SERVER;
        if (sourceKind == CK_LOCAL_FILE)
            return PA_UPLOAD_FILE;
        if (sourceKind == NK_LOCAL_FOLDER)
            return PA_UPLOAD_FOLDER;
        return PA_NONE;
    }
    if (IsInstrumentTarget(target)) {
        if (sourceKind == CK_LOCAL_FILE)
            return PA_SEND_FILE;
        if (sourceKind == NK_FTP_FILE)
            return PA_DOWNLOAD_TO_INSTRUMENT;
    }
    return PA_NONE;
}
