#pragma once

#include "StorageVerdict.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <sys/types.h>

/// Tells, file by file, whether overwriting in place reaches the old contents: from the file
/// system's type and mount options, the file's own attributes and extents, and the block devices
/// below the file system (through partitions, loop devices and device-mapper layers, in sysfs).
/// What is learnt about a file system or a device is kept for later files. Use one instance
/// from one thread at a time.
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

    /// Where sysfs and the mount table are read; "/sys" and "/proc/self/mountinfo" unless a test
    /// says otherwise. Clears what was learnt.
    void setSystemRoots(const QString& sysfs, const QString& mountInfo);

private:
    struct FileSystemFacts
    {
        StorageVerdict verdict; ///< what holds for every file on it
        bool perFileAttributes = false; ///< the file's flags may change the verdict
        bool mayShareExtents = false; ///< the file's extents may be shared
    };

    const FileSystemFacts& factsFor(int fd, dev_t device);
    FileSystemFacts learnFileSystem(int fd, dev_t device);
    /// Notes for the block device `major:minor` and everything below it.
    void addDeviceNotes(unsigned major, unsigned minor, StorageVerdict* verdict, int depth);

    QString m_sysfs;
    QString m_mountInfo;
    QHash<quint64, FileSystemFacts> m_fileSystems;
};
