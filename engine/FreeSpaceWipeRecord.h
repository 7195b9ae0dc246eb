// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

/// The private folders of free-space wipes in progress, kept in a file under
/// `$XDG_STATE_HOME/corvane/`, so that a wipe killed with its disk full is cleaned up by the next
/// run of either program. A running wipe holds a lock on its folder; a folder still locked is
/// left alone. Safe to use from several processes at once (the file is locked while changed).
class FreeSpaceWipeRecord
{
public:
    /// The prefix of every private folder's name.
    static constexpr const char* kFolderPrefix = ".corvane-free-space-";

    /// The record file's path.
    static QString path();
    static bool add(const QByteArray& folder);
    static void remove(const QByteArray& folder);
    static QList<QByteArray> entries();
    /// Removes the fill files and folders of wipes that ended without cleaning up, and their
    /// lines; folders still in use and those not reachable now (an unmounted disk) stay
    /// recorded. Returns how many folders were removed.
    static int removeLeftovers();
    /// Removes the fill files in the private folder `name` of the folder open at `parentFd`,
    /// then the folder; never follows a link and touches only files the wipe names.
    /// False with errno set when something stays.
    static bool removeFolderAt(int parentFd, const QByteArray& name);
    /// Whether `name` is a fill file's name.
    static bool isFillName(const QByteArray& name);
};
