// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileDirectory.h"
#include "ItemDictionary.h"
#include "StorageAssessment.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <memory>
#include <vector>

/// Builds top-level items with their whole subtree, privately: the items it returns are not
/// shared with anyone yet, so it may run on any thread. Never follows symbolic links (a link to
/// a folder is a leaf), lists hidden entries, and keeps the order the file system lists.
/// A folder's subfolders are listed by up to four threads at once (as many as there are
/// cores): most of a scan is the kernel's work per entry, which spreads over cores.
class FolderScanner
{
public:
    /// Tags are handed out from `firstTag`, depth first with a parent before its children.
    /// `stop`, when given, is checked between entries.
    explicit FolderScanner(qint64 firstTag, const std::atomic<bool>* stop = nullptr);

    /// The top-level item for `record` with its subtree. For a folder, the record's size becomes
    /// the folder total: the allocated sizes of every regular file below it, or the folder's own
    /// size when that total is 0. Returns null when stopped.
    ItemRef buildTopLevelItem(const FileDirectory& record);

    qint64 nextTag() const { return m_nextTag; }
    bool isStopped() const;

private:
    /// A folder waiting to be listed: `listed` is the same folder as url1 names it, `path` its
    /// lexically normal form.
    struct FolderJob
    {
        ItemDictionary* item;
        QString listed;
        QString path;
    };
    /// What listing one folder found, before tags and totals are given out.
    struct ListedFolder
    {
        /// Allocated bytes of the regular files directly inside.
        double filesTotal = 0;
        /// Rows of the subfolders that are listed in turn (not those on another mount).
        std::vector<qsizetype> subfolderRows;
    };
    class Walk;

    /// Adds the entries of `job`'s folder to its item and returns what it found; subfolders to
    /// list go to `subfolders`.
    ListedFolder listFolder(const FolderJob& job, StorageAssessment& assessment,
        std::vector<FolderJob>& subfolders) const;
    /// Tags `item`'s subtree in listing order, each folder's items right after it, and returns
    /// the allocated size of the regular files below.
    double finish(ItemDictionary& item, const QHash<const ItemDictionary*, ListedFolder>& listed);

    qint64 m_nextTag;
    const std::atomic<bool>* m_stop;
    /// What each listed file's storage makes of an overwrite; learnt afresh for every scan, one
    /// per thread listing folders.
    StorageAssessment m_assessment;
    std::vector<std::unique_ptr<StorageAssessment>> m_helperAssessments;
};
