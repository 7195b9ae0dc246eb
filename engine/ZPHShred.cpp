#include "ZPHShred.h"

#include "NotificationCenter.h"
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
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kMaxChunk = 1024 * 1024;
// How far behind the write position chunks are waited for and dropped from the cache.
constexpr quint64 kWriteBehind = 16 * 1024 * 1024;

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

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

void ZPHShred::addFailure(const QString& path, const QString& reason)
{
    std::lock_guard lock(m_reportMutex);
    if (m_failedPaths.contains(path))
        return;
    m_failedPaths.insert(path);
    m_report.failures.append({path, reason});
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


bool ZPHShred::overwriteDescriptor(int fd, quint64 length, qint32 value, bool randomWrite,
                                   QString* error)
{
    const size_t chunk = size_t(std::min<quint64>(length, kMaxChunk));
    std::vector<char> buffer(chunk);
    if (!randomWrite)
        fillWords(buffer, chunk, quint32(value), false);
    quint64 offset = 0;
    while (offset < length) {
        const size_t n = size_t(std::min<quint64>(chunk, length - offset));
        if (randomWrite)
            fillWords(buffer, n, 0, true);
        int err = 0;
        if (!writeFully(fd, buffer.data(), n, off_t(offset), &err)) {
            SystemLog::log("Could not write in File!!");
            *error = QStringLiteral("could not write: ") + errnoText(err);
            return false;
        }
        // Start the write-back of this chunk now and drop chunks already on disk from the page
        // cache: the disk works while we write, and a large file never fills memory with the
        // pattern. Waiting on a range also collects its write-back error, so any error counts.
        ::sync_file_range(fd, off_t(offset), off_t(n), SYNC_FILE_RANGE_WRITE);
        if (offset >= kWriteBehind) {
            const off_t behind = off_t(offset - kWriteBehind);
            if (::sync_file_range(fd, behind, off_t(n),
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE
                                      | SYNC_FILE_RANGE_WAIT_AFTER)
                    != 0
                && errno != EINVAL && errno != ENOSYS && errno != ESPIPE && errno != EOPNOTSUPP) {
                const int syncErr = errno;
                SystemLog::log("Could not write in File!!");
                *error = QStringLiteral("could not write to disk: ") + errnoText(syncErr);
                return false;
            }
            ::posix_fadvise(fd, behind, off_t(n), POSIX_FADV_DONTNEED);
        }
        offset += n;
    }
    // The pass counts only once it is on the disk.
    if (::fdatasync(fd) != 0) {
        const int err = errno;
        SystemLog::log("Could not write in File!!");
        *error = QStringLiteral("could not flush to disk: ") + errnoText(err);
        return false;
    }
    return true;
}

bool ZPHShred::overwriteFile(const QByteArray& path, quint64 nFileSize, qint32 nValToWrite,
                             bool randomWrite, QString* error)
{
    QString ignored;
    QString& why = error ? *error : ignored;
    why.clear();
    // O_NOFOLLOW: a link swapped in is refused; O_NONBLOCK: a FIFO without reader never hangs.
    const int fd = ::open(path.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                          0700);
    if (fd < 0) {
        const int err = errno;
        SystemLog::log("Could not Open File!!");
        why = QStringLiteral("could not open: ") + errnoText(err);
        return false;
    }
    int err = 0;
    const std::optional<EntryStat> st = DirectoryHandle::statDescriptor(fd, &err);
    bool ok = false;
    if (!st || !S_ISREG(st->mode)) {
        SystemLog::log("Could not Open File!!");
        why = QStringLiteral("not a regular file");
    } else if (st->links > 1) {
        // Overwriting would destroy the data of the file's other names.
        SystemLog::log("Could not Open File!!");
        why = QStringLiteral("has %1 hard links; its other names would lose their data")
                  .arg(quint64(st->links));
    } else {
        ok = overwriteDescriptor(fd, overwriteLength(nFileSize), nValToWrite, randomWrite, &why);
    }
    if (::close(fd) != 0)
        SystemLog::log("Could Not Close File!!");
    return ok;
}

namespace {

// Why the entry `st` in `dir` could not be unlinked by this process, or empty when it can.
QString whyNotRemovable(const DirectoryHandle& dir, const EntryStat& st)
{
    if (::faccessat(dir.fd(), ".", W_OK | X_OK, AT_EACCESS) != 0)
        return QStringLiteral("its folder does not allow removing it: ") + errnoText(errno);
    int err = 0;
    const std::optional<EntryStat> folder = dir.statSelf(&err);
    if (!folder)
        return QStringLiteral("its folder could not be examined: ") + errnoText(err);
    const uid_t me = ::geteuid();
    if ((folder->mode & S_ISVTX) && me != 0 && me != st.owner && me != folder->owner)
        return QStringLiteral("its folder is sticky and the file belongs to another user");
    return {};
}

QString joinDisplay(const QString& folder, const QByteArray& name)
{
    return (folder.endsWith(u'/') ? folder : folder + u'/') + QFile::decodeName(name);
}

} // namespace

ZPHShred::FileOutcome ZPHShred::shredEntry(const DirectoryHandle& dir, const QByteArray& name,
                                           const QString& display, int nPassType,
                                           const EntryStat& root)
{
    int err = 0;
    const std::optional<EntryStat> st = dir.stat(name, &err);
    if (!st) {
        addFailure(display, QStringLiteral("could not be examined: ") + errnoText(err));
        return FileOutcome::Failed;
    }
    if (st->mountRoot || !st->onSameMountAs(root)) {
        addFailure(display, QStringLiteral("on another mounted file system; left untouched"));
        return FileOutcome::Failed;
    }
    if (!S_ISREG(st->mode)) {
        // Links, FIFOs, sockets and devices hold no file data of their own: remove the entry.
        if (::unlinkat(dir.fd(), name.constData(), 0) != 0) {
            addFailure(display, QStringLiteral("could not be removed: ") + errnoText(errno));
            return FileOutcome::Failed;
        }
        std::lock_guard lock(m_reportMutex);
        ++m_report.entriesRemoved;
        return FileOutcome::RemovedUnwritten;
    }
    if (st->links > 1) {
        addFailure(display, QStringLiteral("not erased: the file has %1 hard links and its other "
                                           "names would lose their data")
                                .arg(quint64(st->links)));
        return FileOutcome::Failed;
    }
    if (const QString why = whyNotRemovable(dir, *st); !why.isEmpty()) {
        // Overwriting a file that then cannot be unlinked would leave a wrecked file behind.
        addFailure(display, QStringLiteral("not erased: ") + why);
        return FileOutcome::Failed;
    }

    quint64 covered = 0;
    for (const qint32 value : passValues(nPassType)) {
        const int fd = ::openat(dir.fd(), name.constData(),
                                O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            const int openErr = errno;
            SystemLog::log("Could not Open File!!");
            addFailure(display, QStringLiteral("not erased: could not open: ") + errnoText(openErr));
            return FileOutcome::Failed;
        }
        const std::optional<EntryStat> open = DirectoryHandle::statDescriptor(fd, &err);
        QString why;
        bool ok = false;
        if (!open || !open->sameFileAs(*st) || !S_ISREG(open->mode) || open->links != 1) {
            // Each pass must write the very file that was examined, and nothing else.
            SystemLog::log("Could not Open File!!");
            why = QStringLiteral("changed while being erased");
        } else {
            covered = overwriteLength(std::max(open->size, st->size));
            ok = overwriteDescriptor(fd, covered, value, false, &why);
        }
        if (::close(fd) != 0)
            SystemLog::log("Could Not Close File!!");
        if (!ok) {
            // Never unlink what was not overwritten: its data would stay on the disk unseen.
            addFailure(display, QStringLiteral("not erased: ") + why);
            return FileOutcome::Failed;
        }
    }

    const std::optional<EntryStat> last = dir.stat(name, &err);
    if (!last || !last->sameFileAs(*st) || last->size > covered) {
        addFailure(display, QStringLiteral("not erased: the file changed while being erased"));
        return FileOutcome::Failed;
    }
    if (m_beforeUnlink)
        m_beforeUnlink(display);
    if (::unlinkat(dir.fd(), name.constData(), 0) != 0) {
        const int unlinkErr = errno;
        SystemLog::log("Cannnot removeFile: %s", QFile::encodeName(display).constData());
        addFailure(display, QStringLiteral("overwritten but could not be removed: ")
                                + errnoText(unlinkErr));
        return FileOutcome::Stop;
    }
    std::lock_guard lock(m_reportMutex);
    ++m_report.filesErased;
    m_report.bytesErased += st->size;
    return FileOutcome::Erased;
}

void ZPHShred::setReportFlag(bool ShredReport::*flag)
{
    std::lock_guard lock(m_reportMutex);
    m_report.*flag = true;
}

ZPHShred::Walk ZPHShred::visitFile(const DirectoryHandle& dir, const QByteArray& name,
                                   const QString& display, int nPassType, const EntryStat& root)
{
    waitWhilePaused();
    if (m_bFileShreddingOperationAborted) {
        setReportFlag(&ShredReport::aborted);
        return Walk::Stop;
    }
    if (const int delay = m_perFileDelayMs; delay > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    // Observers look before the first byte is overwritten, while the file is whole.
    sendNotificationToUpdate(QStringLiteral("shred"), 0, 10, display);
    return shredEntry(dir, name, display, nPassType, root) == FileOutcome::Stop ? Walk::Stop
                                                                                : Walk::Continue;
}

ZPHShred::Walk ZPHShred::walkFolder(const DirectoryHandle& dir, const QString& display,
                                    int nPassType, const EntryStat& root)
{
    int err = 0;
    const std::optional<std::vector<QByteArray>> names = dir.names(&err);
    if (!names)
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
            const DirectoryHandle sub = dir.openChild(name, &err);
            const std::optional<EntryStat> opened = sub.isValid() ? sub.statSelf(&err) : std::nullopt;
            if (!opened || !opened->sameFileAs(*st))
                continue;
            if (walkFolder(sub, child, nPassType, root) == Walk::Stop)
                return Walk::Stop;
        }
    }
    return Walk::Continue;
}

