// SPDX-License-Identifier: GPL-3.0-or-later
#include "StorageAssessment.h"

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
constexpr quint32 kLustreMagic = 0x0bd00bd0;
constexpr quint32 kOrangeFsMagic = 0x20030528;

// Partitions, device-mapper layers and loop devices rarely stack more than a few deep; the bound
// only keeps a loop device whose backing file lies on itself from walking for ever.
constexpr int kMaxDepth = 16;
// Extents asked for per FIEMAP call: a fragmented file is walked in slices of bounded size.
constexpr quint32 kExtentsPerCall = 32;

constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The ext2/3/4 superblock lies at byte 1024 of the device, little-endian, with its magic number
// at 0x38 and the incompatible features at 0x60.
constexpr off_t kExtSuperblockOffset = 1024;
constexpr int kExtMagicAt = 0x38;
constexpr int kExtIncompatAt = 0x60;
constexpr quint32 kExtInlineDataFeature = 0x8000;

// EXT4_IOC_GET_TUNE_SB_PARAM (Linux 6.18) gives the superblock's fields to anyone who can open a
// file on the file system; Debian 12's headers predate it. The layout is the kernel's.
struct Ext4SuperblockParams
{
    quint32 setFlags;
    quint32 checkInterval;
    quint16 errorsBehavior;
    quint16 mountCount;
    quint16 maxMountCount;
    quint16 raidStride;
    quint64 lastCheckTime;
    quint64 reservedBlocks;
    quint64 blocksCount;
    quint32 defaultMountOptions;
    quint32 reservedUid;
    quint32 reservedGid;
    quint32 raidStripeWidth;
    quint16 encoding;
    quint16 encodingFlags;
    quint8 defaultHashAlgorithm;
    quint8 pad1;
    quint16 pad2;
    quint32 featureCompat;
    quint32 featureIncompat;
    quint32 featureRoCompat;
    quint32 featureMasks[6];
    quint8 mountOptions[64];
    quint8 pad[68];
};
static_assert(sizeof(Ext4SuperblockParams) == 232);
constexpr unsigned long kExt4GetSuperblockParams = _IOR('f', 45, Ext4SuperblockParams);

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
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

QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096).trimmed();
}

// "MAJ:MIN" as sysfs writes it in a device's "dev" file.
std::optional<std::pair<unsigned, unsigned>> parseDeviceNumber(const QByteArray& text)
{
    const qsizetype colon = text.indexOf(':');
    bool majorOk = false;
    bool minorOk = false;
    const unsigned maj = text.left(colon).toUInt(&majorOk);
    const unsigned min = text.mid(colon + 1).toUInt(&minorOk);
    if (colon < 0 || !majorOk || !minorOk)
        return std::nullopt;
    return std::pair{maj, min};
}

// The incompatible features in the ext2/3/4 superblock of the block device `device`, read
// through its node `node`; nothing when the node is another device or may not be read.
std::optional<quint32> readExtIncompatFeatures(const QByteArray& node, dev_t device)
{
    struct stat st;
    if (::stat(node.constData(), &st) != 0 || !S_ISBLK(st.st_mode) || st.st_rdev != device)
        return std::nullopt;
    Descriptor disk(::open(node.constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
    if (disk.get() < 0 || ::fstat(disk.get(), &st) != 0 || st.st_rdev != device)
        return std::nullopt;
    uchar head[kExtIncompatAt + 4];
    if (::pread(disk.get(), head, sizeof head, kExtSuperblockOffset) != qsizetype(sizeof head)
        || qFromLittleEndian<quint16>(head + kExtMagicAt) != EXT4_SUPER_MAGIC)
        return std::nullopt;
    return qFromLittleEndian<quint32>(head + kExtIncompatAt);
}

struct ExtentFacts
{
    bool shared = false;
    bool inlineData = false;
};

ExtentFacts scanExtents(int fd)
{
    ExtentFacts facts;
    alignas(struct fiemap) unsigned char
        buffer[sizeof(struct fiemap) + kExtentsPerCall * sizeof(struct fiemap_extent)];
    auto* map = reinterpret_cast<struct fiemap*>(buffer);
    quint64 start = 0;
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        map->fm_start = start;
        map->fm_length = FIEMAP_MAX_OFFSET - start;
        map->fm_extent_count = kExtentsPerCall;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0)
            return facts;
        bool last = false;
        for (quint32 i = 0; i < map->fm_mapped_extents; ++i) {
            const struct fiemap_extent& extent = map->fm_extents[i];
            facts.shared = facts.shared || (extent.fe_flags & FIEMAP_EXTENT_SHARED);
            facts.inlineData = facts.inlineData || (extent.fe_flags & FIEMAP_EXTENT_DATA_INLINE);
            last = last || (extent.fe_flags & FIEMAP_EXTENT_LAST);
        }
        const struct fiemap_extent& lastSeen = map->fm_extents[map->fm_mapped_extents - 1];
        const quint64 next = lastSeen.fe_logical + lastSeen.fe_length;
        if (facts.shared || last || next <= start)
            return facts;
        start = next;
    }
}

bool isRemoteOrLayered(quint32 type)
{
    switch (type) {
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
    case FUSE_SUPER_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
    case V9FS_MAGIC:
    case CEPH_SUPER_MAGIC:
    case AFS_SUPER_MAGIC:
    case AFS_FS_MAGIC:
    case CODA_SUPER_MAGIC:
    case ECRYPTFS_SUPER_MAGIC:
    case kLustreMagic:
    case kOrangeFsMagic:
        return true;
    default:
        return false;
    }
}

} // namespace

