#pragma once

#include <QApplication>
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
