#pragma once

#include "NodeData.h"

// What Copy and Paste do, decided from node kinds alone. The view carries the
// action out; nothing here touches a link.

// The source kind Copy records for a node, or 0 when the node cannot be
// copied: CK_LOCAL_FILE for a local file, the node kind for local and remote
// folders and remote files, and for measurements, fix points and code lists
// that hold data.
quint32 CopySourceKind(const CNodeData& node);

// Measurements, fix points and code lists: what is received from the
// instrument, never sent to it.
bool IsInstrumentData(quint32 kind);

// The paste of a copied source kind onto a target node.
enum EPasteAction {
    PA_NONE = 0,               // refused: Paste is disabled
    PA_UPLOAD_FOLDER,          // local folder -> remote folder
    PA_DOWNLOAD_FOLDER,        // remote folder -> local folder
    PA_RECEIVE_TO_FOLDER,      // instrument data -> local folder
    PA_RECEIVE_TO_SERVER,      // instrument data -> remote folder, through "tempftp"
    PA_DOWNLOAD_FILE,          // remote file -> local folder
    PA_DOWNLOAD_TO_INSTRUMENT, // remote file -> job, fix points, code list or format, through "FTP-INSTRUMENT"
    PA_UPLOAD_FILE,            // local file -> remote folder
    PA_SEND_FILE,              // local file -> job, fix points, code list or format
};

// Nothing moves between two places of the same kind, instrument data never go
// onto the instrument, and the folder "Formats" takes nothing: it has no
// format number to send a file to.
EPasteAction PasteAction(quint32 sourceKind, const CNodeData& target);
