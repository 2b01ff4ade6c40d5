#include "InstrumentNodes.h"

#include "NodeImages.h"

#include "resources/StringTable.h"

QList<CNodeTemplate> JobNodes(const CJobTable& jobs)
{
    QList<CNodeTemplate> nodes;
    for (const CJobInfo& job : jobs) {
        const bool empty = job.m_bEmpty != 0;
        CNodeTemplate node;
        node.m_strLabel = LoadString(IDS_JOB) + QStringLiteral(" %1: ").arg(job.m_nNumber) + job.m_strName;
        node.m_nImage = CNodeImages::IMG_JOB;
        node.m_data = {NK_JOB, job.m_nNumber, !empty};

        CNodeTemplate fix;
        fix.m_strLabel =
            LoadString(IDS_FIX_POINTS) + QStringLiteral(": %1 ").arg(job.m_nFixBlocks) + LoadString(IDS_FIX_BLOCKS);
        fix.m_nImage = CNodeImages::IMG_FIXPOINTS;
        fix.m_data = {NK_FIXPOINTS, job.m_nNumber, !empty && job.m_nFixBlocks > 0};

        CNodeTemplate meas;
        meas.m_strLabel = LoadString(IDS_MEASUREMENTS) + QStringLiteral(": %1 ").arg(job.m_nMeasBlocks)
            + LoadString(IDS_MEASUREMENTS_BLOCKS);
        meas.m_nImage = CNodeImages::IMG_MEASUREMENTS;
        meas.m_data = {NK_MEASUREMENTS, job.m_nNumber, !empty && job.m_nMeasBlocks > 1};

        node.m_children = {fix, meas};
        nodes.append(node);
    }
    return nodes;
}

QList<CNodeTemplate> FormatNodes(const CFormatTable& formats)
{
    QList<CNodeTemplate> nodes;
    for (const CFormatInfo& format : formats) {
        if (format.m_nNumber <= 1)
            continue;
        CNodeTemplate node;
        node.m_strLabel =
            LoadString(IDS_FORMATS) + QStringLiteral(" %1: ").arg(format.m_nNumber - 1) + format.m_strName;
        node.m_nImage = CNodeImages::IMG_FORMAT;
        node.m_data = {NK_FORMAT, format.m_nNumber, format.m_nValue1 != 0 && format.m_nValue2 != 0};
        nodes.append(node);
    }
    return nodes;
}

QList<CNodeTemplate> CodeListNodes(const CCodeListTable& codeLists)
{
    QList<CNodeTemplate> nodes;
    for (qsizetype i = 0; i < codeLists.size(); ++i) {
        const CCodeListInfo& list = codeLists.at(i);
        CNodeTemplate node;
        node.m_strLabel = LoadString(IDS_CODE) + QStringLiteral(" %1: ").arg(i) + list.m_strName
            + QStringLiteral(": %1 ").arg(list.m_nCount);
        node.m_nImage = CNodeImages::IMG_CODELIST;
        node.m_data = {NK_CODELIST, list.m_nNumber, list.m_bEmpty == 0};
        nodes.append(node);
    }
    return nodes;
}

CNodeTemplate TableFolderNode(CComInstrument::ETable table)
{
    switch (table) {
    case CComInstrument::TABLE_JOBS:
        return {LoadString(IDS_JOBS), CNodeImages::IMG_JOBS, {NK_JOBS, 0, false}, {}, {}};
    case CComInstrument::TABLE_FORMATS:
        return {LoadString(IDS_FORMATS), CNodeImages::IMG_FORMATS, {NK_FORMATS, 0, false}, {}, {}};
    case CComInstrument::TABLE_CODE_LISTS:
        return {LoadString(IDS_CODES), CNodeImages::IMG_CODES, {NK_CODES, 0, false}, {}, {}};
    case CComInstrument::TABLE_NONE:
        break;
    }
    return {};
}

QList<CNodeTemplate> TableNodes(const CComInstrument& instrument, CComInstrument::ETable table)
{
    switch (table) {
    case CComInstrument::TABLE_JOBS:
        return JobNodes(instrument.m_jobs);
    case CComInstrument::TABLE_FORMATS:
        return FormatNodes(instrument.m_formats);
    case CComInstrument::TABLE_CODE_LISTS:
        return CodeListNodes(instrument.m_codeLists);
    case CComInstrument::TABLE_NONE:
        break;
    }
    return {};
}