StorageAssessment::StorageAssessment()
    : m_sysfs(QStringLiteral("/sys"))
    , m_mountInfo(QStringLiteral("/proc/self/mountinfo"))
    , m_procfs(QStringLiteral("/proc"))
{
}

void StorageAssessment::setSystemRoots(const QString& sysfs, const QString& mountInfo,
                                       const QString& procfs)
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

StorageVerdict StorageAssessment::assessListedFile(const QByteArray& nativePath, dev_t device,
                                                   std::optional<quint64> mountId)
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

const StorageAssessment::FileSystemFacts&
StorageAssessment::factsFor(int fd, dev_t device, std::optional<quint64> mountId, int depth)
{
    const quint64 key = keyOf(device, mountId);
    auto it = m_fileSystems.find(key);
    if (it == m_fileSystems.end())
        it = m_fileSystems.insert(key, learnFileSystem(fd, device, mountId, depth));
    return it.value();
}

StorageAssessment::FileSystemFacts
StorageAssessment::learnFileSystem(int fd, dev_t device, std::optional<quint64> mountId,
                                   int depth)
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
        const QString name = blockDeviceName(major(device), minor(device));
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
        if (isRemoteOrLayered(type))
            addReason(warnings, StorageReason::RemoteOrLayered);
        break;
    }
    // A file system without a block device has an anonymous major 0, absent from sysfs.
    addDeviceNotes(major(device), minor(device), &facts.verdict, depth);
    return facts;
}

void StorageAssessment::addFileWarnings(int fd, const FileSystemFacts& facts,
                                        StorageVerdict* verdict)
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
        const ExtentFacts extents = scanExtents(fd);
        if (extents.shared)
            addReason(verdict->warnings, StorageReason::SharedExtents);
        if (extents.inlineData)
            addReason(verdict->warnings, StorageReason::InlineData);
    }
}

bool StorageAssessment::ext4JournalsData(const QString& name, dev_t device,
                                         std::optional<quint64> mountId) const
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
    // Reading the superblock needs read access to the device (root, or the disk group); the
    // kernel's ioctl needs none but is new. Without either, only the file's own flag tells.
    std::optional<quint32> incompat;
    if (!name.isEmpty())
        incompat = readExtIncompatFeatures(QFile::encodeName(u"/dev/" + name), device);
    Ext4SuperblockParams params;
    std::memset(&params, 0, sizeof params);
    if (!incompat && ::ioctl(fd, kExt4GetSuperblockParams, &params) == 0)
        incompat = params.featureIncompat;
    return incompat && (*incompat & kExtInlineDataFeature);
}

QString StorageAssessment::blockDeviceName(unsigned major, unsigned minor) const
{
    if (major == 0)
        return {};
    const QString dir = m_sysfs + QStringLiteral("/dev/block/%1:%2").arg(major).arg(minor);
    for (const QByteArray& line : readSmallFile(dir + QStringLiteral("/uevent")).split('\n')) {
        if (line.startsWith("DEVNAME="))
            return QFile::decodeName(line.mid(8));
    }
    return QFileInfo(QFileInfo(dir).canonicalFilePath()).fileName();
}

bool StorageAssessment::mountJournalsData(dev_t device, std::optional<quint64> mountId) const
{
    const QByteArray deviceText
        = QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));

    QFile file(m_mountInfo);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue"
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-", 6);
        if (fields.size() < 6 || separator < 0 || separator + 3 >= fields.size())
            continue;
        if (mountId ? fields[0] != QByteArray::number(*mountId) : fields[2] != deviceText)
            continue;
        const QList<QByteArray> options = fields[5].split(',') + fields[separator + 3].split(',');
        return options.contains("data=journal");
    }
    return false;
}

void StorageAssessment::addBtrfsDeviceNotes(int fd, StorageVerdict* verdict, int depth)
{
    struct btrfs_ioctl_fs_info_args info;
    std::memset(&info, 0, sizeof info);
    if (::ioctl(fd, BTRFS_IOC_FS_INFO, &info) != 0)
        return;
    const QByteArray hex
        = QByteArray(reinterpret_cast<const char*>(info.fsid), BTRFS_FSID_SIZE).toHex();
    const QString fsid
        = QString::fromLatin1(hex.left(8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-'
                              + hex.mid(16, 4) + '-' + hex.mid(20));
    const QString devices
        = m_sysfs + QStringLiteral("/fs/btrfs/") + fsid + QStringLiteral("/devices");
    const QStringList names
        = QDir(devices).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (const auto number
            = parseDeviceNumber(readSmallFile(devices + u'/' + name + QStringLiteral("/dev"))))
            addDeviceNotes(number->first, number->second, verdict, depth + 1);
    }
}

void StorageAssessment::addDeviceNotes(unsigned major, unsigned minor, StorageVerdict* verdict,
                                       int depth)
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
        if (const auto number
            = parseDeviceNumber(readSmallFile(QFileInfo(dir).path() + QStringLiteral("/dev"))))
            addDeviceNotes(number->first, number->second, verdict, depth + 1);
        return;
    }
    if (readSmallFile(dir + QStringLiteral("/queue/rotational")) == "0")
        addReason(verdict->notes, StorageReason::FlashStorage);
    if (readSmallFile(dir + QStringLiteral("/dm/uuid")).startsWith("CRYPT-"))
        addReason(verdict->notes, StorageReason::EncryptedDevice);

    const QString slaves = dir + QStringLiteral("/slaves");
    const QStringList names
        = QDir(slaves).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (const auto number
            = parseDeviceNumber(readSmallFile(slaves + u'/' + name + QStringLiteral("/dev"))))
            addDeviceNotes(number->first, number->second, verdict, depth + 1);
    }
    const QByteArray backing = readSmallFile(dir + QStringLiteral("/loop/backing_file"));
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
