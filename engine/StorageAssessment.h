// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StorageVerdict.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <sys/types.h>

/// Tells, file by file, whether overwriting in place reaches the old contents: from the file
/// system's type, the options and features the kernel applies to it, the file's own attributes
/// and extents, and the block devices below the file system (through partitions, loop devices and
/// device-mapper layers, in sysfs). A loop device's backing file is judged as a file in its own
/// right, on its own file system, and the strongest verdict wins. What is learnt about a file
/// system or a device is kept for later files. Use one instance from one thread at a time.
class StorageAssessment
{
public:
    StorageAssessment();

    /// The verdict for the regular file open at `fd` (any access mode).
    StorageVerdict assessDescriptor(int fd);
    /// The verdict for the entry `name` in the folder open at `dirFd`, opened without following a
    /// link and without blocking; a file that cannot be opened is judged by its file system alone.
    StorageVerdict assessAt(int dirFd, const QByteArray& name);
    /// assessAt() for a whole path.
    StorageVerdict assessPath(const QByteArray& nativePath);
    /// assessPath() for a regular file whose device and mount the caller has just read.
    StorageVerdict assessListedFile(
        const QByteArray& nativePath, dev_t device, std::optional<quint64> mountId);

    /// For building a list: on ext2/3/4, whose per-file flags (+j, inline data) are rare, a file
    /// is judged by its file system alone, without being opened. The check right before the
    /// first pass always looks at the file itself.
    void setQuickForListing(bool quick) { m_quick = quick; }

    /// Where sysfs, the mount table and procfs are read; "/sys", "/proc/self/mountinfo" and
    /// "/proc" unless a test says otherwise. Clears what was learnt.
    void setSystemRoots(const QString& sysfs, const QString& mountInfo,
        const QString& procfs = QStringLiteral("/proc"));

private:
    struct FileSystemFacts
    {
        enum class Kind : quint8
        {
            Other,
            Btrfs, ///< copy-on-write unless the file carries No_COW
            Ext, ///< ext2/3/4: the file's +j and inline-data flags count
        };
        StorageVerdict verdict; ///< what holds for every file on it
        Kind kind = Kind::Other;
        bool perFileAttributes = false; ///< the file's flags may change the verdict
        bool mayShareExtents = false; ///< the file's extents may be shared
    };

    static quint64 keyOf(dev_t device, std::optional<quint64> mountId);
    /// assessDescriptor() for a file `depth` layers below the one asked about.
    StorageVerdict verdictFor(int fd, int depth);
    const FileSystemFacts& factsFor(
        int fd, dev_t device, std::optional<quint64> mountId, int depth);
    FileSystemFacts learnFileSystem(
        int fd, dev_t device, std::optional<quint64> mountId, int depth);
    /// Whether the ext2/3/4 file system on `device` (kernel name `name`) journals file data, as
    /// the kernel applies its options.
    bool ext4JournalsData(const QString& name, dev_t device, std::optional<quint64> mountId) const;
    /// Whether the mount `mountId` (or, unknown, of `device`) was given data=journal.
    bool mountJournalsData(dev_t device, std::optional<quint64> mountId) const;
    /// Whether the ext2/3/4 file system open at `fd`, on `device` (kernel name `name`), has the
    /// inline_data feature; false when its superblock can be read neither from the device nor
    /// through the kernel.
    bool ext4KeepsInlineData(int fd, const QString& name, dev_t device) const;
    /// Notes for the block devices of the btrfs file system open at `fd`.
    void addBtrfsDeviceNotes(int fd, StorageVerdict* verdict, int depth);
    /// Notes for the block device `major:minor` and everything below it, and the warning of a
    /// loop device's backing file.
    void addDeviceNotes(unsigned major, unsigned minor, StorageVerdict* verdict, int depth);
    /// What the file at `path` that holds a loop device's data adds to the verdict.
    void addBackingFile(const QByteArray& path, StorageVerdict* verdict, int depth);
    /// Warnings that the regular file at `fd` adds to the facts of its file system.
    static void addFileWarnings(int fd, const FileSystemFacts& facts, StorageVerdict* verdict);

    QString m_sysfs;
    QString m_mountInfo;
    QString m_procfs;
    QHash<quint64, FileSystemFacts> m_fileSystems;
    bool m_quick = false;
};
