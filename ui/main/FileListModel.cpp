// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListModel.h"

#include "ErasureTexts.h"
#include "LanguageTable.h"
#include "PathText.h"
#include "SharedState.h"
#include "SizeText.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

// The sort key: the record's size truncated toward zero, so 100.7 and 100.2 bytes are equal.
qint64 sortKey(const ItemRef& item)
{
    if (!item || !item->data.file)
        return 0;
    const double size = item->data.file->size;
    // A size beyond qint64 cannot occur on disk; refuse it rather than convert out of range.
    if (!std::isfinite(size) || std::fabs(size) >= 9.2e18)
        return 0;
    return static_cast<qint64>(size);
}

} // namespace

FileListModel::FileListModel(QObject* parent)
    : QAbstractItemModel(parent)
{
    m_topLevel = SharedState::instance().arrFileList;
    rebuildAll();
}

const QList<ItemRef>& FileListModel::childrenOf(const ItemDictionary* parent) const
{
    return parent ? parent->arrpath : m_topLevel;
}

ItemDictionary* FileListModel::itemOf(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    const QList<ItemRef>& items
        = childrenOf(static_cast<const ItemDictionary*>(index.internalPointer()));
    return index.row() < items.size() ? items.at(index.row()).get() : nullptr;
}

bool FileListModel::isContainer(const ItemDictionary& item)
{
    // A record without attributes is walked like a folder: its (empty) children are looked at.
    return !item.data.file || item.data.file->isFolder;
}

bool FileListModel::isPending() const
{
    return SharedState::instance().isAddingFiles;
}

QModelIndex FileListModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column != 0)
        return {};
    ItemDictionary* parentItem = parent.isValid() ? itemOf(parent) : nullptr;
    if (parent.isValid() && !parentItem)
        return {};
    if (row >= childrenOf(parentItem).size())
        return {};
    return createIndex(row, column, parentItem);
}

QModelIndex FileListModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    const auto* parentItem = static_cast<const ItemDictionary*>(child.internalPointer());
    if (!parentItem)
        return {};
    const auto it = m_nodes.constFind(parentItem);
    if (it == m_nodes.cend())
        return {};
    return createIndex(it->row, 0, it->parent);
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(m_topLevel.size());
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
        if (isFolder)
            return sizeText(m_nodes.value(item).sizeBelow);
        return sizeText(record.file->size);
    case Qt::CheckStateRole: {
        if (isPending())
            return int(Qt::Unchecked);
        if (!isFolder)
            return int(item->state ? Qt::Checked : Qt::Unchecked);
        const Node node = m_nodes.value(item);
        if (node.entriesBelow == 0)
            return int(item->state ? Qt::Checked : Qt::Unchecked);
        if (node.checkedBelow == node.entriesBelow)
            return int(Qt::Checked);
        if (node.checkedBelow == 0)
            return int(Qt::Unchecked);
        return int(Qt::PartiallyChecked);
    }
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

void FileListModel::indexFolders(const QList<ItemRef>& items, ItemDictionary* parent)
{
    for (qsizetype row = 0; row < items.size(); ++row) {
        ItemDictionary* item = items.at(row).get();
        if (!item || item->arrpath.isEmpty())
            continue;
        m_nodes.insert(item, Node {parent, int(row)});
        indexFolders(item->arrpath, item);
    }
}

FileListModel::Location FileListModel::locateTag(qint64 tag) const
{
    // Depth first, parent before children, as a walk of the tree in list order finds them.
    struct Level
    {
        ItemDictionary* parent;
        qsizetype next;
    };
    std::vector<Level> stack {{nullptr, 0}};
    while (!stack.empty()) {
        Level& level = stack.back();
        const QList<ItemRef>& items = childrenOf(level.parent);
        if (level.next >= items.size()) {
            stack.pop_back();
            continue;
        }
        const qsizetype row = level.next++;
        ItemDictionary* item = items.at(row).get();
        if (!item)
            continue;
        if (item->tag == tag)
            return {level.parent, int(row)};
        if (!item->arrpath.isEmpty())
            stack.push_back({item, 0});
    }
    return {};
}

FileListModel::Totals FileListModel::recountBelow(const ItemDictionary& item)
{
    Totals totals;
    for (const ItemRef& child : item.arrpath) {
        if (!child)
            continue;
        if (isContainer(*child)) {
            if (child->data.isemptyFolder) {
                ++totals.entries;
                if (child->state)
                    ++totals.checked;
            }
            const Totals below = recountBelow(*child);
            totals.entries += below.entries;
            totals.checked += below.checked;
            totals.files += below.files;
            totals.checkedFiles += below.checkedFiles;
            totals.size += below.size;
        } else {
            ++totals.entries;
            ++totals.files;
            if (child->state) {
                ++totals.checked;
                ++totals.checkedFiles;
            }
            totals.size += child->data.file->size;
        }
    }
    const auto it = m_nodes.find(&item);
    if (it != m_nodes.end()) {
        it->entriesBelow = totals.entries;
        it->checkedBelow = totals.checked;
        it->sizeBelow = totals.size;
    }
    return totals;
}

