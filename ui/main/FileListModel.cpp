// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListModel.h"

#include "ErasureTexts.h"
#include "LanguageTable.h"
#include "PathText.h"
#include "SharedState.h"
#include "SizeText.h"

namespace {

// The URL's path as a path, without a trailing slash (a dropped folder may carry one), every
// byte kept: see PathText::fromNative().
QString pathOf(const QUrl& url)
{
    return PathText::withoutTrailingSlashes(
        url.isLocalFile() ? PathText::pathOfUrl(url) : url.path());
}

QString lastComponent(const QUrl& url)
{
    const QString path = pathOf(url);
    return path == u"/" ? path : PathText::lastComponent(path);
}

} // namespace

FileListModel::FileListModel(QObject* parent)
    : QAbstractItemModel(parent)
    , m_tree(new FileListTree(this))
{
    using Tree = FileListTree;
    connect(m_tree, &Tree::rowsAboutToBeAppended, this,
        [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(m_tree, &Tree::rowsAppended, this, &FileListModel::endInsertRows);
    connect(m_tree, &Tree::rowAboutToBeRemoved, this,
        [this](int row) { beginRemoveRows({}, row, row); });
    connect(m_tree, &Tree::rowRemoved, this, &FileListModel::endRemoveRows);
    connect(m_tree, &Tree::aboutToBeReset, this, &FileListModel::beginResetModel);
    connect(m_tree, &Tree::wasReset, this, &FileListModel::endResetModel);
    connect(m_tree, &Tree::aboutToBeReordered, this, &FileListModel::aboutToBeReordered);
    connect(m_tree, &Tree::reordered, this, &FileListModel::reordered);
    connect(m_tree, &Tree::statesChanged, this, &FileListModel::statesChanged);
    connect(m_tree, &Tree::everyRowChanged, this, &FileListModel::everyRowChanged);
    connect(m_tree, &Tree::countsChanged, this, &FileListModel::countsChanged);
}

ItemDictionary* FileListModel::itemOf(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    const QList<ItemRef>& items
        = m_tree->children(static_cast<const ItemDictionary*>(index.internalPointer()));
    return index.row() < items.size() ? items.at(index.row()).get() : nullptr;
}

namespace {

bool isPending()
{
    return SharedState::instance().isAddingFiles;
}

} // namespace

QModelIndex FileListModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column != 0)
        return {};
    ItemDictionary* parentItem = parent.isValid() ? itemOf(parent) : nullptr;
    if (parent.isValid() && !parentItem)
        return {};
    if (row >= m_tree->children(parentItem).size())
        return {};
    if (parentItem) {
        m_tree->noteFolder(
            parentItem, {static_cast<ItemDictionary*>(parent.internalPointer()), parent.row()});
    }
    return createIndex(row, column, parentItem);
}

QModelIndex FileListModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    const auto* parentItem = static_cast<const ItemDictionary*>(child.internalPointer());
    if (!parentItem)
        return {};
    const FileListTree::Location location = m_tree->locationOfFolder(parentItem);
    return location.row < 0 ? QModelIndex() : createIndex(location.row, 0, location.parent);
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(m_tree->children(nullptr).size());
    if (parent.column() != 0)
        return 0;
    const ItemDictionary* item = itemOf(parent);
    return item ? int(item->arrpath.size()) : 0;
}

int FileListModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool FileListModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    const ItemDictionary* item = itemOf(index);
    if (!index.isValid() || !item)
        return {};
    const FileDirectory& record = item->data;
    const bool isFolder = record.file && record.file->isFolder;

    switch (role) {
    case Qt::DisplayRole:
        return PathText::displayText(lastComponent(item->url1));
    case Qt::ToolTipRole: {
        QString shown = PathText::displayText(pathOf(item->url1));
        for (const int why : {CannotEraseRole, StorageWarningRole}) {
            if (const QString reason = data(index, why).toString(); !reason.isEmpty())
                shown += u'\n' + reason;
        }
        return shown;
    }
    case Qt::AccessibleDescriptionRole:
        // The remove button is painted, not a widget: a top-level row says what it does and
        // the key that does the same.
        if (item->isMainParent.value_or(false))
            return localizedText(QStringLiteral("IDS_KQ_535"));
        return {};
    case PathRole:
        return pathOf(item->url1);
    case StorageWarningRole:
        if (!record.file || isFolder || !record.file->verdict.hasWarning())
            return QString();
        return ErasureTexts::verdictText(record.file->verdict);
    case CannotEraseRole:
        return record.file ? ErasureTexts::listedRefusalText(*record.file) : QString();
    case SizeTextRole:
        if (isPending() || !record.file)
            return QString();
        return sizeText(m_tree->shownSize(*item));
    case Qt::CheckStateRole:
        return int(isPending() ? Qt::Unchecked : m_tree->checkState(*item));
    case TagRole:
        return item->tag;
    case IsMainParentRole:
        return item->isMainParent.value_or(false);
    case IsPendingRole:
        return isPending();
    case MimeTypeRole:
        return record.file ? record.file->typeName() : QString();
    case IsFolderRole:
        return isFolder;
    default:
        return {};
    }
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || !itemOf(index) || isPending())
        return false;
    toggleByTag(itemOf(index)->tag, static_cast<Qt::CheckState>(value.toInt()));
    return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    const ItemDictionary* item = itemOf(index);
    if (!index.isValid() || !item)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!isPending())
        flags |= Qt::ItemIsUserCheckable;
    // Lets the tree view skip asking leaves for children while it lays out many rows.
    if (item->arrpath.isEmpty())
        flags |= Qt::ItemNeverHasChildren;
    return flags;
}

