// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserDefaults.h"

#include "PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

// Writes `bytes` to `path` so that a reader sees either the old or the new file, never a mix.
bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    // Make the rename itself durable; if the folder cannot be synced the change may be lost in
    // a crash, so the caller hears of it. EINVAL: the file system cannot sync folders at all.
    const int dirFd = ::open(
        QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return false;
    const bool synced = ::fsync(dirFd) == 0 || errno == EINVAL;
    ::close(dirFd);
    return synced;
}

// Follows symbolic links at `path` to the file they finally name, which need not exist yet, so
// that a link kept by a dotfile manager stays a link and its target gets the new content.
// Empty (with errno set) when the links loop or cannot be read.
QString resolveLinks(const QString& path)
{
    QString current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(QFile::encodeName(current).constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            // Name the folder without links so the temporary file lands beside the real file.
            const QFileInfo info(current);
            char* folder = ::realpath(QFile::encodeName(info.path()).constData(), nullptr);
            if (!folder)
                return current;
            const QString real = QFile::decodeName(folder);
            std::free(folder);
            return (real == u"/" ? QString() : real) + u'/' + info.fileName();
        }
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length
            = ::readlink(QFile::encodeName(current).constData(), target.data(), target.size());
        if (length < 0 || length >= target.size())
            return {};
        const QString link = QFile::decodeName(target.left(length));
        current = link.startsWith(u'/') ? link : QFileInfo(current).path() + u'/' + link;
    }
    errno = ELOOP;
    return {};
}

} // namespace

UserDefaults::UserDefaults(QString filePath)
    : m_filePath(std::move(filePath))
{ }

UserDefaults& UserDefaults::standardUserDefaults()
{
    static UserDefaults defaults(defaultFilePath());
    return defaults;
}

QString UserDefaults::defaultFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/corvane/defaults.plist");
}

void UserDefaults::loadLocked() const
{
    if (m_loaded)
        return;
    m_loaded = true;
    // Saving replaces the whole file, so any doubt about what it holds makes the store read-only:
    // losing one change is better than losing every setting the user has.
    const auto becomeReadOnly = [this](const char* what, int error) {
        m_readOnly = true;
        std::fprintf(stderr,
            "corvane: settings file %s %s (%s); settings will not be saved this session\n",
            qPrintable(m_filePath), what, std::strerror(error));
    };
    m_writePath = resolveLinks(m_filePath);
    if (m_writePath.isEmpty()) {
        becomeReadOnly("cannot be resolved", errno);
        return;
    }
    using Status = PropertyList::FileResult::Status;
    const PropertyList::FileResult file = PropertyList::readFile(m_writePath);
    if (file.status == Status::Missing)
        return; // nothing there yet (or no folder for it): the first write makes it
    if (file.status == Status::Unreadable) {
        becomeReadOnly("cannot be read", file.error);
        return;
    }
    if (file.status == Status::Parsed && file.value.typeId() == QMetaType::QVariantMap) {
        m_values = file.value.toMap();
        return;
    }
    // Keep the damaged file for the user to look at; the next write must not destroy it. A
    // regular file is kept where it is, beside the file a link may name. Anything else (a FIFO,
    // a folder, a link to a device) is no file to move or write through: the entry at the
    // settings path itself is set aside, and the next write makes a file in its place.
    const bool replaceEntry = file.status == Status::NotRegularFile;
    const QString damaged = replaceEntry ? m_filePath : m_writePath;
    const QString stamp
        = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = damaged + QStringLiteral(".corrupt-") + stamp;
    for (int n = 1; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = damaged + QStringLiteral(".corrupt-") + stamp + u'-' + QString::number(n);
    // Not QFile::rename: on failure it falls back to copying, which is not what is wanted here.
    if (::rename(QFile::encodeName(damaged).constData(), QFile::encodeName(aside).constData())
        != 0) {
        becomeReadOnly("is damaged and could not be moved aside", errno);
        return;
    }
    if (replaceEntry)
        m_writePath = resolveLinks(m_filePath);
    m_corruptKeptAt = aside;
    std::fprintf(stderr, "corvane: settings file %s %s; kept as %s\n", qPrintable(m_filePath),
        qPrintable(
            file.status == Status::Parsed ? QStringLiteral("holds no dictionary") : file.reason()),
        qPrintable(aside));
}

bool UserDefaults::saveLocked() const
{
    if (m_readOnly)
        return false;
    const std::optional<QByteArray> xml = PropertyList::toXml(m_values);
    return xml && writeAtomically(m_writePath, *xml);
}

std::optional<qint64> UserDefaults::integerForKey(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    loadLocked();
    const QVariant value = m_values.value(key);
    if (value.typeId() != QMetaType::LongLong)
        return std::nullopt;
    return value.toLongLong();
}

std::optional<double> UserDefaults::doubleForKey(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    loadLocked();
    const QVariant value = m_values.value(key);
    if (value.typeId() != QMetaType::Double)
        return std::nullopt;
    return value.toDouble();
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    loadLocked();
    const QVariant value = m_values.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<bool> UserDefaults::boolForKey(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    loadLocked();
    const QVariant value = m_values.value(key);
    if (value.typeId() != QMetaType::Bool)
        return std::nullopt;
    return value.toBool();
}

bool UserDefaults::contains(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    loadLocked();
    return m_values.contains(key);
}

bool UserDefaults::setValue(const QString& key, const QVariant& value)
{
    std::lock_guard lock(m_mutex);
    loadLocked();
    if (value.isValid())
        m_values.insert(key, value);
    else
        m_values.remove(key);
    return saveLocked();
}

bool UserDefaults::setInteger(const QString& key, qint64 value)
{
    return setValue(key, QVariant::fromValue(value));
}

bool UserDefaults::setDouble(const QString& key, double value)
{
    return setValue(key, value);
}

bool UserDefaults::setString(const QString& key, const QString& value)
{
    return setValue(key, value);
}

bool UserDefaults::setBool(const QString& key, bool value)
{
    return setValue(key, value);
}

bool UserDefaults::removeObjectForKey(const QString& key)
{
    return setValue(key, QVariant());
}

QString UserDefaults::corruptFileKeptAt() const
{
    std::lock_guard lock(m_mutex);
    loadLocked();
    return m_corruptKeptAt;
}

bool UserDefaults::isReadOnly() const
{
    std::lock_guard lock(m_mutex);
    loadLocked();
    return m_readOnly;
}
