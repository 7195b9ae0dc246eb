// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QStringList>
#include <QWidget>

/// The object names of the top-level windows on show.
inline QStringList visibleWindowNames()
{
    QStringList names;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible())
            names << window->objectName();
    }
    return names;
}
