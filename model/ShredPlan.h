// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ItemDictionary.h"
#include "SharedState.h"
#include "ShredTarget.h"

#include <QList>
#include <QSet>
#include <utility>

/// Turns the list tree into what a shred run erases, on the GUI thread that owns the tree, so
/// the run never reads the item dictionaries: checked files with the identity they were listed
/// with, every folder to remove once the run has left it empty, and checked items that could
/// not be read when listed.
class ShredPlan
{
public:
    static QList<ShredTarget> fromItems(const QList<ItemRef>& items);

    /// How many files a plan overwrites and their bytes, as the user is told before the run.
    struct Totals
    {
        qint64 files = 0;
        quint64 bytes = 0;
    };
    static Totals totals(const QList<ShredTarget>& targets);

    /// What the storage of the checked files, as judged when they were listed, means for them.
    struct StorageSummary
    {
        /// Checked files with a warning, with the sentence for their main reason.
        QList<NotErasedItem> warned;
        /// The warnings' main reasons and the notes, each once, in StorageReason order.
        QList<StorageReason> warnings;
        QList<StorageReason> notes;
        /// Checked files that will not be erased (more than one name, immutable), with why;
        /// a file listed under two of its names is there once, as the run reports it.
        QList<NotErasedItem> refused;
        QSet<std::pair<quint64, quint64>> refusedFiles; ///< their (device, inode)
    };
    static StorageSummary storageSummary(const QList<ItemRef>& items);

private:
    /// `planned` holds the (device, inode) of every file already in the plan.
    static void append(const ItemDictionary& item, QList<ShredTarget>& out,
        QSet<std::pair<quint64, quint64>>& planned);
    /// Every file and empty folder below `item` (or the item itself when nothing is listed
    /// below it) is checked: the user meant all of it to go.
    static bool fullyChecked(const ItemDictionary& item);
    static void summarize(const QList<ItemRef>& items, StorageSummary& summary);
};