bool ZPHShred::removeLeftovers(const DirectoryHandle& parent, const QByteArray& name,
                               const QString& display, const EntryStat& root)
{
    int err = 0;
    const std::optional<EntryStat> st = parent.stat(name, &err);
    if (!st)
        return err == ENOENT;
    if (S_ISREG(st->mode)) {
        addFailure(display, QStringLiteral("not erased"));
        return false;
    }
    // The selected folder may itself be a mount point; everything below must be on its mount.
    if (!st->sameFileAs(root) && !st->onSameMountAs(root)) {
        addFailure(display, QStringLiteral("on another mounted file system; left untouched"));
        return false;
    }
    if (!S_ISDIR(st->mode)) {
        if (::unlinkat(parent.fd(), name.constData(), 0) != 0) {
            addFailure(display, QStringLiteral("could not be removed: ") + errnoText(errno));
            return false;
        }
        std::lock_guard lock(m_reportMutex);
        ++m_report.entriesRemoved;
        return true;
    }
    const DirectoryHandle dir = parent.openChild(name, &err);
    const std::optional<EntryStat> opened = dir.isValid() ? dir.statSelf(&err) : std::nullopt;
    if (!opened || !opened->sameFileAs(*st)) {
        addFailure(display, QStringLiteral("folder could not be read: ") + errnoText(err));
        return false;
    }
    const std::optional<std::vector<QByteArray>> names = dir.names(&err);
    if (!names) {
        addFailure(display, QStringLiteral("folder could not be read: ") + errnoText(err));
        return false;
    }
    bool emptied = true;
    for (const QByteArray& child : *names)
        emptied = removeLeftovers(dir, child, joinDisplay(display, child), root) && emptied;
    if (!emptied)
        return false;
    if (::unlinkat(parent.fd(), name.constData(), AT_REMOVEDIR) != 0) {
        addFailure(display, QStringLiteral("folder could not be removed: ") + errnoText(errno));
        return false;
    }
    std::lock_guard lock(m_reportMutex);
    ++m_report.entriesRemoved;
    return true;
}

