#include "ShreddingWalk.h"

#include "ZPHShred.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
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
        if (!item)
            continue;
        const FileDirectory& record = item->data;
        const bool isFile = record.file && !record.file->isFolder;
        if (isFile) {
            if (!item->state)
                continue;
            const QString path = record.url ? record.url->toLocalFile() : QString();
            if (path.isEmpty())
                continue;
            m_showPath(path);
            m_engine.shredFile(record.file->url.toLocalFile(), m_methodindex);
            const ShredReport report = m_engine.lastReport();
            m_filesErased += report.filesErased;
            m_bytesErased += report.bytesErased;
            m_failures += report.failures;
            if (report.pathMissing)
                m_failures.append({path, QStringLiteral("no longer exists")});
            continue;
        }
        if (record.isemptyFolder) {
            if (item->state && record.file)
                removeIfEmpty(record.file->url.toLocalFile());
            continue;
        }
        walk(item->arrpath);
        // An item whose attributes could not be read stays where it is.
        if (record.file)
            removeIfEmpty(record.file->url.toLocalFile());
    }
}

void ShreddingWalk::removeIfEmpty(const QString& folder)
{
    QDir dir(folder);
    if (!dir.exists())
        return;
    const QStringList left =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (!left.isEmpty())
        return;
    m_showPath(folder);
    // rmdir, not a recursive removal: something created meanwhile must not vanish unerased.
    if (::rmdir(QFile::encodeName(folder).constData()) != 0 && errno != ENOENT) {
        m_failures.append({folder, QStringLiteral("folder could not be removed: ")
                                       + QString::fromLocal8Bit(std::strerror(errno))});
    }
}
