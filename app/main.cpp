#include "AppDelegate.h"
#include "Pictures.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

int main(int argc, char* argv[])
{
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

    QStringList paths;
    for (const QString& argument : QApplication::arguments().mid(1))
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
