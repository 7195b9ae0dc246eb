// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FolderFigures.h"
#include "ItemDictionary.h"

#include <QHash>
#include <QList>
#include <QObject>

/// The list tree (SharedState::arrFileList) as the files list shows and changes it: where each
/// row sits, what a folder row shows of the items below it, the check box rule, the counts, the
/// sort of the top level and removal. Every change the list screen makes to the tree goes
/// through here, and each is announced by a signal before and after, so an item model can
/// follow (FileListModel). GUI thread only; needs no display.
///
/// A folder's figures (FolderFigures) are recomputed in one pass after every change. While a
/// scan runs, rows show none of them: a hand-over of 100,000 rows then costs the GUI thread no
/// walk at all, and the one pass runs when the scan ends. Where a folder sits is noted when an
/// index below it is made (noteFolder()), not by walking every new subtree.
///
/// The tree reads its own copy of the top-level list, taken by sync(), so an item it shows stays
/// alive even if arrFileList is emptied before the next sync(). Its own operations change
/// arrFileList and that copy together. Checking, select all and removal are refused while a scan
/// runs (isAddingFiles).
class FileListTree : public QObject
{
    Q_OBJECT

public:
    using Counts = FolderFigures::Counts;
    /// Where an item sits: its parent (null at the top level) and its row there; row -1: nowhere.
    struct Location
    {
        ItemDictionary* parent = nullptr;
        int row = -1;
    };
    /// What the start of a shred finds checked.
    struct Selection
    {
        /// A file or an empty folder.
        bool anyItem = false;
        bool anyFile = false;
    };

    explicit FileListTree(QObject* parent = nullptr);

    const QList<ItemRef>& children(const ItemDictionary* parent) const;
    /// Where the folder `folder` sits, as noted; row -1 when it was not: then no index below it
    /// was made, and no view knows its rows.
    Location locationOfFolder(const ItemDictionary* folder) const;
    /// Notes where `folder` sits before anything below it is handed out by its location.
    void noteFolder(const ItemDictionary* folder, const Location& location) const;
    /// The first item with `tag` in list order (parent before children). Notes the folders on
    /// the way.
    Location locate(qint64 tag) const;
    ItemRef itemForTag(qint64 tag) const;

    /// A row with a folder record.
    static bool isFolder(const ItemDictionary& item);
    /// The box of `item`'s row: a folder with entries below shows how many of them are checked
    /// (all, none or some); any other row shows its own state.
    Qt::CheckState checkState(const ItemDictionary& item) const
    {
        return m_figures.checkState(item);
    }
    /// The size a row shows: a file's own, or the sum of the files below a folder, each once.
    double shownSize(const ItemDictionary& item) const { return m_figures.shownSize(item); }
    Counts counts() const { return m_figures.counts(); }

    /// The one rule for a click (or Space) on a box showing `shown`: a checked box asks for
    /// everything below to be unchecked, an empty or mixed one for everything to be checked.
    static Qt::CheckState stateAfterClick(Qt::CheckState shown);
    /// The selection walk of a shred's start: a non-empty folder's own state is not consulted.
    static Selection selectionOf(const QList<ItemRef>& items);
    /// Sets `value` on every item of `items` and, through folders, on everything below.
    static void setStateRecursively(const QList<ItemRef>& items, bool value);
    /// Every file, unreadable record and empty folder of the list is checked (false for an
    /// empty list): what Select All decides by.
    bool everyRowChecked() const;

    /// Brings the tree up to date with arrFileList and recounts. Items appended since the last
    /// call (the scan's hand-overs) are announced as appended rows; an unchanged list announces
    /// that every row may look different; anything else is a reset.
    void sync();
    /// The check box click on the item with `tag`: a file, record without file or empty folder
    /// flips its own state; a folder and everything below it become checked when
    /// `stateAfterClick` is Qt::Checked and unchecked otherwise. Ancestors keep their stored
    /// state. The counts are announced even when no item has the tag.
    void toggle(qint64 tag, Qt::CheckState stateAfterClick);
    /// Select all / deselect all.
    void setAllStates(bool value);
    /// Takes the top-level item with `tag` out of the list (nothing on disk is touched). Returns
    /// true when the list is empty afterwards; false when refused.
    bool removeTopLevel(qint64 tag);
    /// Stable sort of the top level by the records' sizes truncated to whole bytes; items
    /// without a file sort as 0. Children keep their order.
    void sortTopLevel(Qt::SortOrder order);

signals:
    void rowsAboutToBeAppended(int first, int last);
    void rowsAppended();
    void rowAboutToBeRemoved(int row);
    void rowRemoved();
    void aboutToBeReset();
    void wasReset();
    /// Top-level rows are about to move; children stay under their parents.
    void aboutToBeReordered();
    void reordered();
    /// The box of the item at `location` changed, and with `below` everything under it; the
    /// boxes of its ancestors may show another state now.
    void statesChanged(FileListTree::Location location, bool below);
    /// Every row may look different (a scan ended, select all).
    void everyRowChanged();
    /// After every recount; totalSelectedFiles already holds `counts.selectedFiles`.
    void countsChanged(FileListTree::Counts counts);

private:
    static bool isPending();
    /// Folds the list in first if it changed behind the tree's back.
    void catchUp();
    void forgetFolders(const ItemDictionary& item);
    void recountAll() { m_figures.recount(m_topLevel); }
    void publishCounts();

    QList<ItemRef> m_topLevel;
    mutable QHash<const ItemDictionary*, Location> m_locations;
    FolderFigures m_figures;
};
