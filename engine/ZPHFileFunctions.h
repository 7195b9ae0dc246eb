// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

/// Stateless questions about the file system. Nothing here follows a symbolic link.
class ZPHFileFunctions
{
public:
    /// The item's own length in bytes as decimal text; "0" when it cannot be read.
    static QString getFileSize(const QString& path);
    /// The lengths of everything below the folder on its own mount, as decimal text. An
    /// unreadable folder is reported on standard error and counts 0.
    static QString getFolderSize(const QString& path);
    /// Full paths of the regular files below the folder, at any depth, hidden ones included,
    /// a folder's files before those of later entries. Does not descend into symbolic links
    /// or into another mounted file system.
    static QStringList getFilesListFromDirectoryPath(const QString& path);
    /// Whether a running process of this user's system has the executable name `name`,
    /// compared without letter case.
    static bool isApplicationRunning(const QString& name);
    /// Where running processes are looked up; "/proc" unless a test says otherwise.
    static void setProcRoot(const QString& root);
};
