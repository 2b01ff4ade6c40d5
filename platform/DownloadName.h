#pragma once

#include <QString>

// The file name that the "Data Download..." prompt hands back for a typed
// name and a chosen format: the name cut at its last "." and, when anything
// is left, "." and the format with trailing blanks removed. "job1.txt" with
// "VRN" gives "job1.VRN"; ".txt" gives an empty name.
inline QString MakeDownloadName(QString name, QString format)
{
    while (!format.isEmpty() && format.back().isSpace())
        format.chop(1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (!name.isEmpty())
        name += QLatin1Char('.') + format;
    return name;
}
