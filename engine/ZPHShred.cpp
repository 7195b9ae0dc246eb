// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZPHShred.h"

#include "NotificationCenter.h"
#include "PathText.h"
#include "SystemLog.h"
#include "ZPHFileFunctions.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <memory>
#include <vector>

namespace {

constexpr size_t kMaxChunk = 1024 * 1024;
// How far behind the write position chunks are waited for and dropped from the cache.
constexpr quint64 kWriteBehind = 16 * 1024 * 1024;

using Kind = ShredFailure::Kind;

struct FreeDeleter
{
    void operator()(char* p) const { std::free(p); }
};

// Writes all of `data` at `offset`, resuming partial writes and retrying interrupted ones.
bool writeFully(int fd, const char* data, size_t length, off_t offset, int* err)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd, data + done, length - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return false;
        }
        if (n == 0) {
            *err = ENOSPC;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

void fillWords(std::vector<char>& buffer, size_t length, quint32 word, bool random)
{
    for (size_t i = 0; i < length; i += sizeof word) {
        if (random)
            word = quint32(std::rand()) % 0xFFFFFFFFu;
        std::memcpy(buffer.data() + i, &word, sizeof word);
    }
}

} // namespace

ZPHShred::~ZPHShred()
{
    for (const PendingFile& file : m_batch)
        ::close(file.fd);
}

ZPHShred& sharedShredEngine()
{
    static auto* engine = new ZPHShred;
    return *engine;
}

QList<qint32> ZPHShred::passValues(int nPassType)
{
    switch (nPassType) {
    case 2:
        return {-1};
    case 3:
        return {0, -1, qint32(kPatternPass3)};
    default:
        return {0};
    }
}

quint64 ZPHShred::overwriteLength(quint64 size)
{
    if (size % kBlockSize == 0)
        return size;
    return (size / kBlockSize + 1) * kBlockSize;
}

void ZPHShred::setBPauseFileShreddingOperation(bool pause)
{
    {
        std::lock_guard lock(m_pauseMutex);
        m_bPauseFileShreddingOperation = pause;
    }
    m_pauseChanged.notify_all();
}

void ZPHShred::setBFileShreddingOperationAborted(bool aborted)
{
    m_bFileShreddingOperationAborted = aborted;
}

ShredReport ZPHShred::lastReport() const
{
    std::lock_guard lock(m_reportMutex);
    return m_report;
}

void ZPHShred::addFailure(const QString& path, ShredFailure::Kind kind, int error, quint64 detail)
{
    std::lock_guard lock(m_reportMutex);
    if (m_failedPaths.contains(path))
        return;
    m_failedPaths.insert(path);
    m_report.failures.append({path, kind, error, detail});
}

bool ZPHShred::waitWhilePaused()
{
    std::unique_lock lock(m_pauseMutex);
    m_pauseChanged.wait(lock, [this] { return !m_bPauseFileShreddingOperation; });
    return true;
}

void ZPHShred::sendNotificationToUpdate(const QString& sScanSection, qint32 count, quint64 size,
                                        const QString& path)
{
    const QVariantMap userInfo{
        {QStringLiteral("sScanSection"), sScanSection},
        {QStringLiteral("count"), QString::asprintf("%d", count)},
        {QStringLiteral("size"), QString::asprintf("%llu", static_cast<unsigned long long>(size))},
        {QStringLiteral("path"), path},
    };
    NotificationCenter::defaultCenter().post(QStringLiteral("ZPHBraskoUpdateMessage"), this,
                                             userInfo);
}


