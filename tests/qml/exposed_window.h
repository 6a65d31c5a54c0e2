#pragma once

#include <QGuiApplication>
#include <QQuickWindow>

// The program's window once it is on screen (the shot programs wait for it).
inline QQuickWindow *exposedQuickWindow()
{
    for (QWindow *w : QGuiApplication::topLevelWindows()) {
        if (auto *quick = qobject_cast<QQuickWindow *>(w); quick && quick->isExposed())
            return quick;
    }
    return nullptr;
}
