// SPDX-License-Identifier: GPL-3.0-or-later
#include "FreeSpaceWipePlan.h"

#include "PathText.h"
#include "StorageAssessment.h"
#include "StorageProbe.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Where nothing tells the journal's size: the largest journal mke2fs makes by default.
constexpr quint64 kLargestDefaultJournal = 1024ull * 1024 * 1024;

// The ext2/3/4 superblock keeps a copy of the journal inode's block map and size.
constexpr int kExtJournalBackupTypeAt = 0xFD;
constexpr int kExtJournalBlocksAt = 0x10C;
constexpr quint8 kExtJournalBackupBlocks = 1;

// The size of the ext3/4 journal on `device`: from the superblock when the device may be read,
// else four times the longest transaction jbd2 allows (a quarter of the journal at most).
quint64 extJournalBytes(dev_t device, quint64 blockSize)
{
    const QString name
        = StorageProbe::blockDeviceName(QStringLiteral("/sys"), major(device), minor(device));
    if (name.isEmpty())
        return kLargestDefaultJournal;
    const QByteArray head = StorageProbe::readExtSuperblock(
        QFile::encodeName(u"/dev/" + name), device, kExtJournalBlocksAt + 17 * 4);
    const auto* sb = reinterpret_cast<const uchar*>(head.constData());
    if (!head.isEmpty() && sb[kExtJournalBackupTypeAt] == kExtJournalBackupBlocks) {
        const quint64 high = qFromLittleEndian<quint32>(sb + kExtJournalBlocksAt + 15 * 4);
        const quint64 low = qFromLittleEndian<quint32>(sb + kExtJournalBlocksAt + 16 * 4);
        if (const quint64 bytes = (high << 32) | low)
            return bytes;
    }
    // "0 transactions (0 requested), each up to 1365 blocks"
    QFile info(QStringLiteral("/proc/fs/jbd2/") + name + QStringLiteral("-8/info"));
    if (info.open(QIODevice::ReadOnly)) {
        const QByteArray first = info.readLine();
        const qsizetype at = first.indexOf("up to ");
        const quint64 blocks = at < 0 ? 0 : first.mid(at + 6).split(' ').first().toULongLong();
        if (blocks > 0)
            return blocks * 4 * blockSize;
    }
    return kLargestDefaultJournal;
}

} // namespace

std::optional<FreeSpaceWipePlan> FreeSpaceWipePlan::examine(
    int folderFd, const QList<StorageReason>& reasons, FreeSpaceWipeReport& report)
{
    using Refusal = FreeSpaceWipeReport::Refusal;
    struct statvfs vfs;
    struct statfs fs;
    struct statx sx;
    if (::fstatvfs(folderFd, &vfs) != 0 || ::fstatfs(folderFd, &fs) != 0
        || ::statx(folderFd, "", AT_EMPTY_PATH, STATX_MNT_ID, &sx) != 0) {
        report.refusal = Refusal::Unexamined;
        report.error = errno;
        return std::nullopt;
    }
    const dev_t device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    const std::optional<StorageProbe::MountEntry> mount = StorageProbe::findMount(
        QStringLiteral("/proc/self/mountinfo"),
        sx.stx_mask & STATX_MNT_ID ? std::optional<quint64>(sx.stx_mnt_id) : std::nullopt, device);
    if (mount && !mount->mountPoint.isEmpty())
        report.mountPoint = PathText::fromNative(mount->mountPoint);
    report.fileSystem = mount ? QString::fromLatin1(mount->type) : QString();
    StorageAssessment assessment;
    const StorageVerdict verdict = assessment.assessDescriptor(folderFd);
    report.fileSystemWarnings = verdict.warnings;
    report.notes = verdict.notes;

    if (fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC) {
        report.refusal = Refusal::MemoryOnly;
        return std::nullopt;
    }
    if (vfs.f_flag & ST_RDONLY) {
        report.refusal = Refusal::ReadOnly;
        return std::nullopt;
    }
    if (::faccessat(folderFd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        report.refusal = errno == EROFS ? Refusal::ReadOnly : Refusal::NotWritable;
        report.error = errno;
        return std::nullopt;
    }
    // Blocks freed by an erasure a moment ago are reusable only once that is committed.
    ::syncfs(folderFd);
    if (::fstatvfs(folderFd, &vfs) != 0 || vfs.f_bavail == 0) {
        report.refusal = Refusal::AlreadyFull;
        return std::nullopt;
    }
    FreeSpaceWipePlan plan;
    plan.blockSize = std::max<quint64>(512, vfs.f_bsize);
    plan.extFamily = fs.f_type == EXT4_SUPER_MAGIC;
    report.freeBefore = quint64(plan.extFamily ? vfs.f_bfree : vfs.f_bavail) * vfs.f_frsize;
    if (plan.extFamily
        && (verdict.warnings.contains(StorageReason::DataJournal)
            || reasons.contains(StorageReason::DataJournal)))
        report.journalBytes = extJournalBytes(device, plan.blockSize);
    // Only ext2/3/4 let the administrator write past what they call available.
    const quint64 writable
        = quint64(plan.extFamily && ::geteuid() == 0 ? vfs.f_bfree : vfs.f_bavail) * vfs.f_frsize;
    const quint64 journalRest
        = report.journalBytes * 2 > writable ? report.journalBytes * 2 - writable : 0;
    plan.plannedBytes = writable + journalRest;
    return plan;
}
