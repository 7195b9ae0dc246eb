// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchFolder.h"

#include "BenchError.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr quint64 kMiB = 1024 * 1024;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

void writeAll(int fd, const char* data, size_t length, const QString& path)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            BenchError::raise(QStringLiteral("could not write %1: %2").arg(path, errnoText()));
        data += n;
        length -= size_t(n);
    }
}

int createFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        BenchError::raise(QStringLiteral("could not create %1: %2").arg(path, errnoText()));
    return fd;
}

void finishFile(int fd, const QString& path, bool durable)
{
    if (durable && ::fsync(fd) != 0) {
        ::close(fd);
        BenchError::raise(QStringLiteral("could not fsync %1: %2").arg(path, errnoText()));
    }
    if (::close(fd) != 0)
        BenchError::raise(QStringLiteral("could not close %1: %2").arg(path, errnoText()));
}

} // namespace

BenchFolder::BenchFolder(const QString& workDir, quint64 largeBytes)
    : m_workDir(QDir::cleanPath(workDir))
    , m_largeBytes(largeBytes)
{
    // Deterministic, never-zero filler, so every erase has real work to undo.
    m_fill.resize(kMiB);
    quint64 x = 0x9E3779B97F4A7C15ull;
    for (char& c : m_fill) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = char((x & 0xFF) ? (x & 0xFF) : 0x5A);
    }
}

bool BenchFolder::pathGone(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT;
}

QString BenchFolder::inWork(const QString& name) const
{
    return m_workDir + QLatin1Char('/') + name;
}

void BenchFolder::requireInside(const QString& path) const
{
    const QString clean = QDir::cleanPath(path);
    if (!clean.startsWith(m_workDir + QLatin1Char('/')) || clean.contains(QStringLiteral("/../")))
        BenchError::raise(
            QStringLiteral("refusing to touch %1: outside the benchmark folder").arg(path));
}

void BenchFolder::removeIfPresent(const QString& path) const
{
    requireInside(path);
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        BenchError::raise(QStringLiteral("could not remove %1: %2").arg(path, errnoText()));
}

void BenchFolder::makeLargeFile(const QString& path) const
{
    requireInside(path);
    removeIfPresent(path);
    const int fd = createFile(path);
    for (quint64 done = 0; done < m_largeBytes; done += kMiB)
        writeAll(fd, m_fill.data(), kMiB, path);
    finishFile(fd, path, true);
}

void BenchFolder::makePatternSource(const QString& path, quint32 word) const
{
    requireInside(path);
    std::vector<char> block(kMiB);
    for (size_t i = 0; i < block.size(); i += sizeof word)
        std::memcpy(block.data() + i, &word, sizeof word);
    const int fd = createFile(path);
    for (quint64 done = 0; done < m_largeBytes; done += kMiB)
        writeAll(fd, block.data(), kMiB, path);
    finishFile(fd, path, true);
}

quint64 BenchFolder::makeTree(const QString& root, int count, QStringList* relativeFiles) const
{
    requireInside(root);
    static const QStringList folders {
        QStringLiteral("alpha"),
        QStringLiteral("beta"),
        QStringLiteral("beta/inner"),
        QStringLiteral("gamma"),
        QStringLiteral("gamma/inner/deep"),
    };
    if (!QDir().mkpath(root))
        BenchError::raise(QStringLiteral("could not make %1").arg(root));
    for (const QString& folder : folders) {
        if (!QDir(root).mkpath(folder))
            BenchError::raise(QStringLiteral("could not make %1/%2").arg(root, folder));
    }
    relativeFiles->clear();
    quint64 total = 0;
    for (int i = 0; i < count; ++i) {
        // 1 KiB to 12 KiB, spread evenly and the same on every run.
        const quint64 size = 1024 + (quint64(i) * 2654435761ull) % (11 * 1024 + 1);
        const QString relative = folders[i % folders.size()]
            + QStringLiteral("/f%1.dat").arg(i, 5, 10, QLatin1Char('0'));
        const QString path = root + QLatin1Char('/') + relative;
        const int fd = createFile(path);
        const size_t offset = (size_t(i) * 4099) % (m_fill.size() - 12 * 1024 - 1);
        writeAll(fd, m_fill.data() + offset, size, path);
        finishFile(fd, path, false);
        relativeFiles->append(relative);
        total += size;
    }
    ::sync(); // one flush for the whole tree instead of one per file
    return total;
}

// dd must have written over the file in place: same size, and the pass's bytes at the start.
void BenchFolder::checkLargeFileStart(const QString& path, quint32 word) const
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0
        || quint64(st.st_size) != m_largeBytes)
        BenchError::raise(QStringLiteral("%1 does not have its size after dd").arg(path));
    QFile file(path);
    quint32 first = 0;
    if (!file.open(QIODevice::ReadOnly)
        || file.read(reinterpret_cast<char*>(&first), sizeof first) != sizeof first
        || first != word)
        BenchError::raise(QStringLiteral("%1 does not start with the bytes dd wrote").arg(path));
}

// The engine's run ends with the file unlinked, dd's does not: this times the unlink dd
// leaves to the benchmark, so the two can also be compared doing the same work.
double BenchFolder::timeUnlink(const QString& path) const
{
    requireInside(path);
    const auto start = std::chrono::steady_clock::now();
    if (::unlink(QFile::encodeName(path).constData()) != 0)
        BenchError::raise(QStringLiteral("could not remove %1: %2").arg(path, errnoText()));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
