// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QDBusConnection;

/// Shows an item in the desktop's file manager, selected, the way the Finder's "reveal" does:
/// through the freedesktop.org FileManager1 D-Bus interface (ShowItems), which Dolphin, Files,
/// Nemo, Caja, Thunar and others offer. Where no file manager answers on the bus, the item's
/// parent folder is opened with the desktop's default handler instead.
class FileRevealer
{
public:
    /// Asks the session bus. Returns at once; the answer is awaited asynchronously, so a file
    /// manager that is slow to start never blocks the GUI thread. An empty path does nothing.
    static void reveal(const QString& path);
    /// The same over `bus` (a test's private bus).
    static void reveal(const QString& path, const QDBusConnection& bus);

    /// The folder opened when the file manager cannot be asked: the item's parent folder.
    static QString fallbackFolder(const QString& path);
};
