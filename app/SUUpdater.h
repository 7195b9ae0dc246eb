// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Alert.h"

#include <QObject>
#include <QPointer>

class QWidget;

/// The application's updater. It looks for updates only at an update feed address a
/// distributor configured in the build; this build has none, so it never reaches the network.
class SUUpdater : public QObject
{
    Q_OBJECT

public:
    explicit SUUpdater(QObject* parent = nullptr);
    ~SUUpdater() override;

    /// The feed address the build carries (Info.plist "SUFeedURL"); empty when none.
    static QString feedURL();

    /// Whether the updater looks for updates, and downloads them, by itself. Both start off, so
    /// nothing starts before the launch has chosen a mode.
    void setAutomaticallyChecksForUpdates(bool on) { m_automaticallyChecks = on; }
    bool automaticallyChecksForUpdates() const { return m_automaticallyChecks; }
    void setAutomaticallyDownloadsUpdates(bool on) { m_automaticallyDownloads = on; }
    bool automaticallyDownloadsUpdates() const { return m_automaticallyDownloads; }
    /// A check without a window of its own. Without a feed address there is nowhere to look.
    void checkForUpdatesInBackground();
    /// How many background checks were asked for in this process.
    int backgroundChecks() const { return m_backgroundChecks; }

    /// A check the user asked for. Its answer is shown as a sheet on `window`.
    void checkForUpdates(QWidget* window);
    /// The answer of the last user-started check while it is on show.
    Alert* alert() const { return m_alert; }

private:
    QPointer<Alert> m_alert;
    bool m_automaticallyChecks = false;
    bool m_automaticallyDownloads = false;
    int m_backgroundChecks = 0;
};
