// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ItemDictionary.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QList>

/// The list tree (SharedState::arrFileList) as a one-column item model for the files list view.
/// Each index's internal pointer is the ItemDictionary of its parent (null at the top level), so
/// only folders with children need a lookup entry: a scan's 100,000 rows are taken in without
/// indexing each one on the GUI thread. GUI thread only.
///
/// A folder row shows what lies below it: the total size of its files and a check state derived
/// from its files and empty folders. Those figures are cached per folder and recomputed in one
/// pass over the tree after every change, so data() never walks a subtree: with 100,000 rows a
/// per-row walk (and a whole-tree walk per click) would make painting and clicking visibly slow.
///
/// The model reads its own copy of the top-level list, taken by reload(), so an item it shows
/// stays alive even if arrFileList is emptied before the next reload(). Its own operations change
/// arrFileList and that copy together.
class FileListModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Role
    {
        /// QString: the path of "url1".
        PathRole = Qt::UserRole + 1,
        /// QString: sizeText of the file, of the files below a folder; empty without a file or
        /// while pending.
        SizeTextRole,
        /// qint64: the item's "tag".
        TagRole,
        /// bool: a top-level item (only those offer the remove button).
        IsMainParentRole,
        /// bool: a scan is running (isAddingFiles); rows then look busy and refuse clicks.
        IsPendingRole,
        /// QString: the MIME type name of the record, empty without a file.
        MimeTypeRole,
        /// bool: the record is a folder.
        IsFolderRole,
        /// QString: why overwriting this file may not reach its old contents; empty when it does.
        StorageWarningRole,
        /// QString: why this file will not be erased at all (more than one name, immutable), as
        /// seen when it was listed; empty when nothing stands in the way.
        CannotEraseRole,
    };

    struct Counts
    {
        /// Regular files in the whole tree; empty folders are not counted.
        qint64 filesCount = 0;
        /// Those of them that are checked.
        qint64 selectedFiles = 0;
    };

    explicit FileListModel(QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    /// CheckStateRole only: `value` is the box's state after the click (see toggleByTag()).
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QHash<int, QByteArray> roleNames() const override;

    /// Brings the model up to date with arrFileList and recounts. Items appended since the last
    /// call (the scan's hand-overs) are inserted without a reset, so expanded rows stay
    /// expanded; an unchanged list only refreshes every row (for example when a scan ends);
    /// anything else resets the model.
    void reload();

    /// The check box click: the file, record without file or empty folder with `tag` flips its
    /// own state; a folder and everything below it become checked when `stateAfterClick` is
    /// Qt::Checked and unchecked otherwise. Ancestors keep their stored state; their rows show
    /// the state derived from below. Refused while a scan runs.
    void toggleByTag(qint64 tag, Qt::CheckState stateAfterClick);
    /// What a click (or Space) on `index`'s box asks for: a checked box unchecks everything
    /// below it, an empty or mixed one checks everything. The one rule the cell and the screen
    /// both use.
    static Qt::CheckState stateAfterClick(const QModelIndex& index);
    /// Sets `value` on every item of `items` and, through folders, on everything below.
    static void setStateRecursively(const QList<ItemRef>& items, bool value);
    /// Select all / deselect all. Refused while a scan runs.
    void setAllStates(bool value);
    /// Every file, unreadable record and empty folder of the list is checked (false for an
    /// empty list): what Select All decides by.
    bool everyRowChecked() const;
    /// Takes the top-level item with `tag` out of the list (nothing on disk is touched). Returns
    /// true when the list is empty afterwards, the caller then returns to the home screen.
    /// Refused (false) while a scan runs.
    bool removeTopLevelByTag(qint64 tag);
    /// Stable sort of the top level by the records' sizes truncated to whole bytes; items
    /// without a file sort as 0. Children keep their order, and expanded rows stay expanded.
    void sortTopLevel(Qt::SortOrder order);

    ItemRef itemForTag(qint64 tag) const;
    QModelIndex indexForTag(qint64 tag) const;
    /// The path to reveal for the row with `tag`: its record's URL; empty when there is none.
    QString revealPathForTag(qint64 tag) const;
    Counts counts() const { return m_counts; }

signals:
    /// After every recount; totalSelectedFiles already holds `counts.selectedFiles`.
    void countsChanged(FileListModel::Counts counts);

private:
    /// Where a folder with children sits, and what lies below it.
    struct Node
    {
        ItemDictionary* parent = nullptr;
        int row = 0;
        /// Files and empty folders below, and how many of them are checked.
        qint64 entriesBelow = 0;
        qint64 checkedBelow = 0;
        /// Allocated bytes of the files below, each counted once.
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

    /// Where an item sits: its parent (null at the top level) and its row there.
    struct Location
    {
        ItemDictionary* parent = nullptr;
        int row = -1;
    };

    ItemDictionary* itemOf(const QModelIndex& index) const;
    const QList<ItemRef>& childrenOf(const ItemDictionary* parent) const;
    static bool isContainer(const ItemDictionary& item);
    bool isPending() const;

    /// Records every folder with children among `items` (children of `parent`) and below.
    void indexFolders(const QList<ItemRef>& items, ItemDictionary* parent);
    /// The first item with `tag` in list order (parent before children); row -1 when none.
    /// A walk, not a table: only clicks ask, and each click recounts the whole tree anyway.
    Location locateTag(qint64 tag) const;
    /// The totals below `item`, written into the caches of `item` and every folder below it.
    Totals recountBelow(const ItemDictionary& item);
    /// Recomputes every cache and the counts over the whole tree, then reports the counts.
    void recountAll();
    void rebuildAll();
    void publishCounts();
    /// Tells views that `items` (children of `parent`) and everything below them changed.
    void emitChangedBelow(const QList<ItemRef>& items, const QModelIndex& parent);
    void emitChangedAncestors(const QModelIndex& index);

    QList<ItemRef> m_topLevel;
    QHash<const ItemDictionary*, Node> m_nodes;
    Counts m_counts;
};
