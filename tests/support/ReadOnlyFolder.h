// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// Makes a folder the test made read-only while it lives: a read-only bind mount over itself
/// when running as root (root writes anywhere else), mode 0555 otherwise. Undone when destroyed.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& folder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    /// Empty when the folder is read-only now, else why not.
    QString error() const { return m_error; }

private:
    QString m_folder;
    QString m_error;
    bool m_mounted = false;
};
