// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppDelegate.h"
#include "CommandLine.h"
#include "Pictures.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

int main(int argc, char* argv[])
{
    // Answered before Qt connects to a display, so that they work over ssh and in scripts.
    if (const CommandLine early(CommandLine::fromArgv(argc, argv));
        early.request() == CommandLine::Request::Help
        || early.request() == CommandLine::Request::Version)
        return early.answer();
    // Read first: on X11, QApplication takes DESKTOP_STARTUP_ID out of the environment.
    const QString activationToken = SingleInstance::activationTokenFromEnvironment();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.corvane.Corvane"));
    QApplication::setWindowIcon(Pictures::applicationIcon());
    // Closing the main window only hides it.
    QApplication::setQuitOnLastWindowClosed(false);

    // QApplication has taken its own options out by now.
    const CommandLine command(QApplication::arguments().mid(1));
    if (command.request() != CommandLine::Request::Run)
        return command.answer();
    QStringList paths;
    for (const QString& argument : command.paths())
        paths << QFileInfo(argument).absoluteFilePath();

    SingleInstance instance;
    if (instance.handOverToRunningInstance(paths, SingleInstance::handOverTimeoutMs, activationToken))
        return 0;
    instance.listen();

    AppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::argumentsReceived, &delegate,
                     &AppDelegate::handleArguments);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    if (!paths.isEmpty())
        delegate.handleArguments(paths);
    return app.exec();
}
