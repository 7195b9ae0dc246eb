// SPDX-License-Identifier: GPL-3.0-or-later
#include "DirectoryHandle.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

EntryStat EntryStat::fromStatx(const struct statx& sx)
{
    EntryStat st;
    st.mode = sx.stx_mode;
    st.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    st.inode = sx.stx_ino;
    st.links = sx.stx_nlink;
    st.owner = sx.stx_uid;
    st.size = sx.stx_size;
    st.allocated = quint64(sx.stx_blocks) * 512;
    st.hasMountId = (sx.stx_mask & STATX_MNT_ID) != 0;
    st.mountId = sx.stx_mnt_id;
    st.mountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    // Either flag makes every write fail, root's too.
    st.immutable
        = (sx.stx_attributes_mask & sx.stx_attributes & (STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND))
        != 0;
    return st;
}

namespace {

std::optional<EntryStat> statAt(int dirFd, const char* name, int flags, int* error)
{
    struct statx sx;
    if (::statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
            STATX_BASIC_STATS | STATX_MNT_ID, &sx)
        == 0)
        return EntryStat::fromStatx(sx);
    if (errno != ENOSYS) {
        *error = errno;
        return std::nullopt;
    }
    // A kernel without statx: no mount ids, so mounts are told apart by device only.
    struct stat plain;
    const int rc = (flags & AT_EMPTY_PATH) ? ::fstat(dirFd, &plain)
                                           : ::fstatat(dirFd, name, &plain, AT_SYMLINK_NOFOLLOW);
    if (rc != 0) {
        *error = errno;
        return std::nullopt;
    }
    EntryStat st;
    st.mode = plain.st_mode;
    st.device = plain.st_dev;
    st.inode = plain.st_ino;
    st.links = plain.st_nlink;
    st.owner = plain.st_uid;
    st.size = quint64(plain.st_size);
    st.allocated = quint64(plain.st_blocks) * 512;
    return st;
}

} // namespace

DirectoryHandle::~DirectoryHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

DirectoryHandle DirectoryHandle::duplicate(int* error) const
{
    const int fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        *error = errno;
    return DirectoryHandle(fd);
}

DirectoryHandle DirectoryHandle::open(const QByteArray& path, int* error)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        *error = errno;
    return DirectoryHandle(fd);
}

DirectoryHandle DirectoryHandle::openChild(const QByteArray& name, int* error) const
{
    const int fd
        = ::openat(m_fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        *error = errno;
    return DirectoryHandle(fd);
}

bool DirectoryHandle::forEachEntry(
    const std::function<void(const char*, unsigned char)>& visit, int* error) const
{
    // fdopendir takes the descriptor over; hand it a duplicate positioned at the start.
    const int dup = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dup < 0) {
        *error = errno;
        return false;
    }
    DIR* dir = ::fdopendir(dup);
    if (!dir) {
        *error = errno;
        ::close(dup);
        return false;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            visit(entry->d_name, entry->d_type);
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        *error = readError;
        return false;
    }
    return true;
}

std::optional<std::vector<QByteArray>> DirectoryHandle::names(int* error) const
{
    std::vector<QByteArray> result;
    if (!forEachEntry(
            [&result](const char* name, unsigned char) { result.emplace_back(name); }, error))
        return std::nullopt;
    return result;
}

std::optional<EntryStat> DirectoryHandle::stat(const QByteArray& name, int* error) const
{
    return statAt(m_fd, name.constData(), 0, error);
}

bool DirectoryHandle::addOwnerWrite(
    const QByteArray& name, const EntryStat& expected, int* error) const
{
    // O_PATH needs no permission on the file; the change goes through the descriptor's own
    // /proc link, so it reaches the file that was checked and nothing a link points to.
    const int fd = ::openat(m_fd, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    const std::optional<EntryStat> st = statDescriptor(fd, error);
    bool done = false;
    if (!st || !st->sameFileAs(expected) || !S_ISREG(st->mode)) {
        if (st)
            *error = ESTALE;
    } else {
        QByteArray link("/proc/self/fd/");
        link += QByteArray::number(fd);
        done = ::chmod(link.constData(), (st->mode & 07777) | S_IWUSR) == 0;
        if (!done)
            *error = errno;
    }
    ::close(fd);
    return done;
}

std::optional<EntryStat> DirectoryHandle::statSelf(int* error) const
{
    return statDescriptor(m_fd, error);
}

std::optional<EntryStat> DirectoryHandle::statDescriptor(int fd, int* error)
{
    return statAt(fd, "", AT_EMPTY_PATH, error);
}
