#pragma once

#include <QObject>
#include <QStringList>

/// The application's start-up and the commands that reach the application as a whole.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject* parent = nullptr);

    /// Before the event loop starts.
    void applicationWillFinishLaunching();
    /// Loads the language table, sets the defaults and shows the first window.
    void applicationDidFinishLaunching();
    /// Makes the main window visible and brings it to the front.
    void btnShowWindow();
    /// Arguments handed over by a later start of the application.
    void handleArguments(const QStringList& arguments);
};
