// SPDX-License-Identifier: GPL-3.0-or-later
#include "TreeWalk.h"

#include "PathText.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

// The folder above `child` again, if it is still `expected`.
DirectoryHandle reopenParent(const DirectoryHandle& child, const EntryStat& expected, int* err)
{
    DirectoryHandle parent = child.openChild("..", err);
    const std::optional<EntryStat> st = parent.isValid() ? parent.statSelf(err) : std::nullopt;
    if (!st || !st->sameFileAs(expected)) {
        if (st)
            *err = ESTALE; // moved while the walk was below it
        return {};
    }
    return parent;
}

} // namespace

bool TreeWalk::go(const EntryCallback& callback, const Entry& entry)
{
    return !callback || callback(entry) == Step::Continue;
}

bool TreeWalk::go(const ErrorCallback& callback, const QByteArray& path, int error)
{
    return !callback || callback(path, error) == Step::Continue;
}

DirectoryHandle TreeWalk::openParentOf(const QByteArray& path, QByteArray* name, int* error)
{
    const QByteArray native = PathText::withoutTrailingSlashes(path);
    *name = native.mid(native.lastIndexOf('/') + 1);
    return DirectoryHandle::open(PathText::parentOf(native), error);
}

bool TreeWalk::list(const DirectoryHandle& dir, const ListVisitor& visit, int* error)
{
    // Names packed into one buffer: a folder of 100,000 entries costs one allocation.
    std::string packed;
    std::vector<size_t> starts;
    const bool complete = dir.forEachEntry(
        [&](const char* name, unsigned char) {
            starts.push_back(packed.size());
            packed.append(name);
            packed.push_back('\0');
        },
        error);
    for (const size_t start : starts) {
        const char* raw = packed.data() + start;
        const QByteArray name = QByteArray::fromRawData(raw, qsizetype(std::strlen(raw)));
        int err = 0;
        const std::optional<EntryStat> st = dir.stat(name, &err);
        if (!visit(name, st ? &*st : nullptr, err))
            break;
    }
    return complete;
}

bool TreeWalk::walk(DirectoryHandle& parent, const QByteArray& name, const QByteArray& path)
{
    int err = 0;
    const std::optional<EntryStat> st = parent.stat(name, &err);
    if (!st)
        return go(onUnexamined, path, err);
    const Entry entry {parent, name, path, *st};
    if (!S_ISDIR(st->mode))
        return go(onEntry, entry);
    const std::optional<EntryStat> parentSelf = parent.statSelf(&err);
    if (!parentSelf)
        return go(onUnreadable, path, err);
    // The walk's mount is the folder's own, even where the folder is itself a mount point.
    EntryStat root = *st;
    root.mountRoot = false;
    return descend(parent, entry, *parentSelf, root);
}

bool TreeWalk::visitNames(DirectoryHandle& dir, const QByteArray& path, const EntryStat& self,
    const std::vector<QByteArray>& names, const EntryStat& root)
{
    int err = 0;
    for (const QByteArray& name : names) {
        const QByteArray childPath = PathText::join(path, name);
        const std::optional<EntryStat> st = dir.stat(name, &err);
        if (!st) {
            if (!go(onUnexamined, childPath, err))
                return false;
            continue;
        }
        const Entry entry {dir, name, childPath, *st};
        const bool going = !st->onSameMountAs(root) ? go(onOtherMount, entry)
            : !S_ISDIR(st->mode)                    ? go(onEntry, entry)
                                                    : descend(dir, entry, self, root);
        if (!going)
            return false;
    }
    return true;
}

bool TreeWalk::descend(
    DirectoryHandle& dir, const Entry& entry, const EntryStat& dirSelf, const EntryStat& root)
{
    int err = 0;
    DirectoryHandle sub = dir.openChild(entry.name, &err);
    const std::optional<EntryStat> opened = sub.isValid() ? sub.statSelf(&err) : std::nullopt;
    if (!opened || !opened->sameFileAs(entry.stat))
        return go(onUnreadable, entry.path, opened ? ESTALE : err);

    // Let go of the folder above before listing this one: two descriptors at most, at any depth.
    dir = DirectoryHandle();
    const std::optional<std::vector<QByteArray>> names = sub.names(&err);
    bool going = names ? go(onFolder, Entry {sub, entry.name, entry.path, entry.stat})
                       : go(onUnreadable, entry.path, err);
    if (going && names)
        going = visitNames(sub, entry.path, *opened, *names, root);
    if (!going)
        return false;

    dir = reopenParent(sub, dirSelf, &err);
    if (!dir.isValid()) {
        go(onUnreadable, PathText::parentOf(entry.path), err);
        return false;
    }
    return !names || go(onFolderDone, Entry {dir, entry.name, entry.path, entry.stat});
}
