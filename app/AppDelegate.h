// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Bundle.h"
#include "MainWindowTray.h"
#include "PathHandOver.h"
#include "QuitGuard.h"
#include "SUUpdaterDelegate.h"
#include "UpdateSchedule.h"

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class ApplicationMenu;

class QMenu;
class QSystemTrayIcon;
class QTimer;
class SUUpdater;
class UsageAnalytics;
class startupWindowController;

/// The application's start-up and the commands that reach the application as a whole: the
/// menus, the tray icon, the settings and other-apps windows, and quitting.
class AppDelegate : public QObject, public SUUpdaterDelegate
{
    Q_OBJECT

public:
    /// `trayAvailable` tells whether the desktop shows tray icons now; by default Qt asks it.
    explicit AppDelegate(QObject* parent = nullptr, std::function<bool()> trayAvailable = {});
    ~AppDelegate() override;

    /// The update call a launch schedules 5 seconds ahead.
    using UpdateCall = UpdateSchedule::Call;

    /// Before the event loop starts: makes the updater (automatic checks and downloads off),
    /// then prepares the usage events.
    void applicationWillFinishLaunching();
    /// Loads the language table, then shows the welcome window on a first launch or the main
    /// window with its menus on any later one (telling the usage counter about an install or
    /// upgrade, and scheduling the update call), re-applies the launch at login choice and sets
    /// the defaults.
    void applicationDidFinishLaunching();

    /// The one whose Info.plist gives the version compared at launch; the main bundle unless
    /// a test says otherwise. It must outlive the delegate.
    void setBundle(const Bundle* bundle) { m_bundle = bundle; }
    /// The usage events' sender; the process-wide one unless a test says otherwise.
    void setAnalytics(UsageAnalytics* analytics) { m_analytics = analytics; }

    /// The update call scheduled by the last launch and not yet made.
    UpdateCall scheduledUpdateCall() const { return m_updateSchedule->scheduled(); }
    /// Scheduled update mode 0: an update check in the background.
    void checkForUpdate();
    /// Scheduled update mode 1: checks, downloads and installs by itself.
    void autoInstallUpdates();
    /// Writes "download hoga".
    void willDownloadUpdate(
        SUUpdater* updater, const AppcastItem& item, QNetworkRequest& request) override;
    /// Schedules callTerminate() 5 seconds later, then writes "download hua".
    void didDownloadUpdate(SUUpdater* updater, const AppcastItem& item) override;
    /// Restarts into the update: starts a shell that runs the program again 4 seconds later,
    /// then quits, which installs what the updater has staged. While a shred runs it waits
    /// another 5 seconds instead: a run is never cut short for an update.
    void callTerminate();
    /// The shell's arguments: the program's path is the shell's $0, never part of the command
    /// text, so no character in it can change the command.
    static QStringList relaunchArguments(const QString& program);
    /// Runs callTerminate() once a download is reported; for tests to watch and fire.
    QTimer* terminateTimer() const { return m_terminateTimer; }
    /// Shows the main window with its menus: from launch, or once the welcome window is left.
    void showMainWindow();

    /// Shows the settings window on the tab last requested (General unless About asked).
    void btnPreferences();
    /// Shows the settings window on the About tab.
    void btnAbout();
    /// Makes the main window visible and brings it to the front, once the welcome window is left.
    void btnShowWindow();
    /// Every command of the delegate stays available.
    bool validateMenuItem(const QAction* item) const;
    /// The tray icon was clicked, or the application was started again: shows the main window,
    /// or does nothing while the welcome window has not been left.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    /// A user-started look for updates.
    void checkForUpdates();
    /// Quits; while a shred runs, first asks whether to stop it (the file being overwritten is
    /// then kept) and quits once it has stopped. Every Quit command of the application comes
    /// here.
    void requestQuit();
    /// The question shown while a run is asked to quit; null when none is up.
    Alert* stopAlert() const { return m_quitGuard->stopAlert(); }
    /// Paths given to this start or handed over by a later one: the reopen. While this launch's
    /// welcome window waits for Get Started, that window comes forward and the paths are kept
    /// until Get Started opens them on the files list.
    void handleArguments(const QStringList& arguments);

    ApplicationMenu* menu() const { return m_menu; }
    QAction* menuitem_showCorvane() const { return m_menuitem_showCorvane; }
    QAction* menuitem_checkforupdates() const { return m_menuitem_checkforupdates; }
    SUUpdater* updater() const { return m_updater; }
    /// Null until the main window is first closed on a desktop with a tray.
    QSystemTrayIcon* trayIcon() const { return m_tray->trayIcon(); }

private:
    void installMenus();
    /// Enables the items of `menu` as the delegate and the screen on show allow.
    void validateMenu(QMenu* menu);
    /// "startloginstatus": 1 adds the login item, 0 removes it, anything else leaves it be.
    void applyLaunchAtLogin();
    /// "firstrun" holds an integer: the welcome window has been left once.
    static bool firstRunDone();
    void showWelcomeWindow();

    QPointer<QAction> m_menuitem_showCorvane;
    QPointer<QAction> m_menuitem_checkforupdates;
    SUUpdater* m_updater = nullptr;
    ApplicationMenu* m_menu = nullptr;
    MainWindowTray* m_tray = nullptr;
    UpdateSchedule* m_updateSchedule = nullptr;
    QuitGuard* m_quitGuard = nullptr;
    const Bundle* m_bundle = &Bundle::mainBundle();
    UsageAnalytics* m_analytics = nullptr;
    QPointer<startupWindowController> m_welcome; ///< shown by this launch, until it is left
    PathHandOver m_handOver; ///< keeps what is handed over while the welcome window is on show
    QTimer* m_terminateTimer = nullptr;
};
