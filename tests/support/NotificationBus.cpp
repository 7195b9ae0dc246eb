// SPDX-License-Identifier: GPL-3.0-or-later
#include "NotificationBus.h"

#include <QDBusConnection>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

PrivateSessionBus::PrivateSessionBus()
{
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (daemon.isEmpty())
        return;
    m_daemon.start(daemon, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
    if (m_daemon.waitForReadyRead(5000))
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_daemon.readLine().trimmed());
}

PrivateSessionBus::~PrivateSessionBus()
{
    m_daemon.kill();
    m_daemon.waitForFinished();
}

NotificationService::NotificationService()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_listening = bus.isConnected()
        && bus.registerObject(
            u"/org/freedesktop/Notifications"_s, this, QDBusConnection::ExportAllSlots)
        && bus.registerService(u"org.freedesktop.Notifications"_s);
}

NotificationService::~NotificationService()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(u"org.freedesktop.Notifications"_s);
    bus.unregisterObject(u"/org/freedesktop/Notifications"_s);
}

uint NotificationService::Notify(const QString&, uint, const QString& icon, const QString& summary,
    const QString& body, const QStringList&, const QVariantMap& hints, int)
{
    summaries << summary;
    bodies << body;
    icons << icon << hints.value(u"desktop-entry"_s).toString();
    return uint(summaries.size());
}
