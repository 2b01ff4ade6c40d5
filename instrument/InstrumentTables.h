#pragma once

#include <QList>
#include <QString>

// Rows of the instrument's tables, filled by the listings of CComInstrument.
// A row whose name field was missing on the wire is the instrument's free
// slot: name "empty", empty flag 1.

struct CJobInfo
{
    QString m_strName;
    qint32 m_nNumber = 0;
    qint32 m_nFixBlocks = 0;  // fix point blocks; non-zero: the job holds fix points
    qint32 m_nMeasBlocks = 0; // measurement blocks; 2 or more: the job holds measurements
    qint32 m_bEmpty = 0;
};

struct CFormatInfo
{
    QString m_strName;
    qint32 m_nNumber = 0;
    qint32 m_nValue1 = 0; // both values non-zero: the format holds data
    qint32 m_nValue2 = 0;
    qint32 m_bEmpty = 1;
};

struct CCodeListInfo
{
    QString m_strName;
    qint32 m_nNumber = 0;
    qint32 m_nCount = 0; // number of codes, shown beside the name
    qint32 m_bEmpty = 0;
};

using CJobTable = QList<CJobInfo>;
using CFormatTable = QList<CFormatInfo>;
using CCodeListTable = QList<CCodeListInfo>;

// The row of a table with this number; nullptr when there is none.
template <typename Row>
const Row* FindRow(const QList<Row>& table, int number)
{
    for (const Row& row : table) {
        if (row.m_nNumber == number)
            return &row;
    }
    return nullptr;
}
