#pragma once

#include <QString>
#include <QWidget>

// Every control carries its resource id as object name ("id1004") and its
// label as accessible name, so that tests, screen readers and the explorer's
// own code find it the same way on every platform.
inline void SetControlId(QWidget* control, int id, const QString& label = QString())
{
    control->setObjectName(QStringLiteral("id%1").arg(id));
    if (!label.isEmpty())
        control->setAccessibleName(label);
}
