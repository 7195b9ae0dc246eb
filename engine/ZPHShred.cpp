#include "ZPHShred.h"

#include "NotificationCenter.h"
#include "SystemLog.h"
#include "ZPHFileFunctions.h"

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

// Why the entry at `path` (whose own status is `st`) could not be unlinked by this process, or
// empty when it can: its folder must be writable and searchable, and in a sticky folder the
// process must own the file or the folder.
QString whyNotRemovable(const QByteArray& path, const struct stat& st)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    if (::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return QStringLiteral("its folder does not allow removing it: ") + errnoText(errno);
    struct stat folderStat;
    if (::stat(folder.constData(), &folderStat) != 0)
        return QStringLiteral("its folder could not be examined: ") + errnoText(errno);
    const uid_t me = ::geteuid();
    if ((folderStat.st_mode & S_ISVTX) && me != 0 && me != st.st_uid && me != folderStat.st_uid)
        return QStringLiteral("its folder is sticky and the file belongs to another user");
    return {};
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

bool ZPHShred::overwriteFile(const QByteArray& path, quint64 nFileSize, qint32 nValToWrite,
                             bool randomWrite, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    // O_NOFOLLOW: a link swapped in is refused; O_NONBLOCK: a FIFO without reader never hangs.
    const int fd = ::open(path.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                          0700);
    if (fd < 0) {
        const int err = errno;
        SystemLog::log("Could not Open File!!");
        return fail(QStringLiteral("could not open: ") + errnoText(err));
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        SystemLog::log("Could not Open File!!");
        return fail(QStringLiteral("not a regular file"));
    }
    if (st.st_nlink > 1) {
        // Overwriting would destroy the data of the file's other names.
        ::close(fd);
        SystemLog::log("Could not Open File!!");
        return fail(QStringLiteral("has %1 hard links; its other names would lose their data")
                        .arg(quint64(st.st_nlink)));
    }

    const quint64 length = overwriteLength(nFileSize);
    const size_t chunk = size_t(std::min<quint64>(length, kMaxChunk));
    std::vector<char> buffer(chunk);
    if (!randomWrite)
        fillWords(buffer, chunk, quint32(nValToWrite), false);
    quint64 offset = 0;
    while (offset < length) {
        const size_t n = size_t(std::min<quint64>(chunk, length - offset));
        if (randomWrite)
            fillWords(buffer, n, 0, true);
        int err = 0;
        if (!writeFully(fd, buffer.data(), n, off_t(offset), &err)) {
            ::close(fd);
            SystemLog::log("Could not write in File!!");
            return fail(QStringLiteral("could not write: ") + errnoText(err));
        }
        // Start the write-back of this chunk now and drop chunks already on disk from the page
        // cache: the disk works while we write, and a large file never fills memory with zeros.
        // The fdatasync below remains the check that the pass is durable.
        ::sync_file_range(fd, off_t(offset), off_t(n), SYNC_FILE_RANGE_WRITE);
        if (offset >= kWriteBehind) {
            const off_t behind = off_t(offset - kWriteBehind);
            if (::sync_file_range(fd, behind, off_t(n),
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE
                                      | SYNC_FILE_RANGE_WAIT_AFTER)
                    != 0
                && errno == EIO) {
                ::close(fd);
                SystemLog::log("Could not write in File!!");
                return fail(QStringLiteral("could not write: ") + errnoText(EIO));
            }
            ::posix_fadvise(fd, behind, off_t(n), POSIX_FADV_DONTNEED);
        }
        offset += n;
    }
    // The pass counts only once it is on the disk.
    if (::fdatasync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        SystemLog::log("Could not write in File!!");
        return fail(QStringLiteral("could not flush to disk: ") + errnoText(err));
    }
    if (::close(fd) != 0)
        SystemLog::log("Could Not Close File!!");
    if (error)
        error->clear();
    return true;
}

ZPHShred::FileOutcome ZPHShred::shredOneFile(const QString& path, int nPassType)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0) {
        addFailure(path, QStringLiteral("could not be examined: ") + errnoText(errno));
        return FileOutcome::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        // Links, FIFOs, sockets and devices hold no file data of their own: remove the entry.
        if (::unlink(native.constData()) != 0) {
            addFailure(path, QStringLiteral("could not be removed: ") + errnoText(errno));
            return FileOutcome::Failed;
        }
        std::lock_guard lock(m_reportMutex);
        ++m_report.entriesRemoved;
        return FileOutcome::RemovedUnwritten;
    }
    if (st.st_nlink > 1) {
        addFailure(path, QStringLiteral("not erased: the file has %1 hard links and its other "
                                        "names would lose their data")
                             .arg(quint64(st.st_nlink)));
        return FileOutcome::Failed;
    }
    if (const QString why = whyNotRemovable(native, st); !why.isEmpty()) {
        // Overwriting a file that then cannot be unlinked would leave a wrecked file behind.
        addFailure(path, QStringLiteral("not erased: ") + why);
        return FileOutcome::Failed;
    }
    const quint64 size = ZPHFileFunctions::getFileSize(path).toULongLong();
    for (const qint32 value : passValues(nPassType)) {
        QString error;
        if (!overwriteFile(native, size, value, false, &error)) {
            // Never unlink what was not overwritten: its data would stay on the disk unseen.
            addFailure(path, QStringLiteral("not erased: ") + error);
            return FileOutcome::Failed;
        }
    }
    if (m_beforeUnlink)
        m_beforeUnlink(path);
    if (::unlink(native.constData()) != 0) {
        const int err = errno;
        SystemLog::log("Cannnot removeFile: %s", native.constData());
        addFailure(path, QStringLiteral("overwritten but could not be removed: ") + errnoText(err));
        return FileOutcome::Stop;
    }
    std::lock_guard lock(m_reportMutex);
    ++m_report.filesErased;
    m_report.bytesErased += size;
    return FileOutcome::Erased;
}

