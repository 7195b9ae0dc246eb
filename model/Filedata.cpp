#include "Filedata.h"

#include <QMimeDatabase>
#include <QSet>
#include <mutex>
#include <sys/stat.h>

namespace {

// A tree of 100,000 files holds only a few dozen distinct names; sharing them saves one
// allocation per record.
QString interned(const QString& name)
{
    static std::mutex mutex;
    static QSet<QString> names;
    const std::lock_guard lock(mutex);
    const auto it = names.constFind(name);
    if (it != names.constEnd())
        return *it;
    names.insert(name);
    return name;
}

} // namespace

QString Filedata::mimeTypeNameFor(const QString& path, mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("inode/directory");
    if (S_ISLNK(mode))
        return QStringLiteral("inode/symlink");
    if (S_ISFIFO(mode))
        return QStringLiteral("inode/fifo");
    if (S_ISSOCK(mode))
        return QStringLiteral("inode/socket");
    if (S_ISCHR(mode))
        return QStringLiteral("inode/chardevice");
    if (S_ISBLK(mode))
        return QStringLiteral("inode/blockdevice");
    // MatchExtension looks at the name only: no stat, no read of the contents.
    const QMimeDatabase db;
    return interned(db.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name());
}
