// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredPlan.h"

#include "ErasureTexts.h"
#include "PathText.h"

#include <QFile>
#include <QSet>
#include <algorithm>

namespace {

QByteArray nativePath(const QUrl& url)
{
    return PathText::nativeOfUrl(url);
}

} // namespace

QList<ShredTarget> ShredPlan::fromItems(const QList<ItemRef>& items)
{
    QList<ShredTarget> targets;
    QSet<std::pair<quint64, quint64>> planned;
    for (const ItemRef& item : items) {
        if (item)
            append(*item, targets, planned);
    }
    return targets;
}

ShredPlan::Totals ShredPlan::totals(const QList<ShredTarget>& targets)
{
    Totals sum;
    for (const ShredTarget& target : targets) {
        if (target.kind == ShredTarget::Kind::ListedFile) {
            ++sum.files;
            sum.bytes += target.length;
        }
        const Totals below = totals(target.children);
        sum.files += below.files;
        sum.bytes += below.bytes;
    }
    return sum;
}

void ShredPlan::append(
    const ItemDictionary& item, QList<ShredTarget>& out, QSet<std::pair<quint64, quint64>>& planned)
{
    const FileDirectory& record = item.data;
    if (!record.file) {
        if (item.state && record.url)
            out.append(ShredTarget::make(ShredTarget::Kind::Unreadable, nativePath(*record.url)));
        return;
    }
    const Filedata& file = *record.file;
    const QByteArray path = nativePath(file.url);
    if (path.isEmpty())
        return;
    const FileIdentity identity {file.device, file.inode};
    // A file listed twice (alone and inside a listed folder) is erased with its first listing;
    // a second one would find it gone and report a file that was in fact erased.
    const bool known
        = (file.device != 0 || file.inode != 0) && planned.contains({file.device, file.inode});
    if (!file.isFolder) {
        if (item.state && !known) {
            planned.insert({file.device, file.inode});
            out.append(
                ShredTarget::make(ShredTarget::Kind::ListedFile, path, identity, file.length));
        }
        return;
    }
    if (record.isemptyFolder) {
        if (item.state)
            out.append(ShredTarget::make(ShredTarget::Kind::EmptyFolder, path, identity));
        return;
    }
    ShredTarget folder = ShredTarget::make(ShredTarget::Kind::ListedFolder, path, identity);
    for (const ItemRef& child : item.arrpath) {
        if (child)
            append(*child, folder.children, planned);
    }
    folder.fullyChecked = fullyChecked(item);
    out.append(std::move(folder));
}

bool ShredPlan::fullyChecked(const ItemDictionary& item)
{
    if (item.arrpath.isEmpty())
        return item.state;
    for (const ItemRef& child : item.arrpath) {
        if (child && !fullyChecked(*child))
            return false;
    }
    return true;
}

ShredPlan::StorageSummary ShredPlan::storageSummary(const QList<ItemRef>& items)
{
    StorageSummary summary;
    summarize(items, summary);
    std::sort(summary.warnings.begin(), summary.warnings.end());
    std::sort(summary.notes.begin(), summary.notes.end());
    return summary;
}

void ShredPlan::summarize(const QList<ItemRef>& items, StorageSummary& summary)
{
    for (const ItemRef& item : items) {
        if (!item || !item->data.file)
            continue;
        const Filedata& file = *item->data.file;
        if (file.isFolder) {
            summarize(item->arrpath, summary);
            continue;
        }
        if (!item->state)
            continue;
        if (file.verdict.hasWarning()) {
            const StorageReason reason = file.verdict.mainReason();
            summary.warned.append(
                {PathText::pathOfUrl(file.url), ErasureTexts::reasonText(reason)});
            if (!summary.warnings.contains(reason))
                summary.warnings.append(reason);
        }
        if (const QString refusal = ErasureTexts::listedRefusalText(file);
            !refusal.isEmpty() && !summary.refusedFiles.contains({file.device, file.inode})) {
            summary.refusedFiles.insert({file.device, file.inode});
            summary.refused.append({PathText::pathOfUrl(file.url), refusal});
        }
        for (const StorageReason note : file.verdict.notes) {
            if (!summary.notes.contains(note))
                summary.notes.append(note);
        }
    }
}
