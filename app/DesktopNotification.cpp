// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopNotification.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>
#include <utility>

namespace {

QDBusMessage notifyMessage(const QString& summary, const QString& body)
{
    QDBusMessage notify
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The installed desktop entry and icon are both named after the application's id.
    const QString id = QStringLiteral("org.corvane.Corvane");
    notify << QStringLiteral("Corvane") << uint(0) << id << summary << body << QStringList()
           << QVariantMap {{QStringLiteral("desktop-entry"), id}} << int(-1);
    return notify;
}

} // namespace

void DesktopNotification::send(const QString& summary, const QString& body, QSystemTrayIcon* tray)
{
    if (tray) {
        tray->showMessage(summary, body, QSystemTrayIcon::Information);
        return;
    }
    // Nothing waits for the answer: a missing service must not hold up the window.
    QDBusConnection::sessionBus().asyncCall(notifyMessage(summary, body));
}

void DesktopNotification::sendBeforeQuitting(
    const QString& summary, const QString& body, std::function<void()> then, int waitMs)
{
    // Not the tray's bubble: it is drawn by this process, or asked for without a reply to wait
    // on, and would go with it.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        then();
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(notifyMessage(summary, body), waitMs), QCoreApplication::instance());
    auto once = std::make_shared<std::function<void()>>(std::move(then));
    const auto finish = [watcher, once] {
        watcher->deleteLater();
        if (*once)
            std::exchange(*once, nullptr)();
    };
    // A service that never answers ends the call with a timeout error, which finishes too.
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, finish);
    QTimer::singleShot(waitMs + 500, watcher, finish);
}
