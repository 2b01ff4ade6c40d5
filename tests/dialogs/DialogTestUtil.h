#pragma once

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include "support/ScopedSettings.h"

#include <functional>

// A control of a dialog by its resource id ("id1004").
template <class T>
T* Control(const QWidget* dialog, int id)
{
    return dialog->findChild<T*>(QStringLiteral("id%1").arg(id));
}

// Runs action on the next modal window once it is up.
inline void OnModal(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, [action] {
        QWidget* modal = nullptr;
        QTRY_VERIFY((modal = QApplication::activeModalWidget()) != nullptr);
        action(modal);
    });
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
