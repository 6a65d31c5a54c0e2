#pragma once

#include <QApplication>
#include <QQuickWindow>
#include <QWidget>

// The first top-level widget of type T, or null.
template <typename T>
T *findTopLevelWidget()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *found = qobject_cast<T *>(widget))
            return found;
    }
    return nullptr;
}

// The program's QML main window once it is on screen, or null.
inline QQuickWindow *exposedQuickWindow()
{
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (auto *quick = qobject_cast<QQuickWindow *>(window); quick && quick->isExposed())
            return quick;
    }
    return nullptr;
}
