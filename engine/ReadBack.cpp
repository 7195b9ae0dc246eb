// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadBack.h"

#include "PassWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct FreeDeleter
{
    void operator()(char* p) const { std::free(p); }
};

} // namespace

bool ReadBack::verify(const DirectoryHandle& dir, const QByteArray& name, const EntryStat& st,
    quint64 length, qint32 value, ShredFailure::Kind* kind, int* error) const
{
    using Kind = ShredFailure::Kind;
    constexpr quint64 kBlock = PassWriter::kBlockSize;
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

    const size_t chunk
        = size_t(std::min<quint64>(std::max<quint64>(length, kBlock), PassWriter::kMaxChunk));
    std::unique_ptr<char, FreeDeleter> buffer(
        static_cast<char*>(std::aligned_alloc(kBlock, chunk)));
    std::vector<char> expected(chunk);
    PassWriter::fillPattern(expected.data(), chunk, value);
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
