// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileDirectory.h"
#include "ItemDictionary.h"
#include "ShredReport.h"
#include "StorageVerdict.h"

#include <QList>
#include <QString>
#include <atomic>

/// The process-wide state the screens hand to each other. Made on first use, alive until the
/// process ends.
///
/// Thread rule: arrPendingItems, arrFileList and every item dictionary reachable from
/// arrFileList belong to the GUI thread; only the GUI thread reads or changes them. A background
/// scan works on its own copy of arrPendingItems, builds each top-level item's subtree
/// privately, and hands the finished ItemRef to the GUI thread (dispatchMain), which appends it
/// to arrFileList. The scan never touches an item after handing it over. The shredding walk
/// likewise works on a snapshot it was given on the GUI thread.
///
/// The counters and flags are atomics and may be read and written from any thread.
/// An item a shred run could not erase, and why; shown on the result screen.
struct NotErasedItem
{
    QString path;
    QString reason;
};

class SharedState
{
public:
    static SharedState& instance();

    SharedState(const SharedState&) = delete;
    SharedState& operator=(const SharedState&) = delete;

    /// Records accepted by the last add and not yet in the tree. GUI thread only.
    QList<FileDirectory> arrPendingItems;
    /// The top-level items, i.e. the whole list tree. GUI thread only.
    QList<ItemRef> arrFileList;

    /// A scan is running. True at start, so actions that test it stay refused until the first
    /// scan has completed.
    std::atomic<bool> isAddingFiles {true};
    /// Checked regular files in the tree, recounted by the list view.
    std::atomic<qint64> totalSelectedFiles {0};
    /// Totals of the current shred run; the shredding walk is their only writer.
    std::atomic<qint64> deletedFilesCount {0};
    std::atomic<double> deletedFilesSize {0};
    /// What the last shred run could not erase. GUI thread only; written when the run ends.
    QList<NotErasedItem> notErasedItems;
    /// Files the last run removed whose old contents may remain, with the reason. GUI thread only.
    QList<NotErasedItem> warnedItems;
    /// The same files' verdicts, for what a wipe of free space may resolve. GUI thread only.
    QList<ShredWarning> storageWarnings;
    /// The file a stopped run was overwriting and kept; empty when the run was not stopped in
    /// the middle of a file. GUI thread only; written when the run ends.
    QString keptWhenStopped;
    /// The notes about the storage of the files the last run erased. GUI thread only.
    QList<StorageReason> storageNotes;
    /// How the last run overwrote (the engine's pass type), whether it read each file back,
    /// and how long it took. GUI thread only; written when the run ends.
    int lastRunMethod = 1;
    bool lastRunVerified = false;
    qint64 lastRunMilliseconds = 0;
    /// The tab the settings window opens on.
    std::atomic<int> requestedSettingsTab {0};

    /// Empties arrFileList and arrPendingItems (the result screen's Home) and starts a new list
    /// generation. GUI thread only.
    void resetLists();
    /// Which list the tree is: a scan started for an earlier one never adds to it.
    std::atomic<quint64> listGeneration {0};

private:
    SharedState() = default;
};
