// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ZPHShred.h"

#include <QByteArray>
#include <QList>

#include <optional>

/// One thing a shred run erases, as its caller decided it, in the file system's own bytes.
struct ShredTarget
{
    enum class Kind : quint8
    {
        Path, ///< a file or a whole folder named by the user; everything below it goes
        ListedFile, ///< a checked file of the list; erased only if it is still that file
        ListedFolder, ///< a folder of the list: its children first, then removed if left empty
        EmptyFolder, ///< a checked folder that was empty when listed: removed if still empty
        Unreadable, ///< a checked item nothing could be read about when listed: reported
    };

    Kind kind = Kind::Path;
    QByteArray path;
    std::optional<FileIdentity> identity;
    quint64 length = 0; ///< a listed file's length, for the progress total
    QList<ShredTarget> children; ///< a listed folder's checked items and subfolders
    /// Every item listed below the folder is checked: if it stays, the user is told why.
    bool fullyChecked = false;

    static ShredTarget make(
        Kind kind, QByteArray path, std::optional<FileIdentity> identity = {}, quint64 length = 0)
    {
        ShredTarget target;
        target.kind = kind;
        target.path = std::move(path);
        target.identity = identity;
        target.length = length;
        return target;
    }
};
