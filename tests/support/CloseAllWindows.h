#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

// Deletes every window a test left behind. Menus and other popups are top
// level too but belong to their window, so only parentless ones go, each
// checked again since deleting one may take others with it.
inline void deleteAllWindows()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (!widget->parentWidget())
            windows << widget;
    }
    for (const QPointer<QWidget> &window : windows)
        delete window.data();
}
