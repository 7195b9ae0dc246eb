#pragma once

#include "Alert.h"

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>


class ApplicationMenu;

class QMenu;
class QSystemTrayIcon;
class SUUpdater;

/// The application's start-up and the commands that reach the application as a whole: the
/// menus, the tray icon, the settings and other-apps windows, and quitting.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    /// `trayAvailable` tells whether the desktop shows tray icons now; by default Qt asks it.
    explicit AppDelegate(QObject* parent = nullptr, std::function<bool()> trayAvailable = {});
    ~AppDelegate() override;

    /// Before the event loop starts: makes the updater.
    void applicationWillFinishLaunching();
    /// Loads the language table, shows the main window with its menus, re-applies the launch
    /// at login choice and sets the defaults.
    void applicationDidFinishLaunching();

    /// Shows the settings window on the tab last requested (General unless About asked).
    void btnPreferences();
    /// Shows the settings window on the About tab.
    void btnAbout();
    /// Makes the main window visible and brings it to the front.
    void btnShowWindow();
    /// Every command of the delegate stays available.
    bool validateMenuItem(const QAction* item) const;
    /// The tray icon was clicked, or the application was started again: shows the main window.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    /// A user-started look for updates.
    void checkForUpdates();
    /// Quits, unless a shred is running (stopping it halfway would leave a file half
    /// overwritten). Every Quit command of the application comes here.
    /// Quits; while a shred runs, first asks whether to stop it (the file being overwritten is
    /// then kept) and quits once it has stopped.
    void requestQuit();
    /// The question shown while a run is asked to quit; null when none is up.
    Alert* stopAlert() const { return m_stopAlert; }
    /// Arguments handed over by a later start of the application.
    void handleArguments(const QStringList& arguments);

    ApplicationMenu* menu() const { return m_menu; }
    QAction* menuitem_showCorvane() const { return m_menuitem_showCorvane; }
    QAction* menuitem_checkforupdates() const { return m_menuitem_checkforupdates; }
    SUUpdater* updater() const { return m_updater; }
    /// Null until the main window is first closed on a desktop with a tray.
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }

private:
    void askToStopTheRun();
    void stopRunAndQuit();

    void installMenus();
    /// Enables the items of `menu` as the delegate and the screen on show allow.
    void validateMenu(QMenu* menu);
    void mainWindowWillClose();
    void mainWindowVisibilityChanged(bool visible);
    void shredDidComplete();
    void showTrayIcon();
    /// "startloginstatus": 1 adds the login item, 0 removes it, anything else leaves it be.
    void applyLaunchAtLogin();

    QPointer<QAction> m_menuitem_showCorvane;
    QPointer<QAction> m_menuitem_checkforupdates;
    SUUpdater* m_updater = nullptr;
    ApplicationMenu* m_menu = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    std::function<bool()> m_trayAvailable;
    QPointer<Alert> m_stopAlert;
};
