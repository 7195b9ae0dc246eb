#include "AppDelegate.h"

#include "LanguageTable.h"
#include "UserDefaults.h"
#include "mainWindowController.h"

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
    Q_UNUSED(arguments);
    // Paths handed over will go to the same acceptance as a drop; the window comes forward.
    btnShowWindow();
}
