// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowController.h"

WindowController::WindowController(QObject* parent)
    : QObject(parent)
{ }

WindowController::~WindowController()
{
    delete m_window.data();
}

QWidget* WindowController::window()
{
    if (!m_window) {
        m_window = loadWindow();
        windowDidLoad();
    }
    return m_window;
}

void WindowController::showWindow()
{
    QWidget* shown = window();
    if (shown->isMinimized())
        shown->showNormal();
    shown->show();
    shown->raise();
    shown->activateWindow();
}
