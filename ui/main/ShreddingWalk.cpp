#include "ShreddingWalk.h"

#include "DirectoryHandle.h"
#include "ZPHShred.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

ShreddingWalk::ShreddingWalk(ZPHShred& engine, int methodindex,
                             std::function<void(const QString&)> showPath)
    : m_engine(engine)
    , m_methodindex(methodindex)
    , m_showPath(std::move(showPath))
{
}

void ShreddingWalk::run(const QList<ItemRef>& items)
{
    walk(items);
}

void ShreddingWalk::walk(const QList<ItemRef>& items)
{
    for (const ItemRef& item : items) {
        if (m_aborted)
            return;
        if (!item)
            continue;
        const FileDirectory& record = item->data;
        if (record.file && !record.file->isFolder) {
            if (item->state)
                shredListedFile(*item);
            continue;
        }
        if (!record.file) {
            // Nothing could be read about it when it was listed: it cannot be erased safely.
            if (item->state && record.url)
                m_failures.append({record.url->toLocalFile(),
                                   QStringLiteral("not erased: it could not be read when it was listed")});
            continue;
        }
        if (record.isemptyFolder) {
            if (item->state && !removeIfEmpty(record))
                m_failures.append({record.file->url.toLocalFile(),
                                   QStringLiteral("folder kept: it is no longer empty")});
            continue;
        }
        const qsizetype reportedBefore = m_failures.size();
        walk(item->arrpath);
        if (m_aborted)
            return;
        // A folder kept because of something reported below it needs no line of its own.
        if (!removeIfEmpty(record) && fullyChecked(*item) && m_failures.size() == reportedBefore) {
            // Everything listed below was checked, yet the folder stays: say so, never imply
            // it was erased.
            m_failures.append({record.file->url.toLocalFile(),
                               QStringLiteral("folder kept: it still holds items that were not "
                                              "erased or not in the list")});
        }
    }
}

void ShreddingWalk::shredListedFile(const ItemDictionary& item)
{
    const Filedata& file = *item.data.file;
    const QString path = file.url.toLocalFile();
    if (path.isEmpty())
        return;
    m_showPath(path);
    struct stat st;
    const double allocated = ::lstat(QFile::encodeName(path).constData(), &st) == 0
        ? double(st.st_blocks) * 512.0
        : 0.0;
    const ShredReport report =
        m_engine.shredFile(path, m_methodindex, FileIdentity{file.device, file.inode});
    m_filesErased += report.filesErased;
    m_bytesErased += report.bytesErased;
    if (report.filesErased > 0)
        m_allocatedBytesErased += allocated;
    m_failures += report.failures;
    if (report.pathMissing)
        m_failures.append({path, QStringLiteral("not erased: it no longer exists")});
    m_aborted = report.aborted;
}

bool ShreddingWalk::fullyChecked(const ItemDictionary& item)
{
    if (item.arrpath.isEmpty())
        return item.state;
    for (const ItemRef& child : item.arrpath) {
        if (child && !fullyChecked(*child))
            return false;
    }
    return true;
}

bool ShreddingWalk::removeIfEmpty(const FileDirectory& record)
{
    const QString folder = record.file->url.toLocalFile();
    const QByteArray native = QFile::encodeName(folder);
    int err = 0;
    const DirectoryHandle dir = DirectoryHandle::open(native, &err);
    if (!dir.isValid())
        return err == ENOENT;
    const std::optional<EntryStat> st = dir.statSelf(&err);
    struct stat entry;
    // Only the folder that was listed, reached without a link: a swapped-in link stays.
    if (!st || quint64(st->device) != record.file->device || quint64(st->inode) != record.file->inode
        || ::lstat(native.constData(), &entry) != 0 || !S_ISDIR(entry.st_mode))
        return false;
    const auto names = dir.names(&err);
    if (!names || !names->empty())
        return false;
    m_showPath(folder);
    // rmdir, not a recursive removal: something created meanwhile must not vanish unerased.
    if (::rmdir(native.constData()) != 0 && errno != ENOENT) {
        m_failures.append({folder, QStringLiteral("folder could not be removed: ")
                                       + QString::fromLocal8Bit(std::strerror(errno))});
    }
    // Reported above when it could not go; not reported twice.
    return true;
}
