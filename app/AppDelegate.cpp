// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppDelegate.h"

#include "ApplicationMenu.h"
#include "FreeSpaceWipeDialog.h"
#include "FreeSpaceWipeRecord.h"
#include "LanguageTable.h"
#include "LaunchOnStartup.h"
#include "NotificationCenter.h"
#include "SUUpdater.h"
#include "Storyboard.h"
#include "UsageAnalytics.h"
#include "UserDefaults.h"
#include "UtilityKitWindow.h"
#include "generalVC.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"
#include "settingsWindowController.h"
#include "shreddingFilesVC.h"
#include "startupVC.h"
#include "startupWindowController.h"
#include "tabViewSettings.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <utility>

AppDelegate::AppDelegate(QObject* parent, std::function<bool()> trayAvailable)
    : QObject(parent)
    , m_menu(new ApplicationMenu(this))
    , m_tray(new MainWindowTray(m_menu, std::move(trayAvailable), this))
    , m_updateSchedule(new UpdateSchedule(this))
    , m_quitGuard(new QuitGuard(this))
    , m_analytics(&UsageAnalytics::shared())
    , m_terminateTimer(new QTimer(this))
{
    m_terminateTimer->setObjectName(QStringLiteral("terminateTimer"));
    m_terminateTimer->setSingleShot(true);
    m_terminateTimer->setInterval(5000);
    connect(m_terminateTimer, &QTimer::timeout, this, &AppDelegate::callTerminate);
    connect(m_updateSchedule, &UpdateSchedule::due, this, [this](UpdateSchedule::Call call) {
        if (call == UpdateSchedule::Call::CheckForUpdate)
            checkForUpdate();
        else if (call == UpdateSchedule::Call::AutoInstallUpdates)
            autoInstallUpdates();
    });
    settingsWindowController::registerControllers(Storyboard::mainStoryboard());
    startupWindowController::registerControllers(Storyboard::mainStoryboard());
    UtilityKitWindow::registerControllers(Storyboard::mainStoryboard());
    m_menuitem_showCorvane = m_menu->showCorvane();
    m_menuitem_checkforupdates = m_menu->checkForUpdates();

    connect(m_menu->addFiles(), &QAction::triggered, this, [] {
        if (mainContainerVc* content = mainWindowController::shared().contentViewController())
            content->addFiles();
    });
    connect(m_menu->wipeFreeSpace(), &QAction::triggered, this,
        [] { FreeSpaceWipeDialog::chooseFolder(mainWindowController::shared().window()); });
    connect(m_menu->quit(), &QAction::triggered, this, &AppDelegate::requestQuit);
    connect(m_menu->preferences(), &QAction::triggered, this, &AppDelegate::btnPreferences);
    connect(m_menu->showCorvane(), &QAction::triggered, this, &AppDelegate::btnShowWindow);
    connect(m_menu->otherApps(), &QAction::triggered, this, [] {
        if (mainContainerVc* content = mainWindowController::shared().contentViewController())
            content->btnUtilityKitClicked();
    });
    connect(m_menu->checkForUpdates(), &QAction::triggered, this, &AppDelegate::checkForUpdates);
    connect(m_menu->about(), &QAction::triggered, this, &AppDelegate::btnAbout);
    connect(m_menu, &ApplicationMenu::menuAboutToShow, this, &AppDelegate::validateMenu);

    connect(m_tray, &MainWindowTray::reopenRequested, this,
        [this] { applicationShouldHandleReopen(false); });
    connect(m_tray, &MainWindowTray::quitRequested, this, &AppDelegate::requestQuit);
    NotificationCenter::defaultCenter().addObserver(QStringLiteral("ShredComplete"), this,
        [this](const Notification&) { m_tray->shredDidComplete(); });
}

AppDelegate::~AppDelegate()
{
    NotificationCenter::defaultCenter().removeObservers(this);
}

void AppDelegate::applicationWillFinishLaunching()
{
    if (!m_updater) {
        m_updater = new SUUpdater(*m_bundle, this);
        connect(m_updater, &SUUpdater::relaunchRequested, this, &AppDelegate::callTerminate);
    }
    generalVC::setUpdater(m_updater);
    m_updater->setAutomaticallyChecksForUpdates(false);
    m_updater->setAutomaticallyDownloadsUpdates(false);
    m_analytics->prepareAnalytics();
}

void AppDelegate::applicationDidFinishLaunching()
{
    setLanguageStrings(loadLanguageStrings());
    m_menu->setTitles();
    if (m_menuitem_checkforupdates)
        m_menuitem_checkforupdates->setText(localizedText(QStringLiteral("IDS_KQ_1")));
    if (m_menuitem_showCorvane)
        m_menuitem_showCorvane->setText(localizedText(QStringLiteral("IDS_KQ_3")));

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    if (!firstRunDone()) {
        // The main window waits until the welcome window is left; no update call this time.
        m_analytics->sendAnalyticsEvent(QStringLiteral("install"), QStringLiteral("install"));
        showWelcomeWindow();
        defaults.setString(QStringLiteral("lastVersion"), m_bundle->shortVersionString());
    } else {
        UpdateSchedule::detectUpgrade(*m_bundle, *m_analytics);
        showMainWindow();
        m_updateSchedule->scheduleUpdateCall();
    }

    applyLaunchAtLogin();
    // A free-space wipe killed with its disk full left its fill behind; off the GUI thread, as
    // the disk it is on may be slow to answer.
    QThread* cleanup = QThread::create([] { FreeSpaceWipeRecord::removeLeftovers(); });
    connect(cleanup, &QThread::finished, cleanup, &QObject::deleteLater);
    cleanup->start(QThread::LowestPriority);
    if (!defaults.contains(QStringLiteral("Algomethod")))
        defaults.setInteger(QStringLiteral("Algomethod"), 1);
}