bool ZPHShred::removeLeftovers(const QByteArray& path, dev_t rootDevice)
{
    const QString name = QFile::decodeName(path);
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return errno == ENOENT;
    if (S_ISREG(st.st_mode)) {
        addFailure(name, QStringLiteral("not erased"));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(path.constData()) != 0) {
            addFailure(name, QStringLiteral("could not be removed: ") + errnoText(errno));
            return false;
        }
        std::lock_guard lock(m_reportMutex);
        ++m_report.entriesRemoved;
        return true;
    }
    if (st.st_dev != rootDevice) {
        addFailure(name, QStringLiteral("on another mounted file system; left untouched"));
        return false;
    }
    std::vector<QByteArray> children;
    if (DIR* dir = ::opendir(path.constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                children.push_back(path + '/' + entry->d_name);
        }
        ::closedir(dir);
    } else {
        addFailure(name, QStringLiteral("folder could not be read: ") + errnoText(errno));
        return false;
    }
    bool emptied = true;
    for (const QByteArray& child : children)
        emptied = removeLeftovers(child, rootDevice) && emptied;
    if (!emptied)
        return false;
    if (::rmdir(path.constData()) != 0) {
        addFailure(name, QStringLiteral("folder could not be removed: ") + errnoText(errno));
        return false;
    }
    std::lock_guard lock(m_reportMutex);
    ++m_report.entriesRemoved;
    return true;
}

void ZPHShred::shredFile(const QString& path, int nPassType)
{
    {
        std::lock_guard lock(m_reportMutex);
        m_report = ShredReport();
        m_failedPaths.clear();
    }
    // "dir/link/" would make lstat follow the link: the handed path names the link itself.
    QByteArray native = QFile::encodeName(path);
    while (native.size() > 1 && native.endsWith('/'))
        native.chop(1);
    const QString top = QFile::decodeName(native);
    struct stat st;
    if (native.isEmpty() || ::lstat(native.constData(), &st) != 0) {
        std::lock_guard lock(m_reportMutex);
        m_report.pathMissing = true;
        return;
    }
    const bool isFolder = S_ISDIR(st.st_mode);
    const QStringList work = isFolder ? ZPHFileFunctions::getFilesListFromDirectoryPath(top)
                                      : QStringList{top};

    for (const QString& file : work) {
        waitWhilePaused();
        if (m_bFileShreddingOperationAborted) {
            std::lock_guard lock(m_reportMutex);
            m_report.aborted = true;
            return;
        }
        if (const int delay = m_perFileDelayMs; delay > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        // Observers look before the first byte is overwritten, while the file is whole.
        sendNotificationToUpdate(QStringLiteral("shred"), 0, 10, file);
        if (shredOneFile(file, nPassType) == FileOutcome::Stop)
            return;
    }

    if (m_bFileShreddingOperationAborted) {
        std::lock_guard lock(m_reportMutex);
        m_report.aborted = true;
        return;
    }
    bool removed = true;
    if (isFolder)
        removed = removeLeftovers(native, st.st_dev);
    else
        removed = ::lstat(native.constData(), &st) != 0 && errno == ENOENT;
    std::lock_guard lock(m_reportMutex);
    m_report.pathRemoved = removed;
}
