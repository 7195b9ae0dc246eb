// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DirectoryHandle.h"

#include <QByteArray>
#include <functional>

/// A depth-first walk over a folder tree, the one every walk of the engine goes through.
/// Entries are reached relative to open folders and never through a symbolic link; nothing on
/// another mount is entered (bind mounts of the same file system included, told apart by mount
/// id). A folder is let go while the walk is below it and opened again through ".." after,
/// checked to be the same folder, so however deep the tree the walk holds at most two folder
/// descriptors. Entries come in the order the file system lists them, a subfolder's entries
/// right after the subfolder. Runs on the calling thread; set the callbacks before walking.
class TreeWalk
{
public:
    enum class Step
    {
        Continue,
        Stop
    };

    /// An entry met by the walk: the open folder holding it, its name there, its whole path
    /// (the starting path joined with the names below it) and what it is, read without
    /// following it.
    struct Entry
    {
        const DirectoryHandle& folder;
        const QByteArray& name;
        const QByteArray& path;
        const EntryStat& stat;
    };
    using EntryCallback = std::function<Step(const Entry&)>;
    using ErrorCallback = std::function<Step(const QByteArray& path, int error)>;

    /// Each entry on the walk's mount that is not a folder: files, links, FIFOs, devices.
    EntryCallback onEntry;
    /// A folder that was opened and listed, before its entries; here `folder` is the folder
    /// itself, open (the one holding it is let go by then).
    EntryCallback onFolder;
    /// The same folder after its entries, `folder` being the one holding it, open again.
    EntryCallback onFolderDone;
    /// An entry on another mount, or the root of one; never entered.
    EntryCallback onOtherMount;
    /// An entry that could not be examined.
    ErrorCallback onUnexamined;
    /// A folder that could not be opened or listed (no permission, no descriptor left, replaced
    /// meanwhile: ESTALE); its entries are not visited. Also the folder above a subfolder when it
    /// could not be opened again after it: the walk then ends.
    ErrorCallback onUnreadable;

    /// Walks the entry `name` of `parent`, whose path is `path`: a folder with everything below
    /// it on its own mount, anything else as one entry. `parent` is let go while the walk is
    /// below it and is the same folder, open again, once this returns true. False when a
    /// callback stopped the walk or a folder could not be opened again; `parent` may then be
    /// closed.
    bool walk(DirectoryHandle& parent, const QByteArray& name, const QByteArray& path);

    /// Lists the open folder `dir` in one go, then examines each entry relative to it without
    /// following it: `visit` gets the name (valid during the call only) and what the entry is,
    /// or null and the error; it returns false to end the listing. False and `error` set when
    /// the folder could not be read; the entries read before a read error are still visited.
    /// For walks that list folders in an order of their own (several at once, say).
    using ListVisitor
        = std::function<bool(const QByteArray& name, const EntryStat* stat, int error)>;
    static bool list(const DirectoryHandle& dir, const ListVisitor& visit, int* error);

    /// Opens the folder holding `path` (links in it followed: the caller named it) and gives
    /// the last component in `name`; an invalid handle when it cannot be opened.
    static DirectoryHandle openParentOf(const QByteArray& path, QByteArray* name, int* error);

private:
    /// Enters the subfolder `entry` of `dir`; false when the walk must end.
    bool descend(
        DirectoryHandle& dir, const Entry& entry, const EntryStat& dirSelf, const EntryStat& root);
    bool visitNames(DirectoryHandle& dir, const QByteArray& path, const EntryStat& self,
        const std::vector<QByteArray>& names, const EntryStat& root);
    static bool go(const EntryCallback& callback, const Entry& entry);
    static bool go(const ErrorCallback& callback, const QByteArray& path, int error);
};
