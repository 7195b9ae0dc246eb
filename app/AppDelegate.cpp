// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppDelegate.h"

#include "Alert.h"
#include "ApplicationMenu.h"
#include "DesktopNotification.h"
#include "FreeSpaceWipeDialog.h"
#include "FreeSpaceWipeRecord.h"
#include "LanguageTable.h"
#include "LaunchOnStartup.h"
#include "ListBuilder.h"
#include "NotificationCenter.h"
#include "PathText.h"
#include "Pictures.h"
#include "SUUpdater.h"
#include "SharedState.h"
#include "SizeText.h"
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
#include <QPushButton>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <utility>

AppDelegate::AppDelegate(QObject* parent, std::function<bool()> trayAvailable)
    : QObject(parent)
    , m_menu(new ApplicationMenu(this))
    , m_trayAvailable(trayAvailable ? std::move(trayAvailable)
                                    : [] { return QSystemTrayIcon::isSystemTrayAvailable(); })
    , m_analytics(&UsageAnalytics::shared())
    , m_updateTimer(new QTimer(this))
    , m_terminateTimer(new QTimer(this))
{
    m_terminateTimer->setObjectName(QStringLiteral("terminateTimer"));
    m_terminateTimer->setSingleShot(true);
    m_terminateTimer->setInterval(5000);
    connect(m_terminateTimer, &QTimer::timeout, this, &AppDelegate::callTerminate);
    m_updateTimer->setObjectName(QStringLiteral("updateTimer"));
    m_updateTimer->setSingleShot(true);
    m_updateTimer->setInterval(5000);
    connect(m_updateTimer, &QTimer::timeout, this, [this] {
        const UpdateCall call = m_scheduledUpdateCall;
        m_scheduledUpdateCall = UpdateCall::None;
        if (call == UpdateCall::CheckForUpdate)
            checkForUpdate();
        else if (call == UpdateCall::AutoInstallUpdates)
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

    NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("ShredComplete"), this, [this](const Notification&) { shredDidComplete(); });
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
        detectUpgrade();
        showMainWindow();
        scheduleUpdateCall();
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
    if (!m_pendingPaths.isEmpty())
        openOnTheHomeScreen(std::exchange(m_pendingPaths, {}));
}

bool AppDelegate::isUpgrade(const QString& last, const QString& current)
{
    if (last.toLower() == current)
        return false;
    // A plain decimal number and nothing else: "1.2.3", "inf" or "0x1" are no version numbers.
    static const QRegularExpression decimal(QRegularExpression::anchoredPattern(
        QStringLiteral("[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?")));
    bool lastIsNumber = false;
    bool currentIsNumber = false;
    const float lastValue = last.toFloat(&lastIsNumber);
    const float currentValue = current.toFloat(&currentIsNumber);
    return lastIsNumber && currentIsNumber && decimal.match(last).hasMatch()
        && decimal.match(current).hasMatch() && lastValue < currentValue;
}

void AppDelegate::detectUpgrade()
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const std::optional<QString> last = defaults.stringForKey(QStringLiteral("lastVersion"));
    const QString current = m_bundle->shortVersionString();
    if (!last || !isUpgrade(*last, current))
        return;
    defaults.setString(QStringLiteral("lastVersion"), current);
    m_analytics->sendAnalyticsEvent(QStringLiteral("kqupdated"), current);
}

void AppDelegate::scheduleUpdateCall()
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const QString key = QStringLiteral("_checkforUpdate_");
    std::optional<qint64> mode = defaults.integerForKey(key);
    if (!mode) {
        defaults.setInteger(key, 1);
        mode = 1;
    }
    if (*mode == 0)
        m_scheduledUpdateCall = UpdateCall::CheckForUpdate;
    else if (*mode == 1)
        m_scheduledUpdateCall = UpdateCall::AutoInstallUpdates;
    else
        return;
    m_updateTimer->start();
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
    controller.setCloseHandler([this] { mainWindowWillClose(); });
    connect(&controller, &mainWindowController::visibilityChanged, this,
        &AppDelegate::mainWindowVisibilityChanged, Qt::UniqueConnection);
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
    // Quitting in the middle of a run would cut a file off mid-write: ask first.
    if (shreddingFilesVC::isRunActive()) {
        askToStopTheRun();
        return;
    }
    // Not quit(): it first asks every window to close, and the main window answers a close by
    // hiding, which would call the quit off.
    QCoreApplication::exit(0);
}

