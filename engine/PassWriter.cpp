// SPDX-License-Identifier: GPL-3.0-or-later
#include "PassWriter.h"

#include "DirectoryHandle.h"
#include "PathText.h"
#include "SystemLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// How far behind the write position chunks are waited for and dropped from the cache.
constexpr quint64 kWriteBehind = 16 * 1024 * 1024;

using Kind = ShredFailure::Kind;

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

void fillRandom(char* buffer, size_t length)
{
    for (size_t i = 0; i < length; i += sizeof(quint32)) {
        const quint32 word = quint32(std::rand()) % 0xFFFFFFFFu;
        std::memcpy(buffer + i, &word, sizeof word);
    }
}

} // namespace

QList<qint32> PassWriter::passValues(int nPassType)
{
    switch (nPassType) {
    case 2:
        return {-1};
    case 3:
        return {0, -1, qint32(kPattern3)};
    default:
        return {0};
    }
}

quint64 PassWriter::overwriteLength(quint64 size)
{
    if (size % kBlockSize == 0)
        return size;
    return (size / kBlockSize + 1) * kBlockSize;
}

void PassWriter::fillPattern(char* buffer, size_t length, qint32 value)
{
    const quint32 word = quint32(value);
    for (size_t i = 0; i < length; i += sizeof word)
        std::memcpy(buffer + i, &word, std::min(sizeof word, length - i));
}

PassWriter::Result PassWriter::write(int fd, quint64 length, qint32 value, bool randomWrite,
    bool sync, ShredFailure::Kind* kind, int* error) const
{
    const size_t chunk = size_t(std::min<quint64>(length, kMaxChunk));
    std::vector<char> buffer(chunk);
    if (!randomWrite)
        fillPattern(buffer.data(), chunk, value);
    const auto fail = [&](Kind why, int err) {
        SystemLog::log("Could not write in File!!");
        *kind = why;
        *error = err;
        return Result::Failed;
    };
    quint64 offset = 0;
    while (offset < length) {
        const size_t n = size_t(std::min<quint64>(chunk, length - offset));
        if (randomWrite)
            fillRandom(buffer.data(), n);
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
        if (m_stop && offset < length)
            return Result::Stopped;
    }
    // The pass counts only once it is on the disk; a batch makes it durable for all its files.
    if (sync && ::fdatasync(fd) != 0)
        return fail(Kind::SyncFailed, errno);
    return Result::Done;
}

bool PassWriter::overwritePath(const QByteArray& path, quint64 size, qint32 value, bool randomWrite,
    ShredFailure& failure) const
{
    failure.path = PathText::fromNative(path);
    // O_NOFOLLOW: a link swapped in is refused; O_NONBLOCK: a FIFO without reader never hangs.
    const int fd
        = ::open(path.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0700);
    if (fd < 0) {
        failure.kind = Kind::OpenFailed;
        failure.error = errno;
        SystemLog::log("Could not Open File!!");
        return false;
    }
    int err = 0;
    const std::optional<EntryStat> st = DirectoryHandle::statDescriptor(fd, &err);
    bool ok = false;
    if (!st || !S_ISREG(st->mode)) {
        SystemLog::log("Could not Open File!!");
        failure.kind = Kind::OpenFailed;
        failure.error = st ? EINVAL : err;
    } else if (st->links > 1) {
        // Overwriting would destroy the data of the file's other names.
        SystemLog::log("Could not Open File!!");
        failure.kind = Kind::HardLinks;
        failure.detail = quint64(st->links);
    } else {
        ok = write(
                 fd, overwriteLength(size), value, randomWrite, true, &failure.kind, &failure.error)
            == Result::Done;
    }
    if (::close(fd) != 0)
        SystemLog::log("Could Not Close File!!");
    return ok;
}