void FileListModel::recountAll()
{
    Counts counts;
    for (const ItemRef& item : std::as_const(m_topLevel)) {
        if (!item)
            continue;
        if (isContainer(*item)) {
            const Totals below = recountBelow(*item);
            counts.filesCount += below.files;
            counts.selectedFiles += below.checkedFiles;
        } else {
            ++counts.filesCount;
            if (item->state)
                ++counts.selectedFiles;
        }
    }
    m_counts = counts;
}

void FileListModel::rebuildAll()
{
    const qsizetype previous = m_nodes.size();
    m_nodes.clear();
    m_nodes.reserve(previous);
    indexFolders(m_topLevel, nullptr);
    recountAll();
}

void FileListModel::publishCounts()
{
    SharedState::instance().totalSelectedFiles = m_counts.selectedFiles;
    emit countsChanged(m_counts);
}

void FileListModel::emitChangedBelow(const QList<ItemRef>& items, const QModelIndex& parent)
{
    if (items.isEmpty())
        return;
    emit dataChanged(index(0, 0, parent), index(int(items.size()) - 1, 0, parent));
    for (qsizetype row = 0; row < items.size(); ++row) {
        ItemDictionary* item = items.at(row).get();
        if (item && !item->arrpath.isEmpty())
            emitChangedBelow(item->arrpath, index(int(row), 0, parent));
    }
}

void FileListModel::emitChangedAncestors(const QModelIndex& changed)
{
    for (QModelIndex ancestor = changed.parent(); ancestor.isValid(); ancestor = ancestor.parent())
        emit dataChanged(ancestor, ancestor, {Qt::CheckStateRole});
}

void FileListModel::reload()
{
    const QList<ItemRef>& list = SharedState::instance().arrFileList;
    if (m_topLevel == list) {
        // Same rows (typically the end of a scan): only their look and figures may differ.
        m_topLevel = list;
        recountAll();
        emitChangedBelow(m_topLevel, {});
        publishCounts();
        return;
    }
    const qsizetype known = m_topLevel.size();
    if (list.size() > known && std::equal(m_topLevel.cbegin(), m_topLevel.cend(), list.cbegin())) {
        // The scan appends finished top-level items; inserting keeps expanded rows expanded and
        // costs only the new subtrees, not the whole tree again per hand-over.
        beginInsertRows({}, int(known), int(list.size()) - 1);
        m_topLevel = list;
        for (qsizetype row = known; row < m_topLevel.size(); ++row) {
            ItemDictionary* item = m_topLevel.at(row).get();
            if (!item)
                continue;
            if (!item->arrpath.isEmpty()) {
                m_nodes.insert(item, Node {nullptr, int(row)});
                indexFolders(item->arrpath, item);
            }
            if (isContainer(*item)) {
                const Totals below = recountBelow(*item);
                m_counts.filesCount += below.files;
                m_counts.selectedFiles += below.checkedFiles;
            } else {
                ++m_counts.filesCount;
                if (item->state)
                    ++m_counts.selectedFiles;
            }
        }
        endInsertRows();
        publishCounts();
        return;
    }
    beginResetModel();
    m_topLevel = list;
    rebuildAll();
    endResetModel();
    publishCounts();
}

Qt::CheckState FileListModel::stateAfterClick(const QModelIndex& index)
{
    const auto shown = static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt());
    return shown == Qt::Checked ? Qt::Unchecked : Qt::Checked;
}

void FileListModel::toggleByTag(qint64 tag, Qt::CheckState stateAfterClick)
{
    if (isPending())
        return;
    if (m_topLevel != SharedState::instance().arrFileList)
        reload();
    const Location location = locateTag(tag);
    if (location.row < 0) {
        // The labels are refreshed even for a tag that matches nothing.
        publishCounts();
        return;
    }
    ItemDictionary* item = childrenOf(location.parent).at(location.row).get();
    const bool isFolder = item->data.file && item->data.file->isFolder;
    const QModelIndex changed = createIndex(location.row, 0, location.parent);
    if (!isFolder || item->data.isemptyFolder) {
        item->state = !item->state;
        recountAll();
        emit dataChanged(changed, changed, {Qt::CheckStateRole});
    } else {
        const bool value = stateAfterClick == Qt::Checked;
        item->state = value;
        setStateRecursively(item->arrpath, value);
        recountAll();
        emit dataChanged(changed, changed, {Qt::CheckStateRole});
        emitChangedBelow(item->arrpath, changed);
    }
    emitChangedAncestors(changed);
    publishCounts();
}

