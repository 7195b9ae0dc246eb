// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Alert.h"
#include "AppcastItem.h"
#include "Bundle.h"
#include "UpdateError.h"
#include "UpdateWindow.h"

#include <QObject>
#include <QPointer>

class QWidget;
class SUUpdaterDelegate;
class UpdateSession;

/// The application's updater. It reads the update feed a distributor configured in the build
/// (Info.plist "SUFeedURL", with the key "SUPublicEDKey" every archive must be signed with);
/// a build without both never reaches the network. A downloaded update is installed when the
/// application quits, into the prefix the program runs from when the user can write it; a
/// package manager's installation is only told about.
class SUUpdater : public QObject
{
    Q_OBJECT

public:
    /// For the application `bundle` describes; it must outlive the updater.
    explicit SUUpdater(const Bundle& bundle, QObject* parent = nullptr);
    /// For the main bundle.
    explicit SUUpdater(QObject* parent = nullptr);
    ~SUUpdater() override;

    /// The feed address `bundle` carries; empty when none.
    static QString feedURL(const Bundle& bundle = Bundle::mainBundle());
    /// A feed address that is allowed and a public key: only then does anything reach the network.
    bool isConfigured() const;
    /// Whether Corvane installs updates itself: a feed is configured and the user can write the
    /// prefix the program runs from. Otherwise updates come from whoever installed it.
    bool installsUpdates() const { return isConfigured() && installable(); }

    /// Whether the updater looks for updates, and downloads them, by itself. Both start off, so
    /// nothing starts before the launch has chosen a mode.
    void setAutomaticallyChecksForUpdates(bool on) { m_automaticallyChecks = on; }
    bool automaticallyChecksForUpdates() const { return m_automaticallyChecks; }
    void setAutomaticallyDownloadsUpdates(bool on) { m_automaticallyDownloads = on; }
    bool automaticallyDownloadsUpdates() const { return m_automaticallyDownloads; }
    /// Told of automatic downloads; not owned, and must outlive the updater or be reset.
    void setDelegate(SUUpdaterDelegate* delegate) { m_delegate = delegate; }
    SUUpdaterDelegate* delegate() const { return m_delegate; }

    /// A check without a window of its own. A newer version is downloaded when automatic
    /// downloads are on (and the delegate told), else shown in the update window.
    void checkForUpdatesInBackground();
    /// How many background checks were asked for in this process.
    int backgroundChecks() const { return m_backgroundChecks; }

    /// A check the user asked for, shown in the update window over `window`. Without a feed the
    /// answer is a sheet on `window` saying there is nowhere to look.
    void checkForUpdates(QWidget* window);
    /// The no-feed answer while it is on show.
    Alert* alert() const { return m_alert; }
    /// Null until a check has something to show.
    UpdateWindow* updateWindow() const { return m_window; }

    /// The program whose installation is updated and restarted: this process's own unless a
    /// test says otherwise.
    void setExecutablePath(const QString& path) { m_executablePath = path; }
    const QString& executablePath() const { return m_executablePath; }
    /// The longest wait for a server that stops sending; 30 s unless a test says otherwise.
    void setStallTimeout(int milliseconds);

    UpdateSession* session() const { return m_session; }
    bool hasStagedUpdate() const;
    /// Puts the staged update in place of the running installation; done when the application
    /// quits. Nothing when none is staged.
    UpdateError installStagedUpdate();

    /// The plain words the user reads for `error`.
    static QString textFor(const UpdateError& error);

signals:
    /// The user asked to restart into the update that is ready.
    void relaunchRequested();

private:
    void updateFound(const AppcastItem& item);
    void noUpdateFound();
    void updateFailed(const UpdateError& error);
    void updateStaged(const AppcastItem& item);
    void startDownload(bool automatic);
    bool installable() const;
    QString displayedVersion() const;
    UpdateWindow* window(QWidget* parent = nullptr);

    const Bundle& m_bundle;
    UpdateSession* m_session;
    QPointer<Alert> m_alert;
    QPointer<UpdateWindow> m_window;
    SUUpdaterDelegate* m_delegate = nullptr;
    QString m_executablePath;
    AppcastItem m_item; ///< the newer version last found
    bool m_userStarted = false; ///< the check under way shows its answers in the window
    bool m_automaticDownload = false;
    bool m_downloading = false;
    bool m_automaticallyChecks = false;
    bool m_automaticallyDownloads = false;
    int m_backgroundChecks = 0;
};
