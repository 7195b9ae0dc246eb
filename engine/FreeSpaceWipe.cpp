// SPDX-License-Identifier: GPL-3.0-or-later
#include "FreeSpaceWipe.h"

#include "FreeSpaceWipePlan.h"
#include "FreeSpaceWipeRecord.h"
#include "PathText.h"
#include "ZPHShred.h"

#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr qint64 kProgressIntervalMs = 100;
// O_DIRECT wants whole logical blocks; below this the tail is written through the page cache.
constexpr qint64 kDirectAlignment = 4096;
// How much goes through the journal between two syncs while it is cycled.
constexpr qint64 kJournalRoundBytes = 64 * 1024 * 1024;

// The I/O priority of the calling thread (ioprio_set with IOPRIO_WHO_PROCESS and 0).
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassShift = 13;
constexpr int kIoprioClassBestEffort = 2;
constexpr int kIoprioLowest = 7;

class ThreadIoPriority
{
public:
    ThreadIoPriority()
        : m_before(int(::syscall(SYS_ioprio_get, kIoprioWhoProcess, 0)))
    {
        ::syscall(SYS_ioprio_set, kIoprioWhoProcess, 0,
            (kIoprioClassBestEffort << kIoprioClassShift) | kIoprioLowest);
    }
    ~ThreadIoPriority()
    {
        if (m_before >= 0)
            ::syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, m_before);
    }
    ThreadIoPriority(const ThreadIoPriority&) = delete;
    ThreadIoPriority& operator=(const ThreadIoPriority&) = delete;

private:
    int m_before;
};

void setFileFlag(int fd, int flag)
{
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && !(flags & flag)) {
        flags |= flag;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
}

bool hasFileFlag(int fd, int flag)
{
    int flags = 0;
    return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & flag);
}

bool isFull(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

} // namespace

FreeSpaceWipe::FreeSpaceWipe(
    QByteArray folder, int nPassType, std::atomic<bool>* stopFlag, QObject* parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_pattern(quint32(ZPHShred::passValues(nPassType).last()))
    , m_stop(stopFlag ? stopFlag : &m_ownStop)
{
    qRegisterMetaType<FreeSpaceWipeReport>();
}

FreeSpaceWipe::~FreeSpaceWipe()
{
    if (m_thread) {
        requestStop();
        m_thread->wait();
    }
}

void FreeSpaceWipe::startInBackground()
{
    if (m_running.exchange(true))
        return;
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QStringLiteral("free-space wipe"));
    m_thread->start();
}

void FreeSpaceWipe::requestStop()
{
    m_stop->store(true);
}

