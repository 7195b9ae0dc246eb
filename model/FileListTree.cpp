// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListTree.h"

#include "SharedState.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

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

bool allChecked(const QList<ItemRef>& items, bool& any)
{
    for (const ItemRef& item : items) {
        if (!item)
            continue;
        const FileDirectory& record = item->data;
        if (record.file && record.file->isFolder && !record.isemptyFolder) {
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

void walkSelection(const QList<ItemRef>& items, FileListTree::Selection& selection)
{
    for (const ItemRef& item : items) {
        if (!item)
            continue;
        const FileDirectory& record = item->data;
        if (record.file && !record.file->isFolder) {
            if (item->state) {
                selection = {true, true};
                return;
            }
        } else if (record.isemptyFolder) {
            selection.anyItem = selection.anyItem || item->state;
        } else {
            walkSelection(item->arrpath, selection);
        }
    }
}

} // namespace

FileListTree::FileListTree(QObject* parent)
    : QObject(parent)
    , m_topLevel(SharedState::instance().arrFileList)
{
    recountAll();
}

const QList<ItemRef>& FileListTree::children(const ItemDictionary* parent) const
{
    return parent ? parent->arrpath : m_topLevel;
}

FileListTree::Location FileListTree::locationOfFolder(const ItemDictionary* folder) const
{
    return m_locations.value(folder);
}

void FileListTree::noteFolder(const ItemDictionary* folder, const Location& location) const
{
    m_locations.insert(folder, location);
}

FileListTree::Location FileListTree::locate(qint64 tag) const
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
        const QList<ItemRef>& items = children(level.parent);
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
        if (!item->arrpath.isEmpty()) {
            noteFolder(item, {level.parent, int(row)});
            stack.push_back({item, 0});
        }
    }
    return {};
}

ItemRef FileListTree::itemForTag(qint64 tag) const
{
    const Location location = locate(tag);
    return location.row < 0 ? ItemRef() : children(location.parent).at(location.row);
}

bool FileListTree::isFolder(const ItemDictionary& item)
{
    return item.data.file && item.data.file->isFolder;
}

bool FileListTree::isPending()
{
    return SharedState::instance().isAddingFiles;
}

Qt::CheckState FileListTree::stateAfterClick(Qt::CheckState shown)
{
    return shown == Qt::Checked ? Qt::Unchecked : Qt::Checked;
}

FileListTree::Selection FileListTree::selectionOf(const QList<ItemRef>& items)
{
    Selection selection;
    walkSelection(items, selection);
    return selection;
}

void FileListTree::setStateRecursively(const QList<ItemRef>& items, bool value)
{
    for (const ItemRef& item : items) {
        if (!item)
            continue;
        item->state = value;
        if (isFolder(*item))
            setStateRecursively(item->arrpath, value);
    }
}

bool FileListTree::everyRowChecked() const
{
    bool any = false;
    return allChecked(SharedState::instance().arrFileList, any) && any;
}

void FileListTree::forgetFolders(const ItemDictionary& item)
{
    for (const ItemRef& child : item.arrpath) {
        if (child && !child->arrpath.isEmpty())
            forgetFolders(*child);
    }
    m_locations.remove(&item);
}

void FileListTree::publishCounts()
{
    SharedState::instance().totalSelectedFiles = counts().selectedFiles;
    emit countsChanged(counts());
}

void FileListTree::catchUp()
{
    if (m_topLevel != SharedState::instance().arrFileList)
        sync();
}

void FileListTree::sync()
{
    const QList<ItemRef>& list = SharedState::instance().arrFileList;
    if (m_topLevel == list) {
        // Same rows (typically the end of a scan): only their look and figures may differ.
        m_topLevel = list;
        recountAll();
        emit everyRowChanged();
        publishCounts();
        return;
    }
    const qsizetype known = m_topLevel.size();
    if (list.size() > known && std::equal(m_topLevel.cbegin(), m_topLevel.cend(), list.cbegin())) {
        // The scan appends finished top-level items; announcing only those keeps expanded rows
        // expanded. Their rows look pending, so they are counted once, when the scan ends.
        emit rowsAboutToBeAppended(int(known), int(list.size()) - 1);
        m_topLevel = list;
        emit rowsAppended();
        if (!isPending()) {
            recountAll();
            publishCounts();
        }
        return;
    }
    emit aboutToBeReset();
    m_topLevel = list;
    m_locations.clear();
    recountAll();
    emit wasReset();
    publishCounts();
}

void FileListTree::toggle(qint64 tag, Qt::CheckState stateAfterClick)
{
    if (isPending())
        return;
    catchUp();
    const Location location = locate(tag);
    if (location.row < 0) {
        publishCounts();
        return;
    }
    ItemDictionary* item = children(location.parent).at(location.row).get();
    const bool below = isFolder(*item) && !item->data.isemptyFolder;
    if (below) {
        item->state = stateAfterClick == Qt::Checked;
        setStateRecursively(item->arrpath, item->state);
    } else {
        item->state = !item->state;
    }
    recountAll();
    emit statesChanged(location, below);
    publishCounts();
}

void FileListTree::setAllStates(bool value)
{
    if (isPending())
        return;
    catchUp();
    setStateRecursively(m_topLevel, value);
    recountAll();
    emit everyRowChanged();
    publishCounts();
}

bool FileListTree::removeTopLevel(qint64 tag)
{
    if (isPending())
        return false;
    catchUp();
    QList<ItemRef>& list = SharedState::instance().arrFileList;
    const auto found = std::find_if(list.cbegin(), list.cend(),
        [tag](const ItemRef& item) { return item && item->tag == tag; });
    if (found != list.cend()) {
        const int row = int(found - list.cbegin());
        emit rowAboutToBeRemoved(row);
        if (const ItemRef& removed = list.at(row))
            forgetFolders(*removed);
        list.removeAt(row);
        m_topLevel = list;
        // The top-level folders after it move up a row.
        for (Location& location : m_locations) {
            if (!location.parent && location.row > row)
                --location.row;
        }
        recountAll();
        emit rowRemoved();
    }
    publishCounts();
    return list.isEmpty();
}

void FileListTree::sortTopLevel(Qt::SortOrder order)
{
    catchUp();
    QList<ItemRef>& list = SharedState::instance().arrFileList;
    std::vector<std::pair<qint64, ItemRef>> keyed;
    keyed.reserve(size_t(list.size()));
    for (const ItemRef& item : std::as_const(list))
        keyed.emplace_back(sortKey(item), item);
    std::stable_sort(keyed.begin(), keyed.end(), [order](const auto& a, const auto& b) {
        return order == Qt::AscendingOrder ? a.first < b.first : a.first > b.first;
    });
    QList<ItemRef> sorted;
    sorted.reserve(list.size());
    for (auto& entry : keyed)
        sorted.append(std::move(entry.second));
    if (sorted == list)
        return;

    emit aboutToBeReordered();
    list = sorted;
    m_topLevel = list;
    for (qsizetype row = 0; row < m_topLevel.size(); ++row) {
        const auto it = m_locations.find(m_topLevel.at(row).get());
        if (it != m_locations.end())
            it->row = int(row);
    }
    emit reordered();
}