ZPHShred::PassResult ZPHShred::overwriteDescriptor(int fd, quint64 length, qint32 value,
                                                   bool randomWrite, ShredFailure::Kind* kind,
                                                   int* error, bool sync)
{
    const size_t chunk = size_t(std::min<quint64>(length, kMaxChunk));
    std::vector<char> buffer(chunk);
    if (!randomWrite)
        fillWords(buffer, chunk, quint32(value), false);
    const auto fail = [&](Kind why, int err) {
        SystemLog::log("Could not write in File!!");
        *kind = why;
        *error = err;
        return PassResult::Failed;
    };
    quint64 offset = 0;
    while (offset < length) {
        const size_t n = size_t(std::min<quint64>(chunk, length - offset));
        if (randomWrite)
            fillWords(buffer, n, 0, true);
        int err = 0;
        if (!writeFully(fd, buffer.data(), n, off_t(offset), &err))
            return fail(Kind::WriteFailed, err);
        // Start the write-back of this chunk now and drop chunks already on disk from the page
        // cache: the disk works while we write, and a large file never fills memory with the
        // pattern. Waiting on a range also collects its write-back error, so any error counts.
        // A batch's files are written back together by its sync instead.
        if (sync)
            ::sync_file_range(fd, off_t(offset), off_t(n), SYNC_FILE_RANGE_WRITE);
        if (offset >= kWriteBehind) {
            const off_t behind = off_t(offset - kWriteBehind);
            if (::sync_file_range(fd, behind, off_t(n),
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE
                                      | SYNC_FILE_RANGE_WAIT_AFTER)
                    != 0
                && errno != EINVAL && errno != ENOSYS && errno != ESPIPE && errno != EOPNOTSUPP)
                return fail(Kind::SyncFailed, errno);
            ::posix_fadvise(fd, behind, off_t(n), POSIX_FADV_DONTNEED);
        }
        offset += n;
        if (m_observer)
            m_observer->onBytesWritten(n);
        if (m_stopRequested && offset < length)
            return PassResult::Stopped;
    }
    // The pass counts only once it is on the disk; a batch makes it durable for all its files.
    if (sync && ::fdatasync(fd) != 0)
        return fail(Kind::SyncFailed, errno);
    return PassResult::Done;
}

bool ZPHShred::verifyFile(const DirectoryHandle& dir, const QByteArray& name, const EntryStat& st,
                          quint64 length, qint32 value, ShredFailure::Kind* kind, int* error)
{
    // O_DIRECT reads what the device holds, not the pages just written; where a file system
    // refuses it, the pages are dropped after the sync so the read still goes to the device.
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    bool direct = true;
    int fd = ::openat(dir.fd(), name.constData(), flags | O_DIRECT);
    if (fd < 0 && errno == EINVAL) {
        direct = false;
        fd = ::openat(dir.fd(), name.constData(), flags);
    }
    if (fd < 0) {
        *kind = Kind::VerifyReadFailed;
        *error = errno;
        return false;
    }
    int err = 0;
    const std::optional<EntryStat> open = DirectoryHandle::statDescriptor(fd, &err);
    bool ok = open && open->sameFileAs(st);
    if (!ok)
        *kind = Kind::ChangedWhileErasing;
    if (ok && !direct)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);

    const size_t chunk = size_t(std::min<quint64>(std::max<quint64>(length, kBlockSize), kMaxChunk));
    std::unique_ptr<char, FreeDeleter> buffer(static_cast<char*>(std::aligned_alloc(kBlockSize, chunk)));
    std::vector<char> expected(chunk);
    fillWords(expected, chunk, quint32(value), false);
    quint64 offset = 0;
    while (ok && offset < length) {
        const size_t want = size_t(std::min<quint64>(chunk, length - offset));
        const ssize_t got = m_read ? m_read(fd, buffer.get(), want, off_t(offset))
                                   : ::pread(fd, buffer.get(), want, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *kind = Kind::VerifyReadFailed;
            *error = errno;
            ok = false;
        } else if (got == 0 || std::memcmp(buffer.get(), expected.data(), size_t(got)) != 0) {
            // A file that ends early did not get the whole pass either.
            *kind = Kind::VerifyMismatch;
            ok = false;
        }
        offset += quint64(std::max<ssize_t>(got, 0));
    }
    ::close(fd);
    return ok;
}

bool ZPHShred::overwriteFile(const QByteArray& path, quint64 nFileSize, qint32 nValToWrite,
                             bool randomWrite, ShredFailure* failure)
{
    ShredFailure ignored;
    ShredFailure& why = failure ? *failure : ignored;
    why.path = PathText::fromNative(path);
    // O_NOFOLLOW: a link swapped in is refused; O_NONBLOCK: a FIFO without reader never hangs.
    const int fd = ::open(path.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                          0700);
    if (fd < 0) {
        why.kind = Kind::OpenFailed;
        why.error = errno;
        SystemLog::log("Could not Open File!!");
        return false;
    }
    int err = 0;
    const std::optional<EntryStat> st = DirectoryHandle::statDescriptor(fd, &err);
    bool ok = false;
    if (!st || !S_ISREG(st->mode)) {
        SystemLog::log("Could not Open File!!");
        why.kind = Kind::OpenFailed;
        why.error = st ? EINVAL : err;
    } else if (st->links > 1) {
        // Overwriting would destroy the data of the file's other names.
        SystemLog::log("Could not Open File!!");
        why.kind = Kind::HardLinks;
        why.detail = quint64(st->links);
    } else {
        ok = overwriteDescriptor(fd, overwriteLength(nFileSize), nValToWrite, randomWrite, &why.kind,
                                 &why.error)
            == PassResult::Done;
    }
    if (::close(fd) != 0)
        SystemLog::log("Could Not Close File!!");
    return ok;
}

