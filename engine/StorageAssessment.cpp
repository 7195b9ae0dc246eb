// SPDX-License-Identifier: GPL-3.0-or-later
#include "StorageAssessment.h"

#include "StorageProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/btrfs.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Magic numbers of file systems that Debian 12's kernel headers do not know.
constexpr quint32 kBcachefsMagic = 0xca451a4e;
constexpr quint32 kZfsMagic = 0x2fc12fc1;

// Partitions, device-mapper layers and loop devices rarely stack more than a few deep; the bound
// only keeps a loop device whose backing file lies on itself from walking for ever.
constexpr int kMaxDepth = 16;

constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    { }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Keeps `reasons` in StorageReason order, which is also the order of importance.
void addReason(QList<StorageReason>& reasons, StorageReason reason)
{
    auto it = std::lower_bound(reasons.begin(), reasons.end(), reason);
    if (it == reasons.end() || *it != reason)
        reasons.insert(it, reason);
}

} // namespace

StorageAssessment::StorageAssessment()
    : m_sysfs(QStringLiteral("/sys"))
    , m_mountInfo(QStringLiteral("/proc/self/mountinfo"))
    , m_procfs(QStringLiteral("/proc"))
{ }

void StorageAssessment::setSystemRoots(
    const QString& sysfs, const QString& mountInfo, const QString& procfs)
{
    m_sysfs = sysfs;
    m_mountInfo = mountInfo;
    m_procfs = procfs;
    m_fileSystems.clear();
}

StorageVerdict StorageAssessment::assessDescriptor(int fd)
{
    return verdictFor(fd, 0);
}

StorageVerdict StorageAssessment::verdictFor(int fd, int depth)
{
    // One statx gives type, device and mount: as cheap as fstat, and the mount id tells apart
    // file systems that report another's device number (overlayfs does for files).
    mode_t mode = 0;
    dev_t device = 0;
    std::optional<quint64> mountId;
    struct statx sx;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_MNT_ID, &sx) == 0) {
        mode = sx.stx_mode;
        device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        if (sx.stx_mask & STATX_MNT_ID)
            mountId = sx.stx_mnt_id;
    } else {
        struct stat st;
        if (::fstat(fd, &st) != 0)
            return {};
        mode = st.st_mode;
        device = st.st_dev;
    }
    const FileSystemFacts& facts = factsFor(fd, device, mountId, depth);
    StorageVerdict verdict = facts.verdict;
    if (S_ISREG(mode))
        addFileWarnings(fd, facts, &verdict);
    else if (facts.kind == FileSystemFacts::Kind::Btrfs)
        addReason(verdict.warnings, StorageReason::CopyOnWrite); // as nearly every file there is
    return verdict;
}

