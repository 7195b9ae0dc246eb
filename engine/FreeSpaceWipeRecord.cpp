// SPDX-License-Identifier: GPL-3.0-or-later
#include "FreeSpaceWipeRecord.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class LockedRecord
{
public:
    LockedRecord()
    {
        const QString file = FreeSpaceWipeRecord::path();
        QDir().mkpath(QFileInfo(file).path());
        m_fd = ::open(
            QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~LockedRecord()
    {
        if (m_fd >= 0)
            ::close(m_fd); // also releases the lock
    }
    LockedRecord(const LockedRecord&) = delete;
    LockedRecord& operator=(const LockedRecord&) = delete;

    bool isValid() const { return m_fd >= 0; }
    QList<QByteArray> read() const
    {
        QByteArray all;
        char buffer[4096];
        ssize_t n = 0;
        off_t at = 0;
        while ((n = ::pread(m_fd, buffer, sizeof buffer, at)) > 0) {
            all.append(buffer, n);
            at += n;
        }
        QList<QByteArray> lines;
        for (const QByteArray& line : all.split('\n')) {
            if (!line.isEmpty())
                lines.append(line);
        }
        return lines;
    }
    bool write(const QList<QByteArray>& lines) const
    {
        QByteArray all;
        for (const QByteArray& line : lines)
            all += line + '\n';
        // Short and rewritten whole: a torn write loses at most a line that the next wipe of
        // that folder records again.
        return ::ftruncate(m_fd, 0) == 0
            && ::pwrite(m_fd, all.constData(), size_t(all.size()), 0) == all.size()
            && ::fsync(m_fd) == 0;
    }

private:
    int m_fd = -1;
};

} // namespace

QString FreeSpaceWipeRecord::path()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/corvane/free-space-wipes");
}

bool FreeSpaceWipeRecord::add(const QByteArray& folder)
{
    LockedRecord record;
    if (!record.isValid())
        return false;
    QList<QByteArray> lines = record.read();
    if (!lines.contains(folder))
        lines.append(folder);
    return record.write(lines);
}

void FreeSpaceWipeRecord::remove(const QByteArray& folder)
{
    LockedRecord record;
    QList<QByteArray> lines = record.read();
    if (lines.removeAll(folder) > 0)
        record.write(lines);
}

QList<QByteArray> FreeSpaceWipeRecord::entries()
{
    LockedRecord record;
    return record.isValid() ? record.read() : QList<QByteArray>();
}

bool FreeSpaceWipeRecord::isFillName(const QByteArray& name)
{
    return name.startsWith("fill-") || name == "journal-cycle";
}

bool FreeSpaceWipeRecord::removeFolderAt(int parentFd, const QByteArray& name)
{
    if (!name.startsWith(kFolderPrefix)) {
        errno = EINVAL;
        return false;
    }
    const int fd
        = ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    struct stat st;
    // A wipe still running holds the lock: its folder is not a leftover.
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err == EWOULDBLOCK ? EBUSY : err;
        return false;
    }
    // Read through a second description, so that the lock stays held until the folder goes.
    if (DIR* listing = ::fdopendir(::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))) {
        while (const dirent* entry = ::readdir(listing)) {
            if (isFillName(QByteArray(entry->d_name)))
                ::unlinkat(fd, entry->d_name, 0);
        }
        ::closedir(listing);
    }
    const bool gone = ::unlinkat(parentFd, name.constData(), AT_REMOVEDIR) == 0 || errno == ENOENT;
    const int err = errno;
    ::close(fd);
    errno = err;
    return gone;
}

int FreeSpaceWipeRecord::removeLeftovers()
{
    LockedRecord record;
    if (!record.isValid())
        return 0;
    const QList<QByteArray> lines = record.read();
    QList<QByteArray> kept;
    int removed = 0;
    for (const QByteArray& folder : lines) {
        const qsizetype slash = folder.lastIndexOf('/');
        const int parent = slash <= 0
            ? -1
            : ::open(folder.left(slash).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (parent < 0) {
            if (errno != ENOENT)
                kept.append(folder); // its disk may come back
            continue;
        }
        struct stat st;
        const QByteArray name = folder.mid(slash + 1);
        const bool there = ::fstatat(parent, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        if (!there) {
            ::close(parent);
            continue;
        }
        if (removeFolderAt(parent, name))
            ++removed;
        else
            kept.append(folder);
        ::close(parent);
    }
    if (kept != lines)
        record.write(kept);
    return removed;
}
