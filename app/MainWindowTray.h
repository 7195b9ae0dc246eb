// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class ApplicationMenu;
class QSystemTrayIcon;

/// What closing the main window means: with a tray the window hides behind a tray icon; without
/// one it quits, or steps aside to the task bar while a shred runs. Also tells the user about a
/// shred that completed while the window was away.
class MainWindowTray : public QObject
{
    Q_OBJECT

public:
    MainWindowTray(ApplicationMenu* menu, std::function<bool()> trayAvailable, QObject* parent);

    void mainWindowWillClose();
    void mainWindowVisibilityChanged(bool visible);
    void shredDidComplete();
    /// Null until the main window is first closed on a desktop with a tray.
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }

signals:
    /// The tray icon was clicked.
    void reopenRequested();
    /// The window was closed where nothing could bring it back.
    void quitRequested();

private:
    void showTrayIcon();

    ApplicationMenu* m_menu;
    std::function<bool()> m_trayAvailable;
    QSystemTrayIcon* m_trayIcon = nullptr;
};
