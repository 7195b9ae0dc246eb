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

    /// A check the user asked for. Its answer is shown as a sheet on `window`.
    void checkForUpdates(QWidget* window);
    /// The answer of the last user-started check while it is on show.
    Alert* alert() const { return m_alert; }

private:
    QPointer<Alert> m_alert;
};
