// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class Bundle;
class QTimer;
class UsageAnalytics;

/// What a later launch does about updates: tells the usage counter about an upgrade, and
/// makes the chosen update call 5 seconds after launch.
class UpdateSchedule : public QObject
{
    Q_OBJECT

public:
    enum class Call
    {
        None,
        CheckForUpdate,
        AutoInstallUpdates
    };

    explicit UpdateSchedule(QObject* parent);

    /// Whether `current` is a newer version than `last`: both whole single-precision decimal
    /// numbers, compared as numbers (1.5 is above 1.10), and `last` not equal to `current`
    /// once lower-cased.
    static bool isUpgrade(const QString& last, const QString& current);
    /// Records the new "lastVersion" and sends "kqupdated" when `bundle` is an upgrade.
    static void detectUpgrade(const Bundle& bundle, UsageAnalytics& analytics);
    /// Reads "_checkforUpdate_" (1 when missing) and schedules its call.
    void scheduleUpdateCall();
    /// The call scheduled and not yet made.
    Call scheduled() const { return m_scheduled; }

signals:
    /// The 5 seconds have passed.
    void due(Call call);

private:
    QTimer* m_timer;
    Call m_scheduled = Call::None;
};
