#include "SimState.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

// One measurement or fixpoint record of about 60 characters.
QString Record(const char* kind, int job, int row)
{
    return QStringLiteral("%1 %2.%3 E=%4 N=%5 H=%6")
        .arg(QLatin1String(kind))
        .arg(job, 2, 10, QLatin1Char('0'))
        .arg(row, 4, 10, QLatin1Char('0'))
        .arg(2600000.0 + job * 10.0 + row * 1.25, 0, 'f', 3)
        .arg(1200000.0 + job * 7.0 + row * 0.75, 0, 'f', 3)
        .arg(400.0 + row * 0.5, 0, 'f', 3);
}

QStringList Records(const char* kind, int job, int count)
{
    QStringList lines;
    for (int row = 1; row <= count; ++row)
        lines.append(Record(kind, job, row));
    return lines;
}

QJsonArray ToArray(const QStringList& lines)
{
    QJsonArray array;
    for (const QString& line : lines)
        array.append(line);
    return array;
}

QStringList ToLines(const QJsonValue& value)
{
    QStringList lines;
    for (const QJsonValue& line : value.toArray())
        lines.append(line.toString());
    return lines;
}

// A count given in the file wins; without one the number of lines is used.
int CountOr(const QJsonObject& object, const char* key, qsizetype lines)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isDouble() ? value.toInt() : static_cast<int>(lines);
}

} // namespace

CSimState CSimState::Default()
{
    CSimState state;
    CSimJob a1{QStringLiteral("A1"), 1, 0, 0, Records("M", 1, 5), Records("F", 1, 3)};
    a1.m_nFixpointBlocks = 3;
    a1.m_nMeasurementBlocks = 5;
    CSimJob freeSlot{QString(), 2, 0, 0, {}, {}};
    CSimJob quarry{QStringLiteral("QUARRY"), 3, 0, 12, Records("M", 3, 12), {}};
    CSimJob p7{QStringLiteral("P7"), 7, 0, 2, Records("M", 7, 2), {}};
    state.m_jobs = {a1, freeSlot, quarry, p7};

    state.m_formats = {
        {QStringLiteral("TQS"), 1, 1, 1, {QStringLiteral("FORMAT TQS"), QStringLiteral("FIELDS PT E N H")}},
        {QStringLiteral("VORN"), 2, 1, 1, {QStringLiteral("FORMAT VORN"), QStringLiteral("FIELDS PT E N H CODE")}},
        {QStringLiteral("XYZ"), 3, 8, 0, {}},
        {QString(), 4, 0, 0, {}},
    };

    QStringList codes;
    for (int i = 1; i <= 12; ++i)
        codes.append(QStringLiteral("%1 CODE%2 description of code %3").arg(i, 3, 10, QLatin1Char('0')).arg(i).arg(i));
    state.m_codeLists = {
        {QStringLiteral("CODES"), 1, 12, codes},
        {QString(), 2, 0, {}},
        {QStringLiteral("TREES"), 3, 4, codes.mid(0, 4)},
    };
    return state;
}

bool CSimState::Load(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return FromJson(file.readAll(), error);
}

bool CSimState::Save(const QString& path, QString& error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ToJson()) < 0 || !file.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QByteArray CSimState::ToJson() const
{
    QJsonArray jobs;
    for (const CSimJob& job : m_jobs) {
        jobs.append(QJsonObject{
            {"name", job.m_strName},
            {"number", job.m_nNumber},
            {"fixpointBlocks", job.m_nFixpointBlocks},
            {"measurementBlocks", job.m_nMeasurementBlocks},
            {"measurements", ToArray(job.m_measurements)},
            {"fixpoints", ToArray(job.m_fixpoints)},
        });
    }
    QJsonArray formats;
    for (const CSimFormat& format : m_formats) {
        formats.append(QJsonObject{
            {"name", format.m_strName},
            {"number", format.m_nNumber},
            {"first", format.m_nFirst},
            {"second", format.m_nSecond},
            {"lines", ToArray(format.m_lines)},
        });
    }
    QJsonArray codeLists;
    for (const CSimCodeList& list : m_codeLists) {
        codeLists.append(QJsonObject{
            {"name", list.m_strName},
            {"number", list.m_nNumber},
            {"count", list.m_nCount},
            {"lines", ToArray(list.m_lines)},
        });
    }
    const QJsonObject root{
        {"name", m_strName},
        {"jobs", jobs},
        {"formats", formats},
        {"codeLists", codeLists},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool CSimState::FromJson(const QByteArray& json, QString& error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        error = QStringLiteral("state file is not a JSON object: %1").arg(parseError.errorString());
        return false;
    }
    const QJsonObject root = document.object();
    if (root.contains("name"))
        m_strName = root.value("name").toString();

    m_jobs.clear();
    for (const QJsonValue& value : root.value("jobs").toArray()) {
        const QJsonObject object = value.toObject();
        CSimJob job;
        job.m_strName = object.value("name").toString();
        job.m_nNumber = object.value("number").toInt();
        job.m_measurements = ToLines(object.value("measurements"));
        job.m_fixpoints = ToLines(object.value("fixpoints"));
        job.m_nFixpointBlocks = CountOr(object, "fixpointBlocks", job.m_fixpoints.size());
        job.m_nMeasurementBlocks = CountOr(object, "measurementBlocks", job.m_measurements.size());
        m_jobs.append(job);
    }
    m_formats.clear();
    for (const QJsonValue& value : root.value("formats").toArray()) {
        const QJsonObject object = value.toObject();
        CSimFormat format;
        format.m_strName = object.value("name").toString();
        format.m_nNumber = object.value("number").toInt();
        format.m_nFirst = object.value("first").toInt();
        format.m_nSecond = object.value("second").toInt();
        format.m_lines = ToLines(object.value("lines"));
        m_formats.append(format);
    }
    m_codeLists.clear();
    for (const QJsonValue& value : root.value("codeLists").toArray()) {
        const QJsonObject object = value.toObject();
        CSimCodeList list;
        list.m_strName = object.value("name").toString();
        list.m_nNumber = object.value("number").toInt();
        list.m_lines = ToLines(object.value("lines"));
        list.m_nCount = CountOr(object, "count", list.m_lines.size());
        m_codeLists.append(list);
    }
    return true;
}

CSimJob* CSimState::FindJob(int number)
{
    for (CSimJob& job : m_jobs)
        if (job.m_nNumber == number)
            return &job;
    return nullptr;
}

CSimFormat* CSimState::FindFormat(int number)
{
    for (CSimFormat& format : m_formats)
        if (format.m_nNumber == number)
            return &format;
    return nullptr;
}

CSimCodeList* CSimState::FindCodeList(int number)
{
    for (CSimCodeList& list : m_codeLists)
        if (list.m_nNumber == number)
            return &list;
    return nullptr;
}
