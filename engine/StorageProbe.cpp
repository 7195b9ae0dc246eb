// SPDX-License-Identifier: GPL-3.0-or-later
#include "StorageProbe.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Magic numbers of file systems that Debian 12's kernel headers do not know.
constexpr quint32 kLustreMagic = 0x0bd00bd0;
constexpr quint32 kOrangeFsMagic = 0x20030528;

// Extents asked for per FIEMAP call: a fragmented file is walked in slices of bounded size.
constexpr quint32 kExtentsPerCall = 32;

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

// The mount table writes space, tab, newline and backslash as three octal digits.
QByteArray unescapeMountField(const QByteArray& field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int c = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(c));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return out;
}

} // namespace

QByteArray StorageProbe::readExtSuperblock(const QByteArray& node, dev_t device, int length)
{
    struct stat st;
    if (length < kExtMagicAt + 2 || ::stat(node.constData(), &st) != 0 || !S_ISBLK(st.st_mode)
        || st.st_rdev != device)
        return {};
    const int disk = ::open(node.constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (disk < 0)
        return {};
    QByteArray head(length, Qt::Uninitialized);
    const bool read = ::fstat(disk, &st) == 0 && st.st_rdev == device
        && ::pread(disk, head.data(), size_t(length), kExtSuperblockOffset) == qsizetype(length);
    ::close(disk);
    const auto* bytes = reinterpret_cast<const uchar*>(head.constData());
    if (!read || qFromLittleEndian<quint16>(bytes + kExtMagicAt) != EXT4_SUPER_MAGIC)
        return {};
    return head;
}

QString StorageProbe::blockDeviceName(const QString& sysfs, unsigned major, unsigned minor)
{
    if (major == 0)
        return {};
    const QString dir = sysfs + QStringLiteral("/dev/block/%1:%2").arg(major).arg(minor);
    const QByteArray uevent = readSmallFile(dir + QStringLiteral("/uevent"));
    for (const QByteArray& line : uevent.split('\n')) {
        if (line.startsWith("DEVNAME="))
            return QFile::decodeName(line.mid(8));
    }
    return QFileInfo(QFileInfo(dir).canonicalFilePath()).fileName();
}

std::optional<StorageProbe::MountEntry> StorageProbe::findMount(
    const QString& mountInfo, std::optional<quint64> mountId, dev_t device)
{
    QFile file(mountInfo);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray deviceText
        = QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    const QByteArray idText = mountId ? QByteArray::number(*mountId) : QByteArray();
    std::optional<MountEntry> found;
    // "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue"
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-", 6);
        if (fields.size() < 6 || separator < 0 || separator + 3 >= fields.size())
            continue;
        if (mountId ? fields[0] != idText : fields[2] != deviceText)
            continue;
        found = MountEntry {
            unescapeMountField(fields[4]), fields[5], fields[separator + 1], fields[separator + 3]};
        if (mountId)
            break;
    }
    return found;
}

QByteArray StorageProbe::readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096).trimmed();
}

// "MAJ:MIN" as sysfs writes it in a device's "dev" file.
std::optional<std::pair<unsigned, unsigned>> StorageProbe::parseDeviceNumber(const QByteArray& text)
{
    const qsizetype colon = text.indexOf(':');
    bool majorOk = false;
    bool minorOk = false;
    const unsigned maj = text.left(colon).toUInt(&majorOk);
    const unsigned min = text.mid(colon + 1).toUInt(&minorOk);
    if (colon < 0 || !majorOk || !minorOk)
        return std::nullopt;
    return std::pair {maj, min};
}

StorageProbe::ExtentFacts StorageProbe::scanExtents(int fd)
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

bool StorageProbe::isRemoteOrLayered(quint32 type)
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

bool StorageProbe::ext4HasInlineData(int fd, const QString& name, dev_t device)
{
    // Reading the superblock needs read access to the device (root, or the disk group); the
    // kernel's ioctl needs none but is new. Without either, only the file's own flag tells.
    std::optional<quint32> incompat;
    if (!name.isEmpty()) {
        const QByteArray head
            = readExtSuperblock(QFile::encodeName(u"/dev/" + name), device, kExtIncompatAt + 4);
        if (!head.isEmpty())
            incompat = qFromLittleEndian<quint32>(head.constData() + kExtIncompatAt);
    }
    Ext4SuperblockParams params;
    std::memset(&params, 0, sizeof params);
    if (!incompat && ::ioctl(fd, kExt4GetSuperblockParams, &params) == 0)
        incompat = params.featureIncompat;
    return incompat && (*incompat & kExtInlineDataFeature);
}
