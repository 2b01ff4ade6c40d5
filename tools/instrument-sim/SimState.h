#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The simulated instrument's memory. A slot with an empty name is a free
// slot: it is listed with its number and an empty name field.
struct CSimJob
{
    QString m_strName;
    int m_nNumber = 0;
    int m_nFixpointBlocks = 0;
    int m_nMeasurementBlocks = 0;
    QStringList m_measurements; // data lines without their terminator
    QStringList m_fixpoints;
};

struct CSimFormat
{
    QString m_strName;
    int m_nNumber = 0;
    int m_nFirst = 0;
    int m_nSecond = 0;
    QStringList m_lines;
};

struct CSimCodeList
{
    QString m_strName;
    int m_nNumber = 0;
    int m_nCount = 0;
    QStringList m_lines;
};

class CSimState
{
public:
    QString m_strName = QStringLiteral("SIM-1");
    QList<CSimJob> m_jobs;
    QList<CSimFormat> m_formats;
    QList<CSimCodeList> m_codeLists;

    // A few jobs (one free slot), formats (with "VORN") and code lists.
    static CSimState Default();

    // JSON state file; false with a reason in error when it cannot be read.
    bool Load(const QString& path, QString& error);
    bool Save(const QString& path, QString& error) const;

    QByteArray ToJson() const;
    bool FromJson(const QByteArray& json, QString& error);

    CSimJob* FindJob(int number);
    CSimFormat* FindFormat(int number);
    CSimCodeList* FindCodeList(int number);
};
