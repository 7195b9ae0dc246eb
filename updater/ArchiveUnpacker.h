// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UpdateError.h"

#include <QString>
#include <optional>

/// Unpacks an update archive (.tar.xz or .tar.gz) into a fresh folder, refusing anything that
/// could land outside it or is not plain content: absolute paths, ".." components, links that
/// leave the tree, hard links, devices, FIFOs and sockets. Nothing is set-user-ID afterwards.
class ArchiveUnpacker
{
public:
    struct Limits
    {
        qint64 maxBytes = qint64(1)
            << 30; ///< the unpacked size, so a small archive cannot fill the disk
        int maxEntries = 20000;
    };

    /// Unpacks `archivePath` into `destination`, an empty folder that exists. On an error the
    /// folder may hold part of the tree and must be discarded.
    static UpdateError unpack(
        const QString& archivePath, const QString& destination, Limits limits);
    static UpdateError unpack(const QString& archivePath, const QString& destination)
    {
        return unpack(archivePath, destination, Limits());
    }

    /// `name` as a path inside the tree ("./bin/x" gives "bin/x", "./" gives ""), or nothing
    /// when it is absolute or has a ".." component.
    static std::optional<QString> relativePath(const QString& name);
    /// Whether a symbolic link at `linkPath` (inside the tree) pointing to `target` stays inside.
    static bool linkStaysInside(const QString& linkPath, const QString& target);
};
