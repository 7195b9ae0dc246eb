// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ItemDictionary.h"

#include <QHash>
#include <QList>

/// What the rows of the list tree show of the items below them, counted in one pass over the
/// tree: for each folder with children, the files and empty folders below it, how many of them
/// are checked, and the size of its files, each counted once; and the counts of the whole list.
/// Kept until the next recount, so showing a row never walks a subtree. GUI thread only.
class FolderFigures
{
public:
    struct Counts
    {
        /// Regular files in the whole tree; empty folders are not counted.
        qint64 filesCount = 0;
        /// Those of them that are checked.
        qint64 selectedFiles = 0;
    };

    /// Counts the tree of `topLevel` afresh.
    void recount(const QList<ItemRef>& topLevel);
    Counts counts() const { return m_counts; }
    /// The box of `item`'s row: a folder with entries below shows how many of them are checked
    /// (all, none or some); any other row shows its own state.
    Qt::CheckState checkState(const ItemDictionary& item) const;
    /// The size a row shows: a file's own, or the sum of the files below a folder, each once.
    double shownSize(const ItemDictionary& item) const;

private:
    struct Figures
    {
        qint64 entriesBelow = 0;
        qint64 checkedBelow = 0;
        double sizeBelow = 0;
    };
    struct Totals
    {
        qint64 entries = 0;
        qint64 checked = 0;
        qint64 files = 0;
        qint64 checkedFiles = 0;
        double size = 0;
    };

    Totals recountBelow(const ItemDictionary& item);

    QHash<const ItemDictionary*, Figures> m_figures;
    Counts m_counts;
};
