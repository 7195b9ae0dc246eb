#include "AppDelegate.h"

#include "LanguageTable.h"
#include "ListBuilder.h"
#include "UserDefaults.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"

#include <QDebug>

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent)
{
}

void AppDelegate::applicationWillFinishLaunching()
{
    // The updater and the usage events are prepared here once they exist.
}

void AppDelegate::applicationDidFinishLaunching()
{
    setLanguageStrings(loadPlistDictionary(QStringLiteral("English")));

    // The first-run welcome window, launch at login and the update schedule come in here; for
    // now every launch opens the main window.
    mainWindowController::shared();

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    if (!defaults.contains(QStringLiteral("Algomethod")))
        defaults.setInteger(QStringLiteral("Algomethod"), 1);
}

void AppDelegate::btnShowWindow()
{
    mainWindowController::shared().showWindow();
}

void AppDelegate::handleArguments(const QStringList& arguments)
{
    btnShowWindow();
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
