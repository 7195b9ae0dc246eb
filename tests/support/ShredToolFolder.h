// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class TempTree;

/// A folder holding every kind of item corvane-shred meets: a tree with hidden, empty and oddly
/// named files, names with a newline or bytes that are not UTF-8 or that look like options,
/// restricted names, links in and out, FIFOs, hard links, and items of root and of uid 65534
/// (the folder itself is 65534's). Making the owners needs root.
class ShredToolFolder
{
public:
    /// Fills `tree`; false when something could not be made.
    static bool fill(TempTree& tree);
    /// Its regular files, relative to it, and their contents.
    static const QList<std::pair<QString, QByteArray>>& files();
    /// Its links, FIFOs and empty folders; "\\377" in a name stands for the byte 0xff.
    static const QStringList& others();
    /// `name` (as in files() or others()) is there, with lstat semantics.
    static bool exists(const TempTree& tree, const QString& name);
    /// The user's login name, a restricted name; it too has a folder there.
    static QString loginName();
};
