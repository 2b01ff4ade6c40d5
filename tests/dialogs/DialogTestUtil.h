#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include "support/ScopedSettings.h"

// A control of a dialog by its resource id ("id1004").
template <class T>
T* Control(const QWidget* dialog, int id)
{
    return dialog->findChild<T*>(QStringLiteral("id%1").arg(id));
}

// Points the profile at an empty INI file for one test.
class CTempProfile
{
public:
    CTempProfile() : m_strPath(m_dir.filePath(QStringLiteral("profile.ini"))), m_profile(m_strPath) {}

    QByteArray Contents() const
    {
        QFile file(m_strPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QString m_strPath;
    CScopedProfileFile m_profile;
};