QHash<int, QByteArray> FileListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractItemModel::roleNames();
    names.insert(PathRole, "path");
    names.insert(SizeTextRole, "sizeText");
    names.insert(TagRole, "tag");
    names.insert(IsMainParentRole, "isMainParent");
    names.insert(IsPendingRole, "isPending");
    names.insert(MimeTypeRole, "mimeType");
    names.insert(IsFolderRole, "isFolder");
    return names;
}

QModelIndex FileListModel::indexAt(const FileListTree::Location& location) const
{
    return location.row < 0 ? QModelIndex() : createIndex(location.row, 0, location.parent);
}

void FileListModel::emitChangedBelow(const QList<ItemRef>& items, const QModelIndex& parent)
{
    if (items.isEmpty())
        return;
    emit dataChanged(index(0, 0, parent), index(int(items.size()) - 1, 0, parent));
    // Views only know rows below folders an index was made for, which the tree noted: the end
    // of a scan then need not walk 100,000 rows. In tree order, which views look up fastest.
    for (qsizetype row = 0; row < items.size(); ++row) {
        ItemDictionary* item = items.at(row).get();
        if (item && !item->arrpath.isEmpty() && m_tree->locationOfFolder(item).row >= 0)
            emitChangedBelow(item->arrpath, index(int(row), 0, parent));
    }
}

void FileListModel::everyRowChanged()
{
    emitChangedBelow(m_tree->children(nullptr), {});
}

void FileListModel::statesChanged(const FileListTree::Location& location, bool below)
{
    const QModelIndex changed = indexAt(location);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
    if (below)
        emitChangedBelow(itemOf(changed)->arrpath, changed);
    // The folders above show a state derived from below.
    for (QModelIndex ancestor = changed.parent(); ancestor.isValid(); ancestor = ancestor.parent())
        emit dataChanged(ancestor, ancestor, {Qt::CheckStateRole});
}

void FileListModel::aboutToBeReordered()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Only top-level rows move; an index below names its parent item, which does not change.
    m_movingFrom = persistentIndexList();
    m_movingItems.clear();
    for (const QModelIndex& index : std::as_const(m_movingFrom))
        m_movingItems.append(index.internalPointer() ? nullptr : itemOf(index));
}

void FileListModel::reordered()
{
    QHash<const ItemDictionary*, int> newRows;
    const QList<ItemRef>& sorted = m_tree->children(nullptr);
    newRows.reserve(sorted.size());
    for (qsizetype row = 0; row < sorted.size(); ++row)
        newRows.insert(sorted.at(row).get(), int(row));
    QModelIndexList to;
    to.reserve(m_movingFrom.size());
    for (qsizetype i = 0; i < m_movingFrom.size(); ++i) {
        const QModelIndex& from = m_movingFrom.at(i);
        const auto moved
            = m_movingItems.at(i) ? newRows.constFind(m_movingItems.at(i)) : newRows.cend();
        to.append(moved != newRows.cend() ? createIndex(*moved, from.column(), nullptr) : from);
    }
    changePersistentIndexList(m_movingFrom, to);
    m_movingFrom.clear();
    m_movingItems.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

Qt::CheckState FileListModel::stateAfterClick(const QModelIndex& index)
{
    return FileListTree::stateAfterClick(
        static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt()));
}

QModelIndex FileListModel::indexForTag(qint64 tag) const
{
    return indexAt(m_tree->locate(tag));
}

QString FileListModel::revealPathForTag(qint64 tag) const
{
    const ItemRef item = m_tree->itemForTag(tag);
    if (!item || !item->data.url)
        return {};
    const QUrl& url = *item->data.url;
    return url.isLocalFile() ? PathText::pathOfUrl(url) : QString();
}
