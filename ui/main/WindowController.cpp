// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowController.h"

#include <QApplication>
#include <QScreen>
#include <QShortcut>
#include <algorithm>

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

void WindowController::closeOnEscape()
{
    QWidget* shown = window();
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), shown);
    connect(escape, &QShortcut::activated, shown, &QWidget::close);
}

void WindowController::placeOnFirstShow(QWidget* shown)
{
    // Left to itself a window manager may put the window where part of it is off the screen;
    // it opens over the window the user is working in instead, whole, like a dialog.
    QWidget* anchor = QApplication::activeWindow();
    if (anchor == shown)
        anchor = nullptr;
    QScreen* screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // A window never given a size takes its content's, not Qt's 640 x 480 default: a hidden
    // part (the welcome window's newsletter box) then leaves no empty band.
    if (!shown->testAttribute(Qt::WA_Resized))
        shown->adjustSize();
    shown->resize(shown->size().boundedTo(area.size()).expandedTo(shown->minimumSize()));
    QRect frame(QPoint(), shown->size());
    frame.moveCenter(anchor ? anchor->frameGeometry().center() : area.center());
    frame.moveLeft(
        std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())));
    frame.moveTop(
        std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
    shown->move(frame.topLeft());
}

void WindowController::showWindow()
{
    QWidget* shown = window();
    if (!m_placed) {
        m_placed = true;
        placeOnFirstShow(shown);
    }
    if (shown->isMinimized())
        shown->showNormal();
    shown->show();
    shown->raise();
    shown->activateWindow();
}