ShredReport ZPHShred::shredFile(const QString& path, int nPassType,
                                std::optional<FileIdentity> expected)
{
    {
        std::lock_guard lock(m_reportMutex);
        m_report = ShredReport();
        m_failedPaths.clear();
    }
    // "dir/link/" would make the kernel follow the link: the handed path names the link itself.
    QByteArray native = QFile::encodeName(path);
    while (native.size() > 1 && native.endsWith('/'))
        native.chop(1);
    const QString top = QFile::decodeName(native);
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/")
                                                                        : native.left(slash);
    const QByteArray name = slash < 0 ? native : native.mid(slash + 1);

    int err = 0;
    const DirectoryHandle parent = native.isEmpty() ? DirectoryHandle() : DirectoryHandle::open(folder, &err);
    const std::optional<EntryStat> st =
        parent.isValid() && !name.isEmpty() && name != "." && name != ".." ? parent.stat(name, &err)
                                                                           : std::nullopt;
    if (!st) {
        setReportFlag(&ShredReport::pathMissing);
        return lastReport();
    }
    // The last line of defence under every caller's own checks.
    if (folder == "/") {
        addFailure(top, QStringLiteral("refused: a folder of the system's root is never erased"));
        return lastReport();
    }
    if (S_ISDIR(st->mode)) {
        const QString home = QDir(QDir::homePath()).canonicalPath();
        if (!home.isEmpty() && QDir(top).canonicalPath() == home) {
            addFailure(top, QStringLiteral("refused: the home folder is never erased"));
            return lastReport();
        }
    }
    // A listed file or link must be the very entry that was listed, and never a folder now.
    if (expected && (st->device != expected->device || st->inode != expected->inode || S_ISDIR(st->mode))) {
        addFailure(top, QStringLiteral("not erased: it changed since it was listed"));
        return lastReport();
    }

    if (!S_ISDIR(st->mode)) {
        // The handed entry itself; a file bind-mounted here is the root of its own mount.
        if (visitFile(parent, name, top, nPassType, *st) == Walk::Stop)
            return lastReport();
    } else {
        const DirectoryHandle dir = parent.openChild(name, &err);
        const std::optional<EntryStat> opened = dir.isValid() ? dir.statSelf(&err) : std::nullopt;
        if (!opened || !opened->sameFileAs(*st)) {
            addFailure(top, QStringLiteral("folder could not be read: ") + errnoText(err));
            return lastReport();
        }
        // The selection's own mount: the folder may itself be a mount point.
        EntryStat root = *opened;
        root.mountRoot = false;
        if (walkFolder(dir, top, nPassType, root) == Walk::Stop) {
            std::lock_guard lock(m_reportMutex);
            if (!m_report.aborted)
                m_report.failures.append({top, QStringLiteral("stopped: the files after the one above were not reached")});
            return m_report;
        }
        if (m_bFileShreddingOperationAborted) {
            setReportFlag(&ShredReport::aborted);
            return lastReport();
        }
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
