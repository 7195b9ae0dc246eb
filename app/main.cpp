// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppDelegate.h"
#include "CommandLine.h"
#include "FocusRingStyle.h"
#include "Pictures.h"
#include "SingleInstance.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Read before Qt exists: help and version then work over ssh and in scripts, and no
    // argument is taken by the toolkit as its own option ("-reverse", "-platform").
    const CommandLine command(CommandLine::fromArgv(argc, argv));
    if (command.request() != CommandLine::Request::Run)
        return command.answer();
    // Read first: on X11, QApplication takes DESKTOP_STARTUP_ID out of the environment.
    const QString activationToken = SingleInstance::activationTokenFromEnvironment();

    // The toolkit gets the program's name only; its settings come from the environment.
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    QApplication app(toolkitArgc, toolkitArgv);
    QApplication::setApplicationName(QStringLiteral("corvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.corvane.Corvane"));
    QApplication::setWindowIcon(Pictures::applicationIcon());
    // The desktop's style, with a focus ring keyboard users can see.
    FocusRingStyle::install();
    // Closing the main window only hides it.
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList paths = command.absolutePaths();

    SingleInstance instance;
    if (instance.handOverToRunningInstance(
            paths, SingleInstance::handOverTimeoutMs, activationToken))
        return 0;
    instance.listen();

    AppDelegate delegate;
    QObject::connect(
        &instance, &SingleInstance::argumentsReceived, &delegate, &AppDelegate::handleArguments);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    if (!paths.isEmpty())
        delegate.handleArguments(paths);
    return app.exec();
}
