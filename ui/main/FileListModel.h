// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileListTree.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QList>

/// The list tree (FileListTree over SharedState::arrFileList) as a one-column item model for the
/// files list view. The tree makes every change and announces it; this model turns those
/// announcements into the item model's signals and reads rows through the tree. Each index's
/// internal pointer is the ItemDictionary of its parent (null at the top level), so only folders
/// with children need a lookup entry. GUI thread only.
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

    using Counts = FileListTree::Counts;

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

    /// Brings the model up to date with arrFileList and recounts (FileListTree::sync()).
    void reload() { m_tree->sync(); }
    /// The check box click (FileListTree::toggle()).
    void toggleByTag(qint64 tag, Qt::CheckState stateAfterClick)
    {
        m_tree->toggle(tag, stateAfterClick);
    }
    /// What a click (or Space) on `index`'s box asks for (FileListTree::stateAfterClick()).
    static Qt::CheckState stateAfterClick(const QModelIndex& index);
    void setAllStates(bool value) { m_tree->setAllStates(value); }
    bool everyRowChecked() const { return m_tree->everyRowChecked(); }
    /// Returns true when the list is empty afterwards (FileListTree::removeTopLevel()).
    bool removeTopLevelByTag(qint64 tag) { return m_tree->removeTopLevel(tag); }
    /// Expanded rows stay expanded (FileListTree::sortTopLevel()).
    void sortTopLevel(Qt::SortOrder order) { m_tree->sortTopLevel(order); }

    ItemRef itemForTag(qint64 tag) const { return m_tree->itemForTag(tag); }
    QModelIndex indexForTag(qint64 tag) const;
    /// The path to reveal for the row with `tag`: its record's URL; empty when there is none.
    QString revealPathForTag(qint64 tag) const;
    Counts counts() const { return m_tree->counts(); }
    const FileListTree& tree() const { return *m_tree; }

signals:
    /// After every recount; totalSelectedFiles already holds `counts.selectedFiles`.
    void countsChanged(FileListModel::Counts counts);

private:
    ItemDictionary* itemOf(const QModelIndex& index) const;
    QModelIndex indexAt(const FileListTree::Location& location) const;
    /// Tells views that `items` (children of `parent`) and everything below them changed.
    void emitChangedBelow(const QList<ItemRef>& items, const QModelIndex& parent);
    void everyRowChanged();
    void statesChanged(const FileListTree::Location& location, bool below);
    void aboutToBeReordered();
    void reordered();

    FileListTree* m_tree;
    /// Top-level rows' items as they were before a reorder, for the persistent indexes.
    QModelIndexList m_movingFrom;
    QList<const ItemDictionary*> m_movingItems;
};