void AppDelegate::askToStopTheRun()
{
    if (m_stopAlert)
        return;
    mainWindowController& controller = mainWindowController::shared();
    controller.showWindow();
    m_stopAlert = new Alert(controller.window());
    m_stopAlert->setMessageText(localizedText(QStringLiteral("IDS_KQ_255")));
    m_stopAlert->setInformativeText(localizedText(QStringLiteral("IDS_KQ_256")));
    QPushButton* keep
        = m_stopAlert->addButtonWithTitle(localizedText(QStringLiteral("IDS_KQ_258")));
    QPushButton* stop
        = m_stopAlert->addButtonWithTitle(localizedText(QStringLiteral("IDS_KQ_257")));
    m_stopAlert->setDefaultButton(keep);
    m_stopAlert->setEscapeButton(keep);
    const auto close = [alert = m_stopAlert] {
        alert->endSheet();
        alert->deleteLater();
    };
    connect(keep, &QAbstractButton::clicked, m_stopAlert, close);
    connect(stop, &QAbstractButton::clicked, this, [this, close] {
        close();
        stopRunAndQuit();
    });
    m_stopAlert->beginSheetModal(controller.window());
}

void AppDelegate::stopRunAndQuit()
{
    shreddingFilesVC::stopActiveRun();
    // The run ends after the chunk being written, keeping that file; only then is it safe to go.
    auto* waiting = new QTimer(this);
    connect(waiting, &QTimer::timeout, this, [this, waiting] {
        if (shreddingFilesVC::isRunActive())
            return;
        waiting->stop();
        waiting->deleteLater();
        // The window is about to go: what was erased and what was kept is said in a
        // notification that outlives it.
        const auto [summary, body] = stoppedRunNotification();
        DesktopNotification::sendBeforeQuitting(summary, body, [] { QCoreApplication::exit(0); });
    });
    waiting->start(20);
}

std::pair<QString, QString> AppDelegate::stoppedRunNotification()
{
    const SharedState& state = SharedState::instance();
    QString body = localizedFormat(QStringLiteral("IDS_KQ_316"),
        {QString::number(state.deletedFilesCount.load()),
            QString::number(state.totalSelectedFiles.load()),
            sizeText(state.deletedFilesSize.load())});
    if (!state.keptWhenStopped.isEmpty())
        body += u'\n'
            + localizedFormat(
                QStringLiteral("IDS_KQ_317"), PathText::displayText(state.keptWhenStopped));
    return {localizedText(QStringLiteral("IDS_KQ_315")), body};
}

void AppDelegate::mainWindowWillClose()
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
    requestQuit();
}

void AppDelegate::showTrayIcon()
{
    if (!m_trayIcon) {
        m_trayIcon = new QSystemTrayIcon(Pictures::applicationIcon(), this);
        m_trayIcon->setObjectName(QStringLiteral("trayIcon"));
        m_trayIcon->setToolTip(QStringLiteral("Corvane"));
        m_trayIcon->setContextMenu(m_menu->trayMenu());
        connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    applicationShouldHandleReopen(false);
            });
    }
    m_trayIcon->show();
}

void AppDelegate::mainWindowVisibilityChanged(bool visible)
{
    // The icon stands in for the window only while the window is away.
    if (visible && m_trayIcon)
        m_trayIcon->hide();
}

void AppDelegate::shredDidComplete()
{
    QWidget* window = mainWindowController::shared().window();
    if (window->isVisible() && !window->isMinimized())
        return;
    DesktopNotification::send(localizedText(QStringLiteral("IDS_KQ_313")),
        localizedText(QStringLiteral("IDS_KQ_314")),
        m_trayIcon && m_trayIcon->isVisible() ? m_trayIcon : nullptr);
}

void AppDelegate::handleArguments(const QStringList& arguments)
{
    // Until the welcome window is left there is no main window to take them: that window comes
    // forward, and the paths wait for Get Started, which opens them on the files list.
    if (m_welcome && !firstRunDone()) {
        m_welcome->showWindow();
        for (const QString& path : arguments) {
            if (!m_pendingPaths.contains(path))
                m_pendingPaths << path;
        }
        return;
    }
    mainWindowController::shared().showWindow();
    openOnTheHomeScreen(arguments);
}

void AppDelegate::openOnTheHomeScreen(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return;
    // Taken like a drop, and only where a drop is taken: on the home screen. A list being
    // built, a shred running or a result on show is never replaced behind the user's back.
    const mainContainerVc* content = mainWindowController::shared().contentViewController();
    if (!content || !content->vc() || content->currentContentView() != content->vc()) {
        qInfo("Ignoring %lld handed-over paths: the home screen is not on show",
            static_cast<long long>(arguments.size()));
        return;
    }
    ListBuilder::acceptDroppedPaths(arguments);
}
