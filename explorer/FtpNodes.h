#pragma once

#include "NodeTemplate.h"

#include "ftp/FtpListing.h"

// The nodes of a remote folder's listing: every folder first (image 1, kind
// NK_FTP_FOLDER, with the placeholder child "..." that lets it be opened),
// then every file (image 4, kind NK_FTP_FILE), each group in listing order.
// A name that is not a plain name (IsSafeFtpName: "/" or "\" in it, a line
// break) cannot be named by a tree path: it is shown, but as a node without
// a kind that no command acts on.
QList<CNodeTemplate> FtpNodes(const QList<CFtpListEntry>& entries);

// The placeholder child of a remote folder that is not (or could not be)
// listed.
CNodeTemplate FtpPlaceholder();

// A name of this machine goes to the server as the low 8 bits of each
// character: one with characters above 255 would arrive as another name (and
// U+010A as a line feed that ends the command). True for a name that arrives
// as it is: every character 1..255, no CR or LF.
bool IsFtpSendableName(const QString& name);
