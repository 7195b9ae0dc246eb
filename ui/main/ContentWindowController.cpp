// SPDX-License-Identifier: GPL-3.0-or-later
#include "ContentWindowController.h"

#include <QVBoxLayout>

QWidget* ContentWindowController::makeWindow(const QString& objectName, int margin)
{
    auto* window = new QWidget;
    window->setObjectName(objectName);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(margin, margin, margin, margin);
    return window;
}

void ContentWindowController::addView(QWidget* view)
{
    window()->layout()->addWidget(view);
}
