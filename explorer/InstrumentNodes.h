#pragma once

#include "NodeTemplate.h"

#include "instrument/ComInstrument.h"

// Labels, images and node data of the instrument's entries, row by row in
// table order: "Job 3: A1" with "Fix Points: 5 Fix blocks" and
// "Measurements: 7 Measurements blocks"; "Formats 1: VRN" for format number 2
// (rows numbered 1 or less get no node); "Code 0: CODES: 12 " numbered by
// position.
QList<CNodeTemplate> JobNodes(const CJobTable& jobs);
QList<CNodeTemplate> FormatNodes(const CFormatTable& formats);
QList<CNodeTemplate> CodeListNodes(const CCodeListTable& codeLists);

// The folder of a table below "Port1:" ("Jobs", "Formats", "Codes"), without
// its children; and the nodes of the table as the instrument last listed it.
CNodeTemplate TableFolderNode(CComInstrument::ETable table);
QList<CNodeTemplate> TableNodes(const CComInstrument& instrument, CComInstrument::ETable table);
