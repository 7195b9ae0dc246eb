// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QSystemTrayIcon>

void DesktopNotification::send(const QString& summary, const QString& body, QSystemTrayIcon* tray)
{
    if (tray) {
        tray->showMessage(summary, body, QSystemTrayIcon::Information);
        return;
    }
    QDBusMessage notify
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The installed desktop entry and icon are both named after the application's id.
    const QString id = QStringLiteral("org.corvane.Corvane");
    notify << QStringLiteral("Corvane") << uint(0) << id << summary << body << QStringList()
           << QVariantMap {{QStringLiteral("desktop-entry"), id}} << int(-1);
    // Nothing waits for the answer: a missing service must not hold up the window.
    QDBusConnection::sessionBus().asyncCall(notify);
}
