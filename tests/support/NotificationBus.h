// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

/// A session bus of the test's own, started before anything asks for one, so that nothing
/// reaches the machine's desktop. Stopped when destroyed.
class PrivateSessionBus
{
public:
    /// Starts dbus-daemon and points DBUS_SESSION_BUS_ADDRESS at it; without dbus-daemon
    /// nothing happens and QDBusConnection::sessionBus() stays unconnected.
    PrivateSessionBus();
    ~PrivateSessionBus();

private:
    QProcess m_daemon;
};

/// Stands in for the desktop's notification service (org.freedesktop.Notifications) on the
/// session bus while it lives; records what it is asked to show.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    NotificationService();
    ~NotificationService() override;
    /// Whether it could take the service's name (false without a session bus).
    bool isListening() const { return m_listening; }

    QStringList summaries;
    QStringList bodies;
    QStringList icons; ///< app_icon, then the desktop-entry hint, of each notification

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
        const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout);

private:
    bool m_listening = false;
};