namespace {

// Why the entry `st` in `dir` could not be unlinked by this process, if it could not.
std::optional<ShredFailure> whyNotRemovable(const DirectoryHandle& dir, const EntryStat& st)
{
    if (::faccessat(dir.fd(), ".", W_OK | X_OK, AT_EACCESS) != 0)
        return ShredFailure{{}, Kind::FolderForbidsRemoval, errno};
    int err = 0;
    const std::optional<EntryStat> folder = dir.statSelf(&err);
    if (!folder)
        return ShredFailure{{}, Kind::Unexamined, err};
    const uid_t me = ::geteuid();
    if ((folder->mode & S_ISVTX) && me != 0 && me != st.owner && me != folder->owner)
        return ShredFailure{{}, Kind::StickyFolder};
    return std::nullopt;
}

QString joinDisplay(const QString& folder, const QByteArray& name)
{
    return PathText::join(folder, PathText::fromNative(name));
}

// Opens the entry for writing, never through a link and never blocking on a FIFO.
int openForWriting(const DirectoryHandle& dir, const QByteArray& name)
{
    return ::openat(dir.fd(), name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// The open file is the very one that was examined, and still a regular file with one link.
bool isExaminedFile(const std::optional<EntryStat>& open, const EntryStat& examined)
{
    return open && open->sameFileAs(examined) && S_ISREG(open->mode) && open->links == 1;
}

} // namespace

ZPHShred::FileOutcome ZPHShred::shredEntry(const DirectoryHandle& dir, const QByteArray& name,
                                           const QString& display, int nPassType,
                                           const EntryStat& root)
{
    int err = 0;
    const std::optional<EntryStat> st = dir.stat(name, &err);
    if (!st) {
        addFailure(display, Kind::Unexamined, err);
        return FileOutcome::Failed;
    }
    if (st->mountRoot || !st->onSameMountAs(root)) {
        addFailure(display, Kind::OtherMount);
        return FileOutcome::Failed;
    }
    if (!S_ISREG(st->mode)) {
        // Links, FIFOs, sockets and devices hold no file data of their own: remove the entry.
        if (::unlinkat(dir.fd(), name.constData(), 0) != 0) {
            addFailure(display, Kind::EntryNotRemoved, errno);
            return FileOutcome::Failed;
        }
        std::lock_guard lock(m_reportMutex);
        ++m_report.entriesRemoved;
        return FileOutcome::RemovedUnwritten;
    }
    if (st->links > 1) {
        addFailure(display, Kind::HardLinks, 0, quint64(st->links));
        return FileOutcome::Failed;
    }
    if (m_force && !(st->mode & S_IWUSR) && (st->owner == ::geteuid() || ::geteuid() == 0)
        && !dir.addOwnerWrite(name, *st, &err)) {
        addFailure(display, Kind::OpenFailed, err);
        return FileOutcome::Failed;
    }
    if (const std::optional<ShredFailure> why = whyNotRemovable(dir, *st)) {
        // Overwriting a file that then cannot be unlinked would leave a wrecked file behind.
        addFailure(display, why->kind, why->error);
        return FileOutcome::Failed;
    }

    const QList<qint32> values = passValues(nPassType);
    ShredFileResult result;
    result.length = st->size;
    result.allocated = st->allocated;
    quint64 covered = overwriteLength(st->size);
    if (m_batching && covered <= kBatchFileBytes)
        return enqueue(dir, name, display, *st, values, result);
    if (m_observer)
        m_observer->onFileStarted(display, covered, int(values.size()));
    for (qsizetype pass = 0; pass < values.size(); ++pass) {
        const int fd = openForWriting(dir, name);
        if (fd < 0) {
            const int openErr = errno;
            SystemLog::log("Could not Open File!!");
            addFailure(display, Kind::OpenFailed, openErr);
            return finishFile(display, result);
        }
        const std::optional<EntryStat> open = DirectoryHandle::statDescriptor(fd, &err);
        Kind why = Kind::ChangedWhileErasing;
        int passErr = 0;
        PassResult done = PassResult::Failed;
        if (!isExaminedFile(open, *st)) {
            // Each pass must write the very file that was examined, and nothing else.
            SystemLog::log("Could not Open File!!");
        } else {
            if (pass == 0) {
                // Judged on the very file about to be written, as late as possible.
                result.verdict = m_assessment.assessDescriptor(fd);
            }
            covered = overwriteLength(std::max(open->size, st->size));
            if (m_observer)
                m_observer->onPassStarted(int(pass + 1), int(values.size()));
            done = overwriteDescriptor(fd, covered, values.at(pass), false, &why, &passErr);
        }
        if (::close(fd) != 0)
            SystemLog::log("Could Not Close File!!");
        if (done == PassResult::Stopped) {
            // Never unlink what did not get every pass: it stays, and the report says so.
            addFailure(display, Kind::Stopped);
            {
                std::lock_guard lock(m_reportMutex);
                m_report.stopped = true;
                m_report.stoppedPath = display;
            }
            result.outcome = ShredFileResult::Outcome::Stopped;
            finishFile(display, result);
            return FileOutcome::Stop;
        }
        if (done == PassResult::Failed) {
            // Never unlink what was not overwritten: its data would stay on the disk unseen.
            addFailure(display, why, passErr);
            return finishFile(display, result);
        }
    }

    if (m_verify) {
        Kind why = Kind::VerifyMismatch;
        int verifyErr = 0;
        if (!verifyFile(dir, name, *st, covered, values.last(), &why, &verifyErr)) {
            addFailure(display, why, verifyErr);
            return finishFile(display, result);
        }
    }

    const std::optional<EntryStat> last = dir.stat(name, &err);
    if (!last || !last->sameFileAs(*st) || last->size > covered) {
        addFailure(display, Kind::ChangedWhileErasing);
        return finishFile(display, result);
    }
    if (m_beforeUnlink)
        m_beforeUnlink(display);
    if (::unlinkat(dir.fd(), name.constData(), 0) != 0) {
        const int unlinkErr = errno;
        // The log outlives the file: it gets the reason, never the name.
        SystemLog::log("Cannnot removeFile: %s", std::strerror(unlinkErr));
        addFailure(display, Kind::UnlinkFailed, unlinkErr);
        finishFile(display, result);
        return FileOutcome::Stop;
    }
    result.outcome = ShredFileResult::Outcome::Erased;
    return finishFile(display, result);
}

int ZPHShred::batchFileLimit() const
{
    // Each waiting file holds a descriptor, and so may its folder: stay well inside the limit.
    rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY)
        return kBatchFiles;
    const rlim_t spare = files.rlim_cur > 128 ? (files.rlim_cur - 128) / 2 : 1;
    return int(std::clamp<rlim_t>(spare, 1, kBatchFiles));
}

ZPHShred::FileOutcome ZPHShred::enqueue(const DirectoryHandle& dir, const QByteArray& name,
                                        const QString& display, const EntryStat& st,
                                        const QList<qint32>& values, ShredFileResult result)
{
    if (!m_batch.empty() && m_batch.front().st.device != st.device) {
        // One sync must cover every file of a batch: never two file systems in one.
        if (flushPending() == Walk::Stop)
            return FileOutcome::Stop;
    }
    const int fd = openForWriting(dir, name);
    if (fd < 0) {
        const int openErr = errno;
        SystemLog::log("Could not Open File!!");
        addFailure(display, Kind::OpenFailed, openErr);
        return finishFile(display, result);
    }
    int err = 0;
    const std::optional<EntryStat> open = DirectoryHandle::statDescriptor(fd, &err);
    if (!isExaminedFile(open, st)) {
        // The batch must write the very file that was examined, and nothing else.
        ::close(fd);
        SystemLog::log("Could not Open File!!");
        addFailure(display, Kind::ChangedWhileErasing);
        return finishFile(display, result);
    }
    // Judged on the very file about to be written, as late as possible.
    result.verdict = m_assessment.assessDescriptor(fd);

    std::shared_ptr<const DirectoryHandle> folder;
    const std::optional<EntryStat> folderStat = dir.statSelf(&err);
    if (!m_batch.empty() && m_batchDirSource == dir.fd() && folderStat
        && folderStat->sameFileAs(m_batchDirStat)) {
        folder = m_batch.back().dir;
    } else {
        DirectoryHandle copy = dir.duplicate(&err);
        if (!copy.isValid() || !folderStat) {
            ::close(fd);
            addFailure(display, Kind::OpenFailed, err);
            return finishFile(display, result);
        }
        folder = std::make_shared<const DirectoryHandle>(std::move(copy));
        m_batchDirSource = dir.fd();
        m_batchDirStat = *folderStat;
    }

    PendingFile file;
    file.dir = std::move(folder);
    file.name = name;
    file.display = display;
    file.st = st;
    file.fd = fd;
    file.covered = overwriteLength(std::max(open->size, st.size));
    file.values = values;
    file.result = result;
    m_batchBytes += file.covered * quint64(values.size());
    m_batch.push_back(std::move(file));
    if (m_observer)
        m_observer->onFileStarted(display, m_batch.back().covered, int(values.size()));
    if (m_batch.size() == 1) {
        m_batchLimit = batchFileLimit();
        m_batchAge.start();
    }
    // A batch that fills slowly (the window pauses before each file) is finished after a
    // moment anyway, so progress and the files erased so far never lag far behind.
    if (int(m_batch.size()) >= m_batchLimit || m_batchBytes >= kBatchBytes
        || m_batchAge.elapsed() >= kBatchAgeMs)
        return flushPending() == Walk::Stop ? FileOutcome::Stop : FileOutcome::Deferred;
    return FileOutcome::Deferred;
}

void ZPHShred::failPending(PendingFile& file, ShredFailure::Kind kind, int error)
{
    // Never unlinked: what did not get every pass on the disk stays, and the report says so.
    file.failed = true;
    if (file.fd >= 0 && ::close(file.fd) != 0)
        SystemLog::log("Could Not Close File!!");
    file.fd = -1;
    addFailure(file.display, kind, error);
    finishFile(file.display, file.result);
}

ZPHShred::Walk ZPHShred::flushPending()
{
    std::vector<PendingFile> batch;
    batch.swap(m_batch);
    m_batchBytes = 0;
    m_batchDirSource = -1;
    if (batch.empty())
        return Walk::Continue;

    const qsizetype passes = batch.front().values.size();
    bool stopped = false;
    for (qsizetype pass = 0; pass < passes && !stopped; ++pass) {
        if (m_observer)
            m_observer->onPassStarted(int(pass + 1), int(passes));
        int anyOpen = -1;
        for (PendingFile& file : batch) {
            if (file.failed)
                continue;
            if (m_stopRequested) {
                stopped = true;
                break;
            }
            int err = 0;
            const std::optional<EntryStat> now = DirectoryHandle::statDescriptor(file.fd, &err);
            if (!now || now->links != 1) {
                failPending(file, Kind::ChangedWhileErasing, err);
                continue;
            }
            file.covered = overwriteLength(std::max(now->size, file.st.size));
            Kind why = Kind::WriteFailed;
            const PassResult done = overwriteDescriptor(file.fd, file.covered, file.values.at(pass),
                                                        false, &why, &err, false);
            if (done == PassResult::Stopped) {
                stopped = true;
                break;
            }
            if (done == PassResult::Failed) {
                failPending(file, why, err);
                continue;
            }
            anyOpen = file.fd;
        }
        if (stopped)
            break;
        // One write-back and one flush of the drive's cache for the whole pass. Each file's
        // own wait then collects a write-back error that belongs to it; it writes nothing more
        // and, unlike fdatasync, does not flush the drive's cache once per file.
        const bool synced = anyOpen >= 0 && ::syncfs(anyOpen) == 0;
        if (anyOpen >= 0 && !synced)
            SystemLog::log("syncfs failed: %s", std::strerror(errno));
        for (PendingFile& file : batch) {
            if (file.failed)
                continue;
            const int waited = synced ? ::sync_file_range(file.fd, 0, 0,
                                                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE
                                                              | SYNC_FILE_RANGE_WAIT_AFTER)
                                      : ::fdatasync(file.fd);
            if (waited != 0)
                failPending(file, Kind::SyncFailed, errno);
        }
    }

    if (stopped) {
        for (PendingFile& file : batch) {
            if (file.failed)
                continue;
            {
                std::lock_guard lock(m_reportMutex);
                m_report.stopped = true;
                if (m_report.stoppedPath.isEmpty())
                    m_report.stoppedPath = file.display;
            }
            file.result.outcome = ShredFileResult::Outcome::Stopped;
            failPending(file, Kind::Stopped, 0);
        }
        return Walk::Stop;
    }

    bool unlinkFailed = false;
    for (PendingFile& file : batch) {
        if (file.failed)
            continue;
        ::close(file.fd);
        file.fd = -1;
        int err = 0;
        if (m_verify) {
            Kind why = Kind::VerifyMismatch;
            if (!verifyFile(*file.dir, file.name, file.st, file.covered, file.values.last(), &why, &err)) {
                failPending(file, why, err);
                continue;
            }
        }
        const std::optional<EntryStat> last = file.dir->stat(file.name, &err);
        if (!last || !last->sameFileAs(file.st) || last->size > file.covered) {
            failPending(file, Kind::ChangedWhileErasing, 0);
            continue;
        }
        if (m_beforeUnlink)
            m_beforeUnlink(file.display);
        if (::unlinkat(file.dir->fd(), file.name.constData(), 0) != 0) {
            const int unlinkErr = errno;
            SystemLog::log("Cannnot removeFile: %s", std::strerror(unlinkErr));
            // The rest of the batch is overwritten already: it is still unlinked, then the run ends.
            unlinkFailed = true;
            failPending(file, Kind::UnlinkFailed, unlinkErr);
            continue;
        }
        file.result.outcome = ShredFileResult::Outcome::Erased;
        finishFile(file.display, file.result);
    }
    return unlinkFailed ? Walk::Stop : Walk::Continue;
}

ShredReport ZPHShred::flushBatch()
{
    {
        std::lock_guard lock(m_reportMutex);
        m_report = ShredReport();
        m_failedPaths.clear();
    }
    flushPending();
    return lastReport();
}

ZPHShred::FileOutcome ZPHShred::finishFile(const QString& display, ShredFileResult result)
{
    const bool erased = result.outcome == ShredFileResult::Outcome::Erased;
    if (erased) {
        std::lock_guard lock(m_reportMutex);
        ++m_report.filesErased;
        m_report.bytesErased += result.length;
        m_report.allocatedErased += result.allocated;
        if (result.verdict.hasWarning())
            m_report.warnings.append({display, result.verdict});
        for (const StorageReason note : result.verdict.notes) {
            if (!m_report.notes.contains(note)) {
                m_report.notes.append(note);
                std::sort(m_report.notes.begin(), m_report.notes.end());
            }
        }
    }
    if (m_observer)
        m_observer->onFileFinished(display, result);
    return erased ? FileOutcome::Erased : FileOutcome::Failed;
}

bool ZPHShred::stopBetweenFiles()
{
    if (!m_stopRequested)
        return false;
    setReportFlag(&ShredReport::stopped);
    return true;
}

void ZPHShred::setReportFlag(bool ShredReport::*flag)
{
    std::lock_guard lock(m_reportMutex);
    m_report.*flag = true;
}

ZPHShred::Walk ZPHShred::visitFile(const DirectoryHandle& dir, const QByteArray& name,
                                   const QString& display, int nPassType, const EntryStat& root)
{
    // A pause leaves nothing half done: the files already in hand are finished first.
    if (m_bPauseFileShreddingOperation && flushPending() == Walk::Stop)
        return Walk::Stop;
    waitWhilePaused();
    if (m_bFileShreddingOperationAborted) {
        setReportFlag(&ShredReport::aborted);
        return Walk::Stop;
    }
    if (stopBetweenFiles())
        return Walk::Stop;
    if (const int delay = m_perFileDelayMs; delay > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    // Observers look before the first byte is overwritten, while the file is whole.
    sendNotificationToUpdate(QStringLiteral("shred"), 0, 10, display);
    return shredEntry(dir, name, display, nPassType, root) == FileOutcome::Stop ? Walk::Stop
                                                                                : Walk::Continue;
}

namespace {

// The folder above `child` again, if it is still `expected`. Folders are let go while the run
// is below them, so the depth of a tree never runs the process out of descriptors.
DirectoryHandle reopenParent(const DirectoryHandle& child, const EntryStat& expected, int* err)
{
    DirectoryHandle parent = child.openChild("..", err);
    const std::optional<EntryStat> st = parent.isValid() ? parent.statSelf(err) : std::nullopt;
    if (!st || !st->sameFileAs(expected)) {
        if (st)
            *err = ESTALE; // moved while the run was below it
        return {};
    }
    return parent;
}

} // namespace

ZPHShred::Walk ZPHShred::walkFolder(DirectoryHandle& dir, const QString& display,
                                    int nPassType, const EntryStat& root)
{
    int err = 0;
    const std::optional<EntryStat> self = dir.statSelf(&err);
    const std::optional<std::vector<QByteArray>> names = dir.names(&err);
    if (!self || !names)
        return Walk::Continue; // reported by the final removal, which cannot read it either
    for (const QByteArray& name : *names) {
        const std::optional<EntryStat> st = dir.stat(name, &err);
        if (!st || !st->onSameMountAs(root))
            continue;
        const QString child = joinDisplay(display, name);
        if (S_ISREG(st->mode)) {
            if (visitFile(dir, name, child, nPassType, root) == Walk::Stop)
                return Walk::Stop;
        } else if (S_ISDIR(st->mode)) {
            DirectoryHandle sub = dir.openChild(name, &err);
            const std::optional<EntryStat> opened = sub.isValid() ? sub.statSelf(&err) : std::nullopt;
            if (!opened || !opened->sameFileAs(*st)) {
                // Whatever is below was not reached (no permission, say): say so.
                addFailure(child, Kind::FolderUnreadable, opened ? ESTALE : err);
                continue;
            }
            dir = DirectoryHandle();
            const Walk walked = walkFolder(sub, child, nPassType, root);
            if (walked == Walk::Stop)
                return Walk::Stop;
            dir = reopenParent(sub, *self, &err);
            if (!dir.isValid()) {
                addFailure(display, Kind::FolderUnreadable, err);
                return Walk::Stop;
            }
        }
    }
    return Walk::Continue;
}

bool ZPHShred::removeLeftovers(DirectoryHandle& parent, const QByteArray& name,
                               const QString& display, const EntryStat& root)
{
    int err = 0;
    const std::optional<EntryStat> st = parent.stat(name, &err);
    if (!st)
        return err == ENOENT;
    if (S_ISREG(st->mode)) {
        addFailure(display, Kind::StillThere);
        return false;
    }
    // The selected folder may itself be a mount point; everything below must be on its mount.
    if (!st->sameFileAs(root) && !st->onSameMountAs(root)) {
        addFailure(display, Kind::OtherMount);
        return false;
    }
    if (!S_ISDIR(st->mode)) {
        if (::unlinkat(parent.fd(), name.constData(), 0) != 0) {
            addFailure(display, Kind::EntryNotRemoved, errno);
            return false;
        }
        std::lock_guard lock(m_reportMutex);
        ++m_report.entriesRemoved;
        return true;
    }
    const std::optional<EntryStat> parentSelf = parent.statSelf(&err);
    DirectoryHandle dir = parent.openChild(name, &err);
    const std::optional<EntryStat> opened = dir.isValid() ? dir.statSelf(&err) : std::nullopt;
    if (!parentSelf || !opened || !opened->sameFileAs(*st)) {
        addFailure(display, Kind::FolderUnreadable, err);
        return false;
    }
    const std::optional<std::vector<QByteArray>> names = dir.names(&err);
    if (!names) {
        addFailure(display, Kind::FolderUnreadable, err);
        return false;
    }
    parent = DirectoryHandle();
    bool emptied = true;
    for (const QByteArray& child : *names)
        emptied = removeLeftovers(dir, child, joinDisplay(display, child), root) && emptied;
    parent = dir.isValid() ? reopenParent(dir, *parentSelf, &err) : DirectoryHandle();
    if (!parent.isValid()) {
        addFailure(display, Kind::FolderUnreadable, err);
        return false;
    }
    if (!emptied)
        return false;
    if (::unlinkat(parent.fd(), name.constData(), AT_REMOVEDIR) != 0) {
        addFailure(display, Kind::EntryNotRemoved, errno);
        return false;
    }
    std::lock_guard lock(m_reportMutex);
    ++m_report.entriesRemoved;
    return true;
}

ShredReport ZPHShred::shredFile(const QString& path, int nPassType,
                                std::optional<FileIdentity> expected)
{
    return shredNativePath(PathText::toNative(path), nPassType, expected);
}

ShredReport ZPHShred::shredNativePath(const QByteArray& nativePath, int nPassType,
                                      std::optional<FileIdentity> expected)
{
    {
        std::lock_guard lock(m_reportMutex);
        m_report = ShredReport();
        m_failedPaths.clear();
    }
    // "dir/link/" would make the kernel follow the link: the handed path names the link itself.
    const QByteArray native = PathText::withoutTrailingSlashes(nativePath);
    const QString top = PathText::fromNative(native);
    const QByteArray folder = PathText::parentOf(native);
    const QByteArray name = native.mid(native.lastIndexOf('/') + 1);

    int err = 0;
    DirectoryHandle parent = native.isEmpty() ? DirectoryHandle() : DirectoryHandle::open(folder, &err);
    const std::optional<EntryStat> st =
        parent.isValid() && !name.isEmpty() && name != "." && name != ".." ? parent.stat(name, &err)
                                                                           : std::nullopt;
    if (!st) {
        setReportFlag(&ShredReport::pathMissing);
        return lastReport();
    }
    // The last line of defence under every caller's own checks.
    if (folder == "/") {
        addFailure(top, Kind::RefusedSystemFolder);
        return lastReport();
    }
    if (S_ISDIR(st->mode)) {
        const QByteArray home = PathText::toNative(QDir(QDir::homePath()).canonicalPath());
        std::unique_ptr<char, FreeDeleter> real(::realpath(native.constData(), nullptr));
        if (!home.isEmpty() && real && home == real.get()) {
            addFailure(top, Kind::RefusedHomeFolder);
            return lastReport();
        }
    }
    // A listed file or link must be the very entry that was listed, and never a folder now.
    if (expected && (st->device != expected->device || st->inode != expected->inode || S_ISDIR(st->mode))) {
        addFailure(top, Kind::ChangedSinceListed);
        return lastReport();
    }

    if (!S_ISDIR(st->mode)) {
        // The handed entry itself; a file bind-mounted here is the root of its own mount.
        const Walk visited = visitFile(parent, name, top, nPassType, *st);
        if (!m_holdBatch && flushPending() == Walk::Stop)
            return lastReport();
        if (visited == Walk::Stop)
            return lastReport();
    } else {
        DirectoryHandle dir = parent.openChild(name, &err);
        const std::optional<EntryStat> opened = dir.isValid() ? dir.statSelf(&err) : std::nullopt;
        if (!opened || !opened->sameFileAs(*st)) {
            addFailure(top, Kind::FolderUnreadable, err);
            return lastReport();
        }
        // The selection's own mount: the folder may itself be a mount point.
        EntryStat root = *opened;
        root.mountRoot = false;
        // The files must be gone before their folders can go.
        const Walk walked = walkFolder(dir, top, nPassType, root);
        if (flushPending() == Walk::Stop || walked == Walk::Stop) {
            std::lock_guard lock(m_reportMutex);
            if (!m_report.aborted && !m_report.stopped)
                m_report.failures.append({top, Kind::NotReached});
            return m_report;
        }
        if (m_bFileShreddingOperationAborted) {
            setReportFlag(&ShredReport::aborted);
            return lastReport();
        }
        if (stopBetweenFiles())
            return lastReport();
        EntryStat topRoot = *st;
        topRoot.mountRoot = false;
        const bool removed = removeLeftovers(parent, name, top, topRoot);
        std::lock_guard lock(m_reportMutex);
        m_report.pathRemoved = removed;
        return m_report;
    }

    if (m_bFileShreddingOperationAborted) {
        setReportFlag(&ShredReport::aborted);
        return lastReport();
    }
    const bool removed = !parent.stat(name, &err) && err == ENOENT;
    std::lock_guard lock(m_reportMutex);
    m_report.pathRemoved = removed;
    return m_report;
}

// Kept at the end of the file with its include: the login items are a separate concern.
#include "LoginItems.h"

std::optional<QString> ZPHShred::itemRefInLoginItems()
{
    const LoginItems loginItems;
    const std::optional<QList<LoginItem>> items = loginItems.snapshot();
    if (!items)
        return std::nullopt;
    const LoginItem* last = nullptr;
    for (const LoginItem& item : *items) {
        if (loginItems.pointsAtApplication(item))
            last = &item;
    }
    if (!last || !LoginItems::remove(*last))
        return std::nullopt;
    return last->path;
}
