// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

struct statx;

/// What the engine needs to know about one directory entry, read without following it.
struct EntryStat
{
    mode_t mode = 0;
    dev_t device = 0;
    ino_t inode = 0;
    nlink_t links = 0;
    uid_t owner = 0;
    quint64 size = 0;
    quint64 allocated = 0; ///< st_blocks * 512
    quint64 mountId = 0;
    bool hasMountId = false;
    /// The entry is the root of a mount (a mount point, or a file or folder bind-mounted there).
    bool mountRoot = false;
    /// Immutable or append-only (chattr +i, +a): no one can overwrite it as it is.
    bool immutable = false;

    /// What statx read, without following a link.
    static EntryStat fromStatx(const struct statx& sx);

    bool sameFileAs(const EntryStat& other) const
    {
        return device == other.device && inode == other.inode;
    }
    /// On the mount `root` is on, and not itself the root of another mount.
    bool onSameMountAs(const EntryStat& root) const
    {
        if (mountRoot)
            return false;
        return hasMountId && root.hasMountId ? mountId == root.mountId : device == root.device;
    }
};

/// An open folder. Entries are reached relative to it and never through a symbolic link, so a
/// folder swapped for a link while a run lasts cannot send the run elsewhere.
class DirectoryHandle
{
public:
    DirectoryHandle() = default;
    ~DirectoryHandle();
    DirectoryHandle(DirectoryHandle&& other) noexcept;
    DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;

    /// Opens the folder at `path` (links in the path itself are followed: the user named it).
    static DirectoryHandle open(const QByteArray& path, int* error);
    /// Opens the folder `name` inside this one, refusing a symbolic link.
    DirectoryHandle openChild(const QByteArray& name, int* error) const;

    /// A second handle on the same open folder, which stays usable once this one is closed.
    DirectoryHandle duplicate(int* error) const;

    bool isValid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    /// Calls `visit` with each entry's name and d_type (DT_UNKNOWN where the file system does not
    /// say), "." and ".." left out, in the order the file system lists them. False and `error`
    /// set when the folder cannot be read; entries read before a read error were visited.
    bool forEachEntry(
        const std::function<void(const char* name, unsigned char type)>& visit, int* error) const;
    /// The names in the folder, "." and ".." left out; nothing and `error` set on failure.
    std::optional<std::vector<QByteArray>> names(int* error) const;
    /// The entry `name` itself (a link is described, not followed).
    std::optional<EntryStat> stat(const QByteArray& name, int* error) const;
    /// Gives the owner write permission on the regular file `name`, which must still be
    /// `expected`; never through a link swapped in meanwhile. False and `error` set otherwise.
    bool addOwnerWrite(const QByteArray& name, const EntryStat& expected, int* error) const;
    /// The folder itself.
    std::optional<EntryStat> statSelf(int* error) const;
    /// The file open at `fd`.
    static std::optional<EntryStat> statDescriptor(int fd, int* error);

private:
    explicit DirectoryHandle(int fd)
        : m_fd(fd)
    { }

    int m_fd = -1;
};
