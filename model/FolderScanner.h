// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileDirectory.h"
#include "ItemDictionary.h"
#include "StorageAssessment.h"

#include <QString>
#include <atomic>

/// Builds top-level items with their whole subtree, privately: the items it returns are not
/// shared with anyone yet, so it may run on any thread. Never follows symbolic links (a link to
/// a folder is a leaf), lists hidden entries, and keeps the order the file system lists.
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
    /// Adds the entries of the folder at `path` (lexically normal) to `item`, with `listedPath`
    /// the same folder as url1 names it. Returns the allocated size of the
    /// regular files below.
    double listFolder(ItemDictionary& item, const QString& listedPath, const QString& path);

    qint64 m_nextTag;
    const std::atomic<bool>* m_stop;
    /// What each listed file's storage makes of an overwrite; learnt afresh for every scan.
    StorageAssessment m_assessment;
};
