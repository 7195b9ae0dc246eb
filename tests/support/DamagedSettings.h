// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

class TempTree;

/// Settings entries no start may trip over, made on purpose, by name for _data() tables:
/// "not a property list", "nested 50,000 deep", "larger than 1 MiB", "FIFO", "folder",
/// "link to /dev/zero" and "link to a damaged file" (a dotfile manager's link whose target,
/// in the tree's "dotfiles" folder, is damaged).
namespace DamagedSettings {

/// An XML property list of `depth` arrays, one inside the other.
QByteArray nestedArrays(int depth);

/// Makes `relative` in `tree` an entry of `kind`; its full path, or empty when it could not.
QString make(TempTree& tree, const QString& relative, const QString& kind);

/// What stands at `path`, links not followed: "link -> TARGET", "fifo", "folder", "device",
/// "file " and the content's SHA-1, or "nothing".
QString describe(const QString& path);

} // namespace DamagedSettings
