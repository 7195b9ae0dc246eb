// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Header only: it needs the model library, which not every test links.

#include "ListBuilder.h"
#include "SharedState.h"
#include "TempTree.h"

#include <QDir>
#include <QHash>
#include <QTest>
#include <functional>

/// What one scan reported through its hooks.
struct ScanRun
{
    int reloads = 0;
    int completions = 0;
    qint64 nextTag = -1;
};

/// Scans arrPendingItems as the list screen does, with isAddingFiles set around it, and waits
/// for the completion and the worker; then a little longer, so a second completion or a late
/// reload would be seen.
inline bool scanAndWait(qint64 firstTag, ScanRun* run, const std::function<void()>& onReload = {})
{
    SharedState::instance().isAddingFiles = true;
    const auto handle = ListBuilder::startScan(
        firstTag,
        [run, onReload] {
            ++run->reloads;
            if (onReload)
                onReload();
        },
        [run](qint64 nextTag) {
            ++run->completions;
            run->nextTag = nextTag;
        });
    const bool done
        = QTest::qWaitFor([&] { return run->completions > 0 && handle->isFinished(); }, 30000);
    QTest::qWait(20);
    SharedState::instance().isAddingFiles = false;
    return done;
}

/// Makes `entries` in `tree` ("top/sub/" a folder, "top/a" a file of one byte) and scans their
/// top-level names into a fresh arrFileList.
inline bool populate(TempTree& tree, const QStringList& entries)
{
    QStringList tops;
    for (const QString& entry : entries) {
        if (entry.endsWith(u'/'))
            tree.makeDir(entry);
        else
            tree.writeFile(entry, "x");
        if (!tops.contains(entry.section(u'/', 0, 0)))
            tops.append(entry.section(u'/', 0, 0));
    }
    SharedState& state = SharedState::instance();
    state.resetLists();
    for (const QString& top : std::as_const(tops))
        state.arrPendingItems.append(FileDirectory::fromUrl(QUrl::fromLocalFile(tree.path(top))));
    ScanRun run;
    return scanAndWait(0, &run) && state.arrFileList.size() == tops.size();
}

inline void collectItems(
    const QString& root, const QList<ItemRef>& items, QHash<QString, ItemRef>& into)
{
    for (const ItemRef& item : items) {
        into.insert(QDir(root).relativeFilePath(QDir::cleanPath(item->url1.toLocalFile())), item);
        collectItems(root, item->arrpath, into);
    }
}

/// Every item of arrFileList by its path relative to `tree`.
inline QHash<QString, ItemRef> itemsByPath(const TempTree& tree)
{
    QHash<QString, ItemRef> items;
    collectItems(tree.path(), SharedState::instance().arrFileList, items);
    return items;
}

/// The checked items' paths relative to `tree`, sorted.
inline QStringList checkedPaths(const TempTree& tree)
{
    QStringList checked;
    const QHash<QString, ItemRef> items = itemsByPath(tree);
    for (auto it = items.cbegin(); it != items.cend(); ++it) {
        if (it.value()->state)
            checked.append(it.key());
    }
    checked.sort();
    return checked;
}