void FreeSpaceWipe::run()
{
    m_running = true;
    m_report = FreeSpaceWipeReport();
    m_report.folder = PathText::fromNative(m_folder);
    m_report.mountPoint = m_report.folder;
    m_report.administrator = ::geteuid() == 0;
    m_nextFill = 0;
    QElapsedTimer clock;
    clock.start();
    m_report.leftoversRemoved = FreeSpaceWipeRecord::removeLeftovers();

    const int folderFd = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        m_report.refusal = FreeSpaceWipeReport::Refusal::Unexamined;
        m_report.error = errno;
    } else if (const auto plan = FreeSpaceWipePlan::examine(folderFd, m_reasons, m_report)) {
        m_blockSize = plan->blockSize;
        m_extFamily = plan->extFamily;
        emit started(m_report.mountPoint, m_report.freeBefore, plan->plannedBytes);
        // A name of our own, made relative to the folder examined: mkdtemp's pattern without
        // its path, which a folder renamed meanwhile could send elsewhere.
        QByteArray name;
        int made = -1;
        for (int attempt = 0; attempt < 100 && made != 0; ++attempt) {
            name = QByteArray(FreeSpaceWipeRecord::kFolderPrefix)
                + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
            made = ::mkdirat(folderFd, name.constData(), 0700);
            if (made != 0 && errno != EEXIST)
                break;
        }
        const int privateFd = made == 0
            ? ::openat(folderFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
            : -1;
        if (privateFd < 0) {
            m_report.refusal = errno == EROFS ? FreeSpaceWipeReport::Refusal::ReadOnly
                                              : FreeSpaceWipeReport::Refusal::NotWritable;
            m_report.error = errno;
        } else {
            // The lock tells the next run that this folder is not a leftover while we live.
            ::flock(privateFd, LOCK_EX);
            char real[PATH_MAX + 1] = {};
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(folderFd);
            const ssize_t length = ::readlink(self.constData(), real, PATH_MAX);
            const QByteArray recorded
                = PathText::join(length > 0 ? QByteArray(real, length) : m_folder, name);
            FreeSpaceWipeRecord::add(recorded);
            {
                const ThreadIoPriority lowest;
                fill(privateFd);
                removeFills(privateFd);
                if (m_report.journalBytes > 0 && !m_report.stopped && m_report.error == 0)
                    cycleJournal(privateFd);
            }
            if (::unlinkat(folderFd, name.constData(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
                m_report.leftFillBehind = true;
                m_report.error = errno;
            }
            ::syncfs(folderFd);
            ::close(privateFd);
            if (!m_report.leftFillBehind)
                FreeSpaceWipeRecord::remove(recorded);
        }
    }
    if (folderFd >= 0)
        ::close(folderFd);
    std::free(m_buffer);
    m_buffer = nullptr;
    tellProgress(true);
    m_report.elapsedMs = clock.elapsed();
    m_running = false;
    emit finished(m_report);
}

void FreeSpaceWipe::tellProgress(bool force)
{
    if (force || !m_sinceProgress.isValid() || m_sinceProgress.elapsed() >= kProgressIntervalMs) {
        m_sinceProgress.restart();
        emit bytesWritten(m_report.bytesWritten);
    }
}

void FreeSpaceWipe::fill(int privateFd)
{
    if (::posix_memalign(reinterpret_cast<void**>(&m_buffer), kDirectAlignment, kChunkBytes) != 0) {
        m_report.error = ENOMEM;
        return;
    }
    auto* words = reinterpret_cast<quint32*>(m_buffer);
    std::fill(words, words + kChunkBytes / 4, m_pattern);
    // Files that journal their data carry the journal's copy along; set where the file system
    // does not do it for every file.
    const bool journalEachFile = m_report.journalBytes > 0
        && !m_report.fileSystemWarnings.contains(StorageReason::DataJournal);
    bool journalled = m_report.journalBytes > 0;
    while (!stopRequested()) {
        const QByteArray name = "fill-" + QByteArray::number(m_nextFill++);
        const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
        int fd = ::openat(privateFd, name.constData(), flags | O_DIRECT, 0600);
        if (fd < 0 && errno == EINVAL)
            fd = ::openat(privateFd, name.constData(), flags, 0600);
        if (fd < 0) {
            if (isFull(errno))
                m_report.full = true;
            else
                m_report.error = errno;
            break;
        }
        // Compressed, a fill of one pattern would take almost no blocks at all.
        setFileFlag(fd, FS_NOCOMP_FL);
        if (journalEachFile) {
            setFileFlag(fd, FS_JOURNAL_DATA_FL);
            journalled = journalled && hasFileFlag(fd, FS_JOURNAL_DATA_FL);
        }
        bool took = false;
        const bool goOn = fillFile(fd, &took);
        // The fill is worth nothing until it is on the disk; a file system out of room may say
        // so only now.
        if (::fsync(fd) != 0 && !isFull(errno) && m_report.error == 0 && !stopRequested())
            m_report.error = errno;
        ::close(fd);
        if (!goOn || m_report.error != 0)
            break;
        if (!took) {
            m_report.full = true;
            break;
        }
    }
    m_report.stopped = stopRequested();
    struct statvfs vfs;
    if (m_report.full && ::fstatvfs(privateFd, &vfs) == 0) {
        // ext2/3/4 count their reserves as free blocks, and old data may lie in any of them;
        // elsewhere (btrfs) free blocks beyond what may be written belong to metadata.
        m_report.leftUnwritten = quint64(m_extFamily ? vfs.f_bfree : vfs.f_bavail) * vfs.f_frsize;
        if (m_extFamily)
            m_report.reservedLeft
                = quint64(vfs.f_bfree - std::min(vfs.f_bfree, vfs.f_bavail)) * vfs.f_frsize;
    }
    if (!journalled)
        m_report.journalBytes = 0;
    tellProgress(true);
}

bool FreeSpaceWipe::fillFile(int fd, bool* tookAny)
{
    qint64 chunk = kChunkBytes;
    for (;;) {
        if (stopRequested())
            return false;
        const ssize_t n = ::write(fd, m_buffer, size_t(chunk));
        if (n > 0) {
            *tookAny = true;
            m_report.bytesFilled += quint64(n);
            m_report.bytesWritten += quint64(n);
            tellProgress();
            continue;
        }
        const int err = n == 0 ? ENOSPC : errno;
        if (err == EINTR)
            continue;
        const int flags = ::fcntl(fd, F_GETFL);
        if (err == EINVAL && (flags & O_DIRECT)) {
            ::fcntl(fd, F_SETFL, flags & ~O_DIRECT);
            continue;
        }
        if (!isFull(err)) {
            m_report.error = err;
            return false;
        }
        m_report.quotaLimited = m_report.quotaLimited || err == EDQUOT;
        if (chunk <= qint64(m_blockSize))
            return true; // this file is full; the next one will tell about the file system
        // Near the end, smaller writes take the last blocks; direct I/O cannot go below a page.
        chunk = std::max<qint64>(qint64(m_blockSize), chunk / 2);
        if (chunk < kDirectAlignment && (flags & O_DIRECT))
            ::fcntl(fd, F_SETFL, flags & ~O_DIRECT);
    }
}

void FreeSpaceWipe::removeFills(int privateFd)
{
    // Names first, removals after: a listing that changes under readdir may skip entries. A
    // fresh descriptor: btrfs lists only the entries that existed when a folder was opened.
    QList<QByteArray> names;
    if (DIR* listing = ::fdopendir(::openat(privateFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))) {
        while (const dirent* entry = ::readdir(listing)) {
            if (FreeSpaceWipeRecord::isFillName(QByteArray(entry->d_name)))
                names.append(QByteArray(entry->d_name));
        }
        ::closedir(listing);
    }
    for (const QByteArray& name : std::as_const(names)) {
        if (::unlinkat(privateFd, name.constData(), 0) != 0 && errno != ENOENT) {
            m_report.leftFillBehind = true;
            m_report.error = errno;
        }
    }
    ::syncfs(privateFd);
}

void FreeSpaceWipe::cycleJournal(int privateFd)
{
    const quint64 target = m_report.journalBytes * 2;
    quint64 through = m_report.bytesFilled;
    if (through < target && !m_buffer)
        return;
    const int fd = through >= target
        ? -1
        : ::openat(
            privateFd, "journal-cycle", O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        if (!m_report.fileSystemWarnings.contains(StorageReason::DataJournal))
            setFileFlag(fd, FS_JOURNAL_DATA_FL);
        // Free space smaller than the journal: write what fits, sync, give it back, again.
        while (through < target && !stopRequested()) {
            quint64 round = 0;
            const quint64 want = std::min<quint64>(kJournalRoundBytes, target - through);
            while (round < want && !stopRequested()) {
                const ssize_t n
                    = ::write(fd, m_buffer, size_t(std::min<quint64>(kChunkBytes, want - round)));
                if (n <= 0)
                    break;
                round += quint64(n);
                m_report.bytesWritten += quint64(n);
                tellProgress();
            }
            if (::fsync(fd) != 0 && !isFull(errno)) {
                m_report.error = errno;
                break;
            }
            through += round;
            if (::ftruncate(fd, 0) != 0 || ::fsync(fd) != 0 || round == 0)
                break;
        }
        ::close(fd);
        if (::unlinkat(privateFd, "journal-cycle", 0) != 0 && errno != ENOENT) {
            m_report.leftFillBehind = true;
            m_report.error = errno;
        }
        ::syncfs(privateFd);
    }
    m_report.stopped = m_report.stopped || stopRequested();
    m_report.journalCycled = through >= target;
}
