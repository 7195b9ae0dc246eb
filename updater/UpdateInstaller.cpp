// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateInstaller.h"

#include "VersionNumber.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

UpdateError failure(const QString& path, int error)
{
    return {
        UpdateError::Kind::Install, path + u": " + QString::fromLocal8Bit(std::strerror(error))};
}

bool syncFolder(const QString& path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

/// Copies the regular file `from` to the new file `to`, synced, with `from`'s permission bits
/// (no set-ID bits).
UpdateError copyFile(const QString& from, const QString& to)
{
    const int in = ::open(native(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return failure(from, errno);
    struct stat st
    {
    };
    if (::fstat(in, &st) != 0) {
        const int error = errno;
        ::close(in);
        return failure(from, error);
    }
    const int out = ::open(native(to).constData(),
        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, st.st_mode & 0755);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return failure(to, error);
    }
    char buffer[64 * 1024];
    int error = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        for (ssize_t done = 0; done < got && !error;) {
            const ssize_t put = ::write(out, buffer + done, size_t(got - done));
            if (put < 0 && errno != EINTR)
                error = errno;
            else if (put > 0)
                done += put;
        }
        if (error)
            break;
    }
    // The umask may have taken bits off; the mode must be the archive's.
    if (!error && (::fchmod(out, st.st_mode & 0755) != 0 || ::fsync(out) != 0))
        error = errno;
    ::close(in);
    if (::close(out) != 0 && !error)
        error = errno;
    return error ? failure(to, error) : UpdateError::none();
}

QString stagedPath(const QString& target)
{
    const QFileInfo info(target);
    return info.path() + u'/' + UpdateInstaller::stagedPrefix + info.fileName();
}

} // namespace

UpdateInstaller::UpdateInstaller(const QString& executablePath)
{
    const QFileInfo program(executablePath);
    const QDir bin = program.absoluteDir();
    if (program.fileName() == u"corvane" && bin.dirName() == u"bin") {
        QDir prefix = bin;
        prefix.cdUp();
        m_prefix = prefix.absolutePath();
    }
}

UpdateInstaller::Kind UpdateInstaller::kind() const
{
    if (m_prefix.isEmpty())
        return Kind::Managed;
    // The system's own prefixes belong to the package manager even when root could write them.
    if (m_prefix == u"/" || m_prefix == u"/usr")
        return Kind::Managed;
    // A build folder is rebuilt from its source, not updated.
    if (QFileInfo::exists(m_prefix + u"/CMakeCache.txt"))
        return Kind::Managed;
    if (::access(native(m_prefix).constData(), W_OK) != 0
        || ::access(native(m_prefix + u"/bin").constData(), W_OK) != 0)
        return Kind::Managed;
    return Kind::UserPrefix;
}

UpdateError UpdateInstaller::checkTree(const QString& tree)
{
    struct stat st
    {
    };
    const QString program = tree + u"/bin/corvane";
    if (::lstat(native(program).constData(), &st) != 0 || !S_ISREG(st.st_mode)
        || !(st.st_mode & S_IXUSR))
        return {UpdateError::Kind::ArchiveMalformed, QStringLiteral("no bin/corvane program")};
    return UpdateError::none();
}

QString UpdateInstaller::treeVersion(const QString& tree)
{
    // Where a link or a FIFO stands, there is no version: nothing is followed or waited on.
    const int fd = ::open(native(tree + u'/' + versionFile).constData(),
        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st
    {
    };
    char text[65];
    ssize_t length = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        while ((length = ::read(fd, text, sizeof text)) < 0 && errno == EINTR) { }
    }
    ::close(fd);
    if (length < 0 || length == qsizetype(sizeof text))
        return {};
    const QByteArray version = QByteArray(text, length).trimmed();
    for (const char c : version) {
        if (c <= ' ' || c > '~')
            return {};
    }
    return QString::fromLatin1(version);
}

UpdateError UpdateInstaller::checkVersion(
    const QString& tree, const QString& announced, const QString& running)
{
    const QString version = treeVersion(tree);
    if (version.isEmpty())
        return {UpdateError::Kind::VersionMismatch,
            u"the archive does not say which version it is (no " + versionFile + u')'};
    if (VersionNumber::compare(version, announced) != 0)
        return {UpdateError::Kind::VersionMismatch,
            u"the archive holds version " + version + u", the feed announced " + announced};
    if (VersionNumber::compare(version, running) <= 0)
        return {UpdateError::Kind::VersionMismatch,
            u"the archive holds version " + version + u", not newer than the running " + running};
    return UpdateError::none();
}