bool AppDelegate::firstRunDone()
{
    const UserDefaults& defaults = UserDefaults::standardUserDefaults();
    return defaults.integerForKey(QStringLiteral("firstrun")).has_value();
}

void AppDelegate::showWelcomeWindow()
{
    auto* welcome = Storyboard::mainStoryboard().sharedController<startupWindowController>(
        QStringLiteral("startupWindowController"));
    if (!welcome)
        return;
    // Nothing else could bring a windowless process back: closing the window leaves, and the
    // next launch shows it again.
    welcome->setCloseHandler([this] { requestQuit(); });
    m_welcome = welcome;
    welcome->window(); // loading it shows it
    if (startupVC* content = welcome->contentViewController())
        connect(content, &startupVC::mainWindowRequested, this, &AppDelegate::showMainWindow,
            Qt::UniqueConnection);
}

void AppDelegate::showMainWindow()
{
    installMenus();
    mainWindowController::shared().showWindow();
    PathHandOver::openOnTheHomeScreen(m_handOver.takeKept());
}

void AppDelegate::checkForUpdate()
{
    if (!m_updater)
        return;
    m_updater->setAutomaticallyChecksForUpdates(true);
    m_updater->checkForUpdatesInBackground();
}

void AppDelegate::autoInstallUpdates()
{
    if (!m_updater)
        return;
    m_updater->setDelegate(this);
    m_updater->setAutomaticallyChecksForUpdates(true);
    m_updater->setAutomaticallyDownloadsUpdates(true);
    m_updater->checkForUpdatesInBackground();
}

void AppDelegate::willDownloadUpdate(SUUpdater*, const AppcastItem&, QNetworkRequest&)
{
    std::printf("download hoga\n");
    std::fflush(stdout);
}

void AppDelegate::didDownloadUpdate(SUUpdater*, const AppcastItem&)
{
    m_terminateTimer->start();
    std::printf("download hua\n");
    std::fflush(stdout);
}

QStringList AppDelegate::relaunchArguments(const QString& program)
{
    return {QStringLiteral("-c"), QStringLiteral("sleep 4; exec \"$0\""), program};
}

void AppDelegate::callTerminate()
{
    if (shreddingFilesVC::isRunActive()) {
        m_terminateTimer->start();
        return;
    }
    const QString program
        = m_updater ? m_updater->executablePath() : QCoreApplication::applicationFilePath();
    if (!QProcess::startDetached(QStringLiteral("/bin/sh"), relaunchArguments(program)))
        qWarning("Could not start the shell that restarts Corvane");
    requestQuit();
}

void AppDelegate::installMenus()
{
    mainWindowController& controller = mainWindowController::shared();
    if (!controller.menuBar())
        controller.setMenuBar(m_menu->createMenuBar());
    controller.setCloseHandler([this] { m_tray->mainWindowWillClose(); });
    connect(&controller, &mainWindowController::visibilityChanged, m_tray,
        &MainWindowTray::mainWindowVisibilityChanged, Qt::UniqueConnection);
}

void AppDelegate::applyLaunchAtLogin()
{
    const std::optional<qint64> status
        = UserDefaults::standardUserDefaults().integerForKey(QStringLiteral("startloginstatus"));
    if (status == 1)
        LaunchOnStartup::setLaunchOnStartup(true);
    else if (status == 0)
        LaunchOnStartup::setLaunchOnStartup(false);
}

void AppDelegate::btnPreferences()
{
    if (auto* settings = Storyboard::mainStoryboard().sharedController<settingsWindowController>(
            QStringLiteral("settingsWindowController")))
        settings->showWindow();
}

void AppDelegate::btnAbout()
{
    tabViewSettings::setRequestedTab(1);
    btnPreferences();
}

void AppDelegate::btnShowWindow()
{
    if (!firstRunDone())
        return;
    mainWindowController::shared().showWindow();
}

bool AppDelegate::validateMenuItem(const QAction*) const
{
    return true;
}

void AppDelegate::validateMenu(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        if (action == m_menu->addFiles()) {
            // Adding belongs to the screen on show, not to the application.
            const mainContainerVc* content = mainWindowController::shared().contentViewController();
            action->setEnabled(content && content->canAddFiles());
        } else if (!action->isSeparator()) {
            action->setEnabled(validateMenuItem(action));
        }
    }
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (!firstRunDone())
        return true;
    QWidget* window = mainWindowController::shared().window();
    if (!hasVisibleWindows || !window->isVisible() || window->isMinimized()) {
        if (window->isMinimized())
            window->showNormal();
        window->show();
    }
    return true;
}

void AppDelegate::checkForUpdates()
{
    if (!m_updater)
        return;
    // The answer is a sheet on the main window, so that window comes forward first.
    btnShowWindow();
    m_updater->checkForUpdates(mainWindowController::shared().window());
}

void AppDelegate::requestQuit()
{
    m_quitGuard->requestQuit();
}

void AppDelegate::handleArguments(const QStringList& arguments)
{
    // Until the welcome window is left there is no main window to take them: that window comes
    // forward, and the paths wait for Get Started, which opens them on the files list.
    if (m_welcome && !firstRunDone()) {
        m_welcome->showWindow();
        m_handOver.keep(arguments);
        return;
    }
    mainWindowController::shared().showWindow();
    PathHandOver::openOnTheHomeScreen(arguments);
}