StorageVerdict StorageAssessment::assessAt(int dirFd, const QByteArray& name)
{
    // Opening for reading with O_NONBLOCK cannot hang on a FIFO; assessDescriptor() checks the
    // type through the descriptor, which a rename cannot change under it.
    Descriptor file(::openat(dirFd, name.constData(), O_RDONLY | kOpenFlags));
    if (file.get() >= 0)
        return assessDescriptor(file.get());
    if (errno == EACCES) {
        // Reopen the very inode found to be a regular file, so that nothing else swapped in
        // meanwhile (a device, a FIFO) is ever opened for writing.
        Descriptor path(::openat(dirFd, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st;
        if (path.get() >= 0 && ::fstat(path.get(), &st) == 0 && S_ISREG(st.st_mode)) {
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(path.get());
            Descriptor writable(
                ::open(self.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
            if (writable.get() >= 0)
                return assessDescriptor(writable.get());
        }
    }
    // Not a regular file, or out of reach: what the folder's file system says holds for it too.
    if (dirFd != AT_FDCWD)
        return assessDescriptor(dirFd);
    Descriptor here(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return here.get() >= 0 ? assessDescriptor(here.get()) : StorageVerdict();
}

StorageVerdict StorageAssessment::assessListedFile(
    const QByteArray& nativePath, dev_t device, std::optional<quint64> mountId)
{
    // No open at all once the file system is known and nothing about the file itself could
    // change its verdict (on ext2/3/4 a listing leaves the rare per-file flags to the run).
    const auto it = m_fileSystems.constFind(keyOf(device, mountId));
    if (it != m_fileSystems.cend()
        && ((m_quick && it->kind == FileSystemFacts::Kind::Ext)
            || (!it->perFileAttributes && !it->mayShareExtents)))
        return it->verdict;
    return assessPath(nativePath);
}

StorageVerdict StorageAssessment::assessPath(const QByteArray& nativePath)
{
    const qsizetype slash = nativePath.lastIndexOf('/');
    const QByteArray name = nativePath.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == "..") {
        Descriptor folder(::open(nativePath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return folder.get() >= 0 ? assessDescriptor(folder.get()) : StorageVerdict();
    }
    if (slash < 0)
        return assessAt(AT_FDCWD, name);
    const QByteArray parent = slash == 0 ? QByteArray("/") : nativePath.left(slash);
    Descriptor folder(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.get() >= 0 ? assessAt(folder.get(), name) : StorageVerdict();
}

quint64 StorageAssessment::keyOf(dev_t device, std::optional<quint64> mountId)
{
    // The top bit keeps mount ids and device numbers apart.
    return mountId ? *mountId | (quint64(1) << 63) : quint64(device);
}

const StorageAssessment::FileSystemFacts& StorageAssessment::factsFor(
    int fd, dev_t device, std::optional<quint64> mountId, int depth)
{
    const quint64 key = keyOf(device, mountId);
    auto it = m_fileSystems.find(key);
    if (it == m_fileSystems.end())
        it = m_fileSystems.insert(key, learnFileSystem(fd, device, mountId, depth));
    return it.value();
}

StorageAssessment::FileSystemFacts StorageAssessment::learnFileSystem(
    int fd, dev_t device, std::optional<quint64> mountId, int depth)
{
    FileSystemFacts facts;
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return facts;
    QList<StorageReason>& warnings = facts.verdict.warnings;
    const auto type = quint32(fs.f_type);
    switch (type) {
    case BTRFS_SUPER_MAGIC:
        facts.kind = FileSystemFacts::Kind::Btrfs;
        facts.perFileAttributes = true;
        facts.mayShareExtents = true;
        // Its st_dev is an anonymous number: the devices are listed under its fsid instead.
        addBtrfsDeviceNotes(fd, &facts.verdict, depth);
        return facts;
    case kBcachefsMagic:
        facts.mayShareExtents = true;
        [[fallthrough]];
    case kZfsMagic:
        addReason(warnings, StorageReason::CopyOnWrite);
        break;
    case EXT4_SUPER_MAGIC: {
        facts.kind = FileSystemFacts::Kind::Ext;
        facts.perFileAttributes = true;
        const QString name = StorageProbe::blockDeviceName(m_sysfs, major(device), minor(device));
        if (ext4JournalsData(name, device, mountId))
            addReason(warnings, StorageReason::DataJournal);
        // A file kept in its inode once and grown since has left its first contents in the
        // journal, and nothing tells which files did: with the feature on, every file may have.
        if (ext4KeepsInlineData(fd, name, device))
            addReason(warnings, StorageReason::InlineData);
        break;
    }
    case XFS_SUPER_MAGIC:
    case OCFS2_SUPER_MAGIC:
        facts.mayShareExtents = true;
        break;
    case F2FS_SUPER_MAGIC:
    case NILFS_SUPER_MAGIC:
        addReason(warnings, StorageReason::LogStructured);
        break;
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
        addReason(facts.verdict.notes, StorageReason::MemoryOnly);
        return facts;
    default:
        if (StorageProbe::isRemoteOrLayered(type))
            addReason(warnings, StorageReason::RemoteOrLayered);
        break;
    }
    // A file system without a block device has an anonymous major 0, absent from sysfs.
    addDeviceNotes(major(device), minor(device), &facts.verdict, depth);
    return facts;
}

void StorageAssessment::addFileWarnings(
    int fd, const FileSystemFacts& facts, StorageVerdict* verdict)
{
    if (facts.perFileAttributes) {
        int flags = 0;
        const bool known = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (facts.kind == FileSystemFacts::Kind::Btrfs && (!known || !(flags & FS_NOCOW_FL)))
            addReason(verdict->warnings, StorageReason::CopyOnWrite);
        if (facts.kind == FileSystemFacts::Kind::Ext && known) {
            if (flags & FS_JOURNAL_DATA_FL)
                addReason(verdict->warnings, StorageReason::DataJournal);
            if (flags & FS_INLINE_DATA_FL)
                addReason(verdict->warnings, StorageReason::InlineData);
        }
    }
    if (facts.mayShareExtents) {
        const StorageProbe::ExtentFacts extents = StorageProbe::scanExtents(fd);
        if (extents.shared)
            addReason(verdict->warnings, StorageReason::SharedExtents);
        if (extents.inlineData)
            addReason(verdict->warnings, StorageReason::InlineData);
    }
}

bool StorageAssessment::ext4JournalsData(
    const QString& name, dev_t device, std::optional<quint64> mountId) const
{
    // The mount table leaves out what the superblock makes the default (tune2fs -o journal_data);
    // the kernel's own list of the options it applies has them all.
    QFile applied(m_procfs + QStringLiteral("/fs/ext4/") + name + QStringLiteral("/options"));
    if (!name.isEmpty() && applied.open(QIODevice::ReadOnly))
        return applied.readAll().split('\n').contains("data=journal");
    return mountJournalsData(device, mountId);
}

bool StorageAssessment::ext4KeepsInlineData(int fd, const QString& name, dev_t device) const
{
    return StorageProbe::ext4HasInlineData(fd, name, device);
}

bool StorageAssessment::mountJournalsData(dev_t device, std::optional<quint64> mountId) const
{
    const std::optional<StorageProbe::MountEntry> mount
        = StorageProbe::findMount(m_mountInfo, mountId, device);
    return mount
        && (mount->options.split(',') + mount->superOptions.split(',')).contains("data=journal");
}

void StorageAssessment::addBtrfsDeviceNotes(int fd, StorageVerdict* verdict, int depth)
{
    struct btrfs_ioctl_fs_info_args info;
    std::memset(&info, 0, sizeof info);
    if (::ioctl(fd, BTRFS_IOC_FS_INFO, &info) != 0)
        return;
    const QByteArray hex
        = QByteArray(reinterpret_cast<const char*>(info.fsid), BTRFS_FSID_SIZE).toHex();
    const QString fsid = QString::fromLatin1(hex.left(8) + '-' + hex.mid(8, 4) + '-'
        + hex.mid(12, 4) + '-' + hex.mid(16, 4) + '-' + hex.mid(20));
    const QString devices
        = m_sysfs + QStringLiteral("/fs/btrfs/") + fsid + QStringLiteral("/devices");
    const QStringList names
        = QDir(devices).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (const auto number = StorageProbe::parseDeviceNumber(
                StorageProbe::readSmallFile(devices + u'/' + name + QStringLiteral("/dev"))))
            addDeviceNotes(number->first, number->second, verdict, depth + 1);
    }
}

void StorageAssessment::addDeviceNotes(
    unsigned major, unsigned minor, StorageVerdict* verdict, int depth)
{
    if (depth > kMaxDepth || major == 0)
        return;
    const QString dir
        = QFileInfo(m_sysfs + QStringLiteral("/dev/block/%1:%2").arg(major).arg(minor))
              .canonicalFilePath();
    if (dir.isEmpty())
        return;
    if (QFileInfo::exists(dir + QStringLiteral("/partition"))) {
        // Only the whole disk has a queue, and the layers below it.
        if (const auto number = StorageProbe::parseDeviceNumber(
                StorageProbe::readSmallFile(QFileInfo(dir).path() + QStringLiteral("/dev"))))
            addDeviceNotes(number->first, number->second, verdict, depth + 1);
        return;
    }
    if (StorageProbe::readSmallFile(dir + QStringLiteral("/queue/rotational")) == "0")
        addReason(verdict->notes, StorageReason::FlashStorage);
    if (StorageProbe::readSmallFile(dir + QStringLiteral("/dm/uuid")).startsWith("CRYPT-"))
        addReason(verdict->notes, StorageReason::EncryptedDevice);

    const QString slaves = dir + QStringLiteral("/slaves");
    const QStringList names
        = QDir(slaves).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (const auto number = StorageProbe::parseDeviceNumber(
                StorageProbe::readSmallFile(slaves + u'/' + name + QStringLiteral("/dev"))))
            addDeviceNotes(number->first, number->second, verdict, depth + 1);
    }
    const QByteArray backing
        = StorageProbe::readSmallFile(dir + QStringLiteral("/loop/backing_file"));
    if (!backing.isEmpty())
        addBackingFile(backing, verdict, depth + 1);
}

void StorageAssessment::addBackingFile(const QByteArray& path, StorageVerdict* verdict, int depth)
{
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return; // deleted since, or out of this namespace's sight
    if (S_ISBLK(st.st_mode)) {
        addDeviceNotes(major(st.st_rdev), minor(st.st_rdev), verdict, depth);
        return;
    }
    if (!S_ISREG(st.st_mode) || depth > kMaxDepth)
        return;
    // A file that may not be read is still judged, by a path descriptor: its file system is
    // known, and flags that cannot be read count against it.
    int fd = ::open(path.constData(), O_RDONLY | kOpenFlags);
    if (fd < 0)
        fd = ::open(path.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    Descriptor file(fd);
    struct stat opened;
    if (file.get() < 0 || ::fstat(file.get(), &opened) != 0 || opened.st_dev != st.st_dev
        || opened.st_ino != st.st_ino)
        return;
    // Whatever keeps old copies of the file keeps old copies of every file system block in it.
    const StorageVerdict below = verdictFor(file.get(), depth);
    if (below.hasWarning())
        addReason(verdict->warnings, StorageReason::BackingFile);
    // The memory note's words are about tmpfs's own files, not about a file system kept there.
    for (StorageReason note : below.notes) {
        if (note != StorageReason::MemoryOnly)
            addReason(verdict->notes, note);
    }
}
