// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

/// Plain removal and renaming, without overwriting. A symbolic link is removed as a link.
class ZPHDeleteFile
{
public:
    /// Removes the item (a folder with everything in it); logs and returns false on failure.
    bool deleteSingleFile(const QString& path);
    /// Removes each path in order and stops at the first failure.
    bool deleteMultipleFiles(const QStringList& paths);
    /// Moves `source` to `destination`.
    bool renameFile(const QString& source, const QString& destination);
};