void FileListModel::setStateRecursively(const QList<ItemRef>& items, bool value)
{
    for (const ItemRef& item : items) {
        if (!item)
            continue;
        item->state = value;
        if (item->data.file && item->data.file->isFolder)
            setStateRecursively(item->arrpath, value);
    }
}

namespace {

bool allChecked(const QList<ItemRef>& items, bool& any)
{
    for (const ItemRef& item : items) {
        if (!item)
            continue;
        const FileDirectory& record = item->data;
        const bool leaf = !record.file || !record.file->isFolder || record.isemptyFolder;
        if (!leaf) {
            if (!allChecked(item->arrpath, any))
                return false;
            continue;
        }
        any = true;
        if (!item->state)
            return false;
    }
    return true;
}

} // namespace

bool FileListModel::everyRowChecked() const
{
    bool any = false;
    return allChecked(SharedState::instance().arrFileList, any) && any;
}

void FileListModel::setAllStates(bool value)
{
    if (isPending())
        return;
    if (m_topLevel != SharedState::instance().arrFileList)
        reload();
    for (const ItemRef& item : std::as_const(m_topLevel)) {
        if (!item)
            continue;
        item->state = value;
        setStateRecursively(item->arrpath, value);
    }
    recountAll();
    emitChangedBelow(m_topLevel, {});
    publishCounts();
}

bool FileListModel::removeTopLevelByTag(qint64 tag)
{
    if (isPending())
        return false;
    QList<ItemRef>& list = SharedState::instance().arrFileList;
    if (m_topLevel != list)
        reload();
    const auto found = std::find_if(list.cbegin(), list.cend(),
        [tag](const ItemRef& item) { return item && item->tag == tag; });
    if (found != list.cend()) {
        const int row = int(found - list.cbegin());
        beginRemoveRows({}, row, row);
        list.removeAt(row);
        m_topLevel = list;
        rebuildAll();
        endRemoveRows();
    }
    publishCounts();
    return list.isEmpty();
}

void FileListModel::sortTopLevel(Qt::SortOrder order)
{
    QList<ItemRef>& list = SharedState::instance().arrFileList;
    if (m_topLevel != list)
        reload();

    std::vector<std::pair<qint64, ItemRef>> keyed;
    keyed.reserve(size_t(list.size()));
    for (const ItemRef& item : std::as_const(list))
        keyed.emplace_back(sortKey(item), item);
    if (order == Qt::AscendingOrder) {
        std::stable_sort(keyed.begin(), keyed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
    } else {
        std::stable_sort(keyed.begin(), keyed.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
    }
    QList<ItemRef> sorted;
    sorted.reserve(list.size());
    for (auto& entry : keyed)
        sorted.append(std::move(entry.second));
    if (sorted == list)
        return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Only top-level rows move; an index below names its parent item, which does not change.
    QHash<const ItemDictionary*, int> newRows;
    newRows.reserve(sorted.size());
    for (qsizetype row = 0; row < sorted.size(); ++row)
        newRows.insert(sorted.at(row).get(), int(row));
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from) {
        const auto moved
            = index.internalPointer() ? newRows.cend() : newRows.constFind(itemOf(index));
        to.append(moved != newRows.cend() ? createIndex(*moved, index.column(), nullptr) : index);
    }
    changePersistentIndexList(from, to);

    list = sorted;
    m_topLevel = list;
    for (qsizetype row = 0; row < m_topLevel.size(); ++row) {
        const auto it = m_nodes.find(m_topLevel.at(row).get());
        if (it != m_nodes.end())
            it->row = int(row);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

ItemRef FileListModel::itemForTag(qint64 tag) const
{
    const Location location = locateTag(tag);
    return location.row < 0 ? ItemRef() : childrenOf(location.parent).at(location.row);
}

QModelIndex FileListModel::indexForTag(qint64 tag) const
{
    const Location location = locateTag(tag);
    return location.row < 0 ? QModelIndex() : createIndex(location.row, 0, location.parent);
}

QString FileListModel::revealPathForTag(qint64 tag) const
{
    const ItemRef item = itemForTag(tag);
    if (!item || !item->data.url)
        return {};
    const QUrl& url = *item->data.url;
    return url.isLocalFile() ? PathText::pathOfUrl(url) : QString();
}
