// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>
#include <utility>

/// What the kernel tells about one file, file system or device, asked one question at a time;
/// StorageAssessment draws its verdicts from these answers.
class StorageProbe
{
public:
    struct ExtentFacts
    {
        bool shared = false; ///< an extent is shared with another file or a snapshot
        bool inlineData = false; ///< the data is kept in the inode
    };
    /// The extents of the file open at `fd`, read a bounded number at a time (FS_IOC_FIEMAP).
    static ExtentFacts scanExtents(int fd);
    /// Whether the ext2/3/4 file system open at `fd`, on `device` (kernel name `name`), has the
    /// inline_data feature: from the superblock on the device where it may be read, else through
    /// the kernel; false when neither tells.
    static bool ext4HasInlineData(int fd, const QString& name, dev_t device);
    /// Network, FUSE and overlay file systems, by statfs type.
    static bool isRemoteOrLayered(quint32 type);
    /// The first 4 KiB of a small file such as sysfs writes, trimmed; empty when unreadable.
    static QByteArray readSmallFile(const QString& path);
    /// One line of a mount table (/proc/self/mountinfo), the fields Corvane reads.
    struct MountEntry
    {
        QByteArray mountPoint; ///< with the table's octal escapes undone
        QByteArray options; ///< this mount's own options
        QByteArray type;
        QByteArray superOptions; ///< the file system's options, shared by all its mounts
    };
    /// The mount `mountId` in the table `mountInfo`, or without one the last (topmost) mount of
    /// `device`; nothing when the table does not list it.
    static std::optional<MountEntry> findMount(
        const QString& mountInfo, std::optional<quint64> mountId, dev_t device);
    /// The kernel's name ("sda1", "mapper/x") of block device MAJ:MIN, read under `sysfs`.
    static QString blockDeviceName(const QString& sysfs, unsigned major, unsigned minor);
    /// The first `length` bytes of the ext2/3/4 superblock of `device`, read through its node
    /// `node`; empty when the node is another device, may not be read, or holds no ext file system.
    static QByteArray readExtSuperblock(const QByteArray& node, dev_t device, int length);
    /// "MAJ:MIN" as sysfs writes it in a device's "dev" file.
    static std::optional<std::pair<unsigned, unsigned>> parseDeviceNumber(const QByteArray& text);
};
