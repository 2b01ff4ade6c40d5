#pragma once

#include <QApplication>
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
