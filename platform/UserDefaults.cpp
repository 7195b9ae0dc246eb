#include "UserDefaults.h"

#include "PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
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
    // Make the rename itself durable.
    const int dirFd = ::open(QFile::encodeName(info.absolutePath()).constData(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace

UserDefaults::UserDefaults(QString filePath)
    : m_filePath(std::move(filePath))
{
}

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
    QFile file(m_filePath);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    file.close();
    const std::optional<QVariant> parsed = PropertyList::parse(bytes);
    if (parsed && parsed->typeId() == QMetaType::QVariantMap) {
        m_values = parsed->toMap();
        return;
    }
    // Keep the damaged file for the user to look at; the next write must not destroy it.
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_filePath + QStringLiteral(".corrupt-") + stamp;
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = m_filePath + QStringLiteral(".corrupt-") + stamp + u'-' + QString::number(n);
    if (QFile::rename(m_filePath, aside)) {
        m_corruptKeptAt = aside;
        std::fprintf(stderr, "corvane: settings file %s could not be read; kept as %s\n",
                     qPrintable(m_filePath), qPrintable(aside));
    }
}

bool UserDefaults::saveLocked() const
{
    const std::optional<QByteArray> xml = PropertyList::toXml(m_values);
    return xml && writeAtomically(m_filePath, *xml);
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
