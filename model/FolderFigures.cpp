// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderFigures.h"

namespace {

bool isContainer(const ItemDictionary& item)
{
    // A record without attributes is walked like a folder: its (empty) children are looked at.
    return !item.data.file || item.data.file->isFolder;
}

bool isFolder(const ItemDictionary& item)
{
    return item.data.file && item.data.file->isFolder;
}

} // namespace

Qt::CheckState FolderFigures::checkState(const ItemDictionary& item) const
{
    const Figures below = isFolder(item) ? m_figures.value(&item) : Figures();
    if (below.entriesBelow == 0)
        return item.state ? Qt::Checked : Qt::Unchecked;
    if (below.checkedBelow == below.entriesBelow)
        return Qt::Checked;
    return below.checkedBelow == 0 ? Qt::Unchecked : Qt::PartiallyChecked;
}

double FolderFigures::shownSize(const ItemDictionary& item) const
{
    if (!item.data.file)
        return 0;
    return item.data.file->isFolder ? m_figures.value(&item).sizeBelow : item.data.file->size;
}

FolderFigures::Totals FolderFigures::recountBelow(const ItemDictionary& item)
{
    Totals totals;
    for (const ItemRef& child : item.arrpath) {
        if (!child)
            continue;
        if (isContainer(*child)) {
            if (child->data.isemptyFolder) {
                ++totals.entries;
                totals.checked += child->state;
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
            totals.checked += child->state;
            totals.checkedFiles += child->state;
            totals.size += child->data.file->size;
        }
    }
    if (!item.arrpath.isEmpty())
        m_figures.insert(&item, {totals.entries, totals.checked, totals.size});
    return totals;
}

void FolderFigures::recount(const QList<ItemRef>& topLevel)
{
    Counts counts;
    m_figures.clear();
    for (const ItemRef& item : topLevel) {
        if (!item)
            continue;
        if (isContainer(*item)) {
            const Totals below = recountBelow(*item);
            counts.filesCount += below.files;
            counts.selectedFiles += below.checkedFiles;
        } else {
            ++counts.filesCount;
            counts.selectedFiles += item->state;
        }
    }
    m_counts = counts;
}
