// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileDirectory.h"

#include <QList>
#include <QUrl>
#include <memory>

class ItemDictionary;

/// Item dictionaries are shared: the tree, the list view and the shredding walk hold the same
/// instance, so a change made through one holder is seen by all.
using ItemRef = std::shared_ptr<ItemDictionary>;

/// One row of the list tree. The members carry the names of the keys the screens know them by
/// ("data", "state", "tag", "url1", "arrpath", "isMainParent").
///
/// "isMainParent" is held as a std::optional<bool>: engaged (always true) on top-level items
/// only, so "the key is present" reads as hasMainParent(). Make items with makeTopLevelItem()
/// and makeChildItem() so that rule holds.
class ItemDictionary
{
public:
    /// Rewritten as a whole when the scan marks an empty folder.
    FileDirectory data;
    /// The row is checked.
    bool state = false;
    std::optional<bool> isMainParent;
    /// Unique within the tree; rows and actions find their item by it.
    qint64 tag = 0;
    /// A top-level item's record URL; for a child the URL of its full path before normalisation.
    QUrl url1;
    /// The children of a folder in listing order; empty for files and empty or unreadable
    /// folders. The tree has no parent links.
    QList<ItemRef> arrpath;

    bool hasMainParent() const { return isMainParent.has_value(); }
};

ItemRef makeTopLevelItem(const FileDirectory& data, qint64 tag);
ItemRef makeChildItem(const FileDirectory& data, qint64 tag, const QUrl& url1);
