// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainWindowController.h"

#include "Pictures.h"
#include "mainContainerVc.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QVBoxLayout>

MainWindow::MainWindow(mainWindowController* controller)
    : m_controller(controller)
{ }

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The controller hides the window (or quits); the close itself is not carried out.
    event->ignore();
    m_controller->closeRequested();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        emit m_controller->visibilityChanged(true);
}

void MainWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        emit m_controller->visibilityChanged(false);
}

mainWindowController::mainWindowController(QObject* parent)
    : QObject(parent)
{ }

mainWindowController::~mainWindowController()
{
    delete m_window;
}

mainWindowController& mainWindowController::shared()
{
    static mainWindowController* controller = [] {
        auto* made = new mainWindowController;
        made->windowDidLoad();
        return made;
    }();
    return *controller;
}

QWidget* mainWindowController::window()
{
    if (!m_window) {
        m_window = new MainWindow(this);
        m_window->setObjectName(QStringLiteral("mainWindow"));
        m_window->setWindowTitle(QStringLiteral("Corvane"));
        m_window->setWindowIcon(Pictures::applicationIcon());
        // Small enough to tile beside a file manager on a 1366-pixel screen; every screen fits.
        m_window->setMinimumSize(640, 480);
        m_window->resize(880, 620);
        auto* layout = new QVBoxLayout(m_window);
        // The content runs right up to the window's title bar: no margin, no second title.
        layout->setContentsMargins(0, 0, 0, 0);
        m_content = new mainContainerVc(m_window);
        layout->addWidget(m_content->view());
    }
    return m_window;
}

void mainWindowController::windowDidLoad()
{
    showWindow();
}

void mainWindowController::setMenuBar(QMenuBar* menuBar)
{
    window();
    delete m_menuBar;
    m_menuBar = menuBar;
    m_window->layout()->setMenuBar(menuBar);
}

void mainWindowController::closeRequested()
{
    if (m_closeHandler)
        m_closeHandler();
    else
        windowShouldClose();
}

bool mainWindowController::windowShouldClose()
{
    m_window->hide();
    return true;
}

void mainWindowController::showWindow()
{
    if (window()->isMinimized())
        m_window->showNormal();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
