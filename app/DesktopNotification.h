// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

class QSystemTrayIcon;

/// A desktop notification (a bubble): through the tray icon when one is on show, else through
/// the desktop's notification service (org.freedesktop.Notifications on the session bus).
class DesktopNotification
{
public:
    /// Returns at once; a desktop without a notification service shows nothing.
    static void send(const QString& summary, const QString& body, QSystemTrayIcon* tray = nullptr);
    /// Hands the notification to the desktop's notification service, which shows it after this
    /// process has ended, then calls `then` on this thread once the service has answered (or
    /// after `waitMs` without an answer, or at once without a session bus).
    static void sendBeforeQuitting(
        const QString& summary, const QString& body, std::function<void()> then, int waitMs = 2000);
};
