// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QSystemTrayIcon;

/// A desktop notification (a bubble): through the tray icon when one is on show, else through
/// the desktop's notification service (org.freedesktop.Notifications on the session bus).
class DesktopNotification
{
public:
    /// Returns at once; a desktop without a notification service shows nothing.
    static void send(const QString& summary, const QString& body, QSystemTrayIcon* tray = nullptr);
};
