// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StorageVerdict.h"

#include <QString>
#include <QUrl>
#include <sys/types.h>

/// The on-disk facts about one file or folder, as read once when its FileDirectory was made.
/// Only FileDirectory::fromUrl() fills one in. Records are made off the GUI thread, so the
/// icon is kept as a MIME type name; the GUI resolves (and caches) the icon from it.
struct Filedata
{
    /// Allocated bytes (st_blocks * 512), not the length. 0 for folders. A top-level folder's
    /// record later gets the folder's total instead; this is the only field that changes.
    double size = 0;
    /// The length in bytes (st_size).
    quint64 length = 0;
    /// For a regular file, what overwriting it in place would reach, judged when it was listed.
    StorageVerdict verdict;
    /// Empty for a regular file a folder listing found: typing every file of a large tree by
    /// name costs as much as listing it, and only the rows on screen need it. Read typeName().
    QString mimeTypeName;
    QUrl url;
    bool isFolder = false;
    /// The item's identity and mount when it was read; 0 when unknown.
    quint64 device = 0;
    quint64 inode = 0;
    quint64 mountId = 0;
    /// The item is the root of a mount (a mount point, or bind-mounted there).
    bool isMountRoot = false;
    /// Names the file had when listed (st_nlink); 0 when unknown.
    quint32 links = 0;
    /// Marked immutable or append-only (chattr +i, +a): no one can overwrite it as it is.
    bool immutable = false;

    /// The MIME type name for an item at `path` of file type `mode` (st_mode). Decided from the
    /// file type and the name alone, never from the contents, so it stays cheap for large trees.
    /// Thread-safe. Equal names share one string to keep big trees small.
    static QString mimeTypeNameFor(const QString& path, mode_t mode);
    /// `mimeTypeName`, or for a listed regular file the type its name gives. Thread-safe.
    QString typeName() const;
};
