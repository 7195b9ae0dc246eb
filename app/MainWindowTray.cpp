// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindowTray.h"

#include "ApplicationMenu.h"
#include "DesktopNotification.h"
#include "LanguageTable.h"
#include "Pictures.h"
#include "mainWindowController.h"
#include "shreddingFilesVC.h"

#include <QSystemTrayIcon>

MainWindowTray::MainWindowTray(
    ApplicationMenu* menu, std::function<bool()> trayAvailable, QObject* parent)
    : QObject(parent)
    , m_menu(menu)
    , m_trayAvailable(trayAvailable ? std::move(trayAvailable)
                                    : [] { return QSystemTrayIcon::isSystemTrayAvailable(); })
{ }

void MainWindowTray::mainWindowWillClose()
{
    mainWindowController& controller = mainWindowController::shared();
    if (m_trayAvailable()) {
        controller.windowShouldClose();
        showTrayIcon();
        return;
    }
    // Without a tray a hidden window could never be found again. A running shred must go on,
    // so the window only steps aside to the task bar.
    if (shreddingFilesVC::isRunActive()) {
        controller.window()->showMinimized();
        return;
    }
    emit quitRequested();
}

void MainWindowTray::showTrayIcon()
{
    if (!m_trayIcon) {
        m_trayIcon = new QSystemTrayIcon(Pictures::applicationIcon(), this);
        m_trayIcon->setObjectName(QStringLiteral("trayIcon"));
        m_trayIcon->setToolTip(QStringLiteral("Corvane"));
        m_trayIcon->setContextMenu(m_menu->trayMenu());
        connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    emit reopenRequested();
            });
    }
    m_trayIcon->show();
}

void MainWindowTray::mainWindowVisibilityChanged(bool visible)
{
    // The icon stands in for the window only while the window is away.
    if (visible && m_trayIcon)
        m_trayIcon->hide();
}

void MainWindowTray::shredDidComplete()
{
    QWidget* window = mainWindowController::shared().window();
    if (window->isVisible() && !window->isMinimized())
        return;
    DesktopNotification::send(localizedText(QStringLiteral("IDS_KQ_313")),
        localizedText(QStringLiteral("IDS_KQ_314")),
        m_trayIcon && m_trayIcon->isVisible() ? m_trayIcon : nullptr);
}
