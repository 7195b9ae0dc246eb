// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

/// Every entry under `root` with its mode and content (or link target), sorted: two equal
/// snapshots mean nothing was added, removed or changed.
QStringList treeSnapshot(const QString& root);
/// What a symbolic link holds, as written; empty when `path` is not a link.
QString linkText(const QString& path);