UpdateError UpdateInstaller::install(const QString& tree) const
{
    if (kind() != Kind::UserPrefix)
        return {UpdateError::Kind::Install, m_prefix + u": not a prefix this user installs into"};
    if (UpdateError error = checkTree(tree))
        return error;

    // Parents come before what they hold.
    QStringList entries;
    QDirIterator walk(tree, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (walk.hasNext())
        entries << QDir(tree).relativeFilePath(walk.next());
    entries.sort();

    QStringList staged; // relative paths with a staged file beside their target
    QSet<QString> folders {m_prefix};
    const auto discard = [&] {
        for (const QString& relative : std::as_const(staged))
            ::unlink(native(stagedPath(m_prefix + u'/' + relative)).constData());
    };

    for (const QString& relative : std::as_const(entries)) {
        const QString from = tree + u'/' + relative;
        const QString to = m_prefix + u'/' + relative;
        struct stat source
        {
        };
        struct stat existing
        {
        };
        if (::lstat(native(from).constData(), &source) != 0) {
            discard();
            return failure(from, errno);
        }
        const bool exists = ::lstat(native(to).constData(), &existing) == 0;
        if (S_ISDIR(source.st_mode)) {
            // A folder the user replaced by a link to a folder (a ~/.local/share kept elsewhere)
            // is used as it is.
            struct stat followed
            {
            };
            const bool isFolder
                = ::stat(native(to).constData(), &followed) == 0 && S_ISDIR(followed.st_mode);
            if (exists && !isFolder) {
                discard();
                return {UpdateError::Kind::Install, to + u": not a folder"};
            }
            if (!exists && ::mkdir(native(to).constData(), 0755) != 0) {
                discard();
                return failure(to, errno);
            }
            continue;
        }
        if (exists && S_ISDIR(existing.st_mode)) {
            discard();
            return {UpdateError::Kind::Install, to + u": a folder stands where a file goes"};
        }
        const QString temporary = stagedPath(to);
        ::unlink(native(temporary).constData()); // left by an earlier try that failed
        UpdateError error;
        if (S_ISLNK(source.st_mode)) {
            QByteArray link(PATH_MAX, '\0');
            const ssize_t length = ::readlink(native(from).constData(), link.data(), link.size());
            if (length < 0
                || ::symlink(QByteArray(link.constData(), length).constData(),
                       native(temporary).constData())
                    != 0)
                error = failure(temporary, errno);
        } else {
            error = copyFile(from, temporary);
        }
        if (error) {
            ::unlink(native(temporary).constData());
            discard();
            return error;
        }
        staged << relative;
        folders.insert(QFileInfo(to).path());
    }
    for (const QString& folder : std::as_const(folders)) {
        if (!syncFolder(folder)) {
            discard();
            return failure(folder, errno);
        }
    }

    // From here on the swap is complete or, after a crash, completed at the next start.
    QSaveFile journal(m_prefix + u'/' + journalName);
    if (!journal.open(QIODevice::WriteOnly)) {
        discard();
        return {UpdateError::Kind::Install, journal.fileName() + u": " + journal.errorString()};
    }
    for (const QString& relative : std::as_const(staged))
        journal.write(native(relative) + '\n');
    if (!journal.commit()) {
        discard();
        return {UpdateError::Kind::Install, journal.fileName() + u": " + journal.errorString()};
    }
    syncFolder(m_prefix);
    return finishInterruptedInstall();
}

UpdateError UpdateInstaller::finishInterruptedInstall() const
{
    if (m_prefix.isEmpty())
        return UpdateError::none();
    const QString journalPath = m_prefix + u'/' + journalName;
    QFile journal(journalPath);
    if (!journal.exists())
        return UpdateError::none();
    if (!journal.open(QIODevice::ReadOnly))
        return {UpdateError::Kind::Install, journalPath + u": " + journal.errorString()};
    QSet<QString> folders {m_prefix};
    UpdateError result;
    for (const QByteArray& line : journal.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QString relative = QFile::decodeName(line);
        if (relative.startsWith(u'/') || relative.split(u'/').contains(QStringLiteral("..")))
            continue; // never written by us
        const QString target = m_prefix + u'/' + relative;
        const QString temporary = stagedPath(target);
        struct stat st
        {
        };
        if (::lstat(native(temporary).constData(), &st) != 0)
            continue; // renamed before the interruption
        if (::rename(native(temporary).constData(), native(target).constData()) != 0 && !result)
            result = failure(target, errno);
        folders.insert(QFileInfo(target).path());
    }
    for (const QString& folder : std::as_const(folders))
        syncFolder(folder);
    if (result)
        return result; // the journal stays, so the next start tries again
    journal.close();
    ::unlink(native(journalPath).constData());
    syncFolder(m_prefix);
    return UpdateError::none();
}
