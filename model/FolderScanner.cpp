// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderScanner.h"

#include "DirectoryHandle.h"
#include "PathText.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

FolderScanner::FolderScanner(qint64 firstTag, const std::atomic<bool>* stop)
    : m_nextTag(firstTag)
    , m_stop(stop)
{
    // A list of 100,000 files must not open each of them; the run looks at every file again.
    m_assessment.setQuickForListing(true);
}

bool FolderScanner::isStopped() const
{
    return m_stop && m_stop->load(std::memory_order_relaxed);
}

ItemRef FolderScanner::buildTopLevelItem(const FileDirectory& record)
{
    if (isStopped())
        return {};
    ItemRef item = makeTopLevelItem(record, m_nextTag++);
    if (!record.file || !record.url || !record.url->isLocalFile())
        return item;
    if (!record.file->isFolder) {
        item->data.file->verdict = m_assessment.assessPath(QFile::encodeName(record.url->toLocalFile()));
        return item;
    }

    // The total is summed while listing: the same regular files, with the same records, as a
    // second walk over the folder would see, at half the cost.
    const QString listedPath = record.url->toLocalFile();
    const double total = listFolder(*item, listedPath, QDir::cleanPath(listedPath));
    if (isStopped())
        return {};
    if (total != 0) {
        item->data.file->size = total;
    } else {
        const FileDirectory own = FileDirectory::fromUrl(*record.url);
        item->data.file->size = own.file ? own.file->size : 0.0;
    }
    return item;
}

double FolderScanner::listFolder(
    ItemDictionary& item, const QString& listedPath, const QString& path)
{
    // The listed form only differs when the top-level URL was not normal ("a/./b", "a/").
    const bool listedIsNormal = listedPath == path;
    const QByteArray nativePath = QFile::encodeName(path);
    struct Subfolder
    {
        qsizetype index;
        QString listed;
        QString path;
    };
    std::vector<Subfolder> subfolders;
    double total = 0;
    {
        // Entries are read relative to the open folder, which is let go before going deeper, so
        // only one folder is open at a time however deep the tree goes.
        int error = 0;
        const DirectoryHandle dir = DirectoryHandle::open(nativePath, &error);
        if (!dir.isValid())
            return 0; // unreadable: no children, and not marked empty
        // Names packed into one buffer: a folder of 100,000 entries costs one allocation.
        std::string packed;
        std::vector<size_t> starts;
        const bool complete = dir.forEachEntry(
            [&](const char* name, unsigned char) {
                starts.push_back(packed.size());
                packed.append(name);
                packed.push_back('\0');
            },
            &error);
        // A read error after some entries still shows what could be read.
        if (!complete && starts.empty())
            return 0;
        if (starts.empty()) {
            item.data.isemptyFolder = true;
            return 0;
        }
        item.arrpath.reserve(qsizetype(starts.size()));
        for (const size_t start : starts) {
            if (isStopped())
                return total;
            const QByteArray name = QByteArray::fromRawData(packed.data() + start,
                                                            qsizetype(std::strlen(packed.data() + start)));
            const QString fileName = QFile::decodeName(name);
            const QString childPath = PathText::join(path, fileName);
            const QUrl url = QUrl::fromLocalFile(childPath);
            struct statx st;
            FileDirectory record;
            if (::statx(dir.fd(), name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                        STATX_BASIC_STATS | STATX_MNT_ID, &st)
                == 0) {
                record = FileDirectory::fromStatx(url, st, PathText::join(nativePath, name), fileName,
                                                  &m_assessment);
            } else {
                // A debug line only: the record still goes into the tree, without attributes.
                std::printf("Error reading file attributes\n");
                std::fflush(stdout);
                record.url = url;
            }
            QString listedChild = listedIsNormal ? QString() : QString(listedPath + u'/' + fileName);
            item.arrpath.append(makeChildItem(record, 0, listedIsNormal ? url : QUrl::fromLocalFile(listedChild)));
            if (!record.file)
                continue;
            // Another mounted file system below the folder is shown but never entered.
            const bool otherMount = record.file->isMountRoot
                || (item.data.file && record.file->mountId != item.data.file->mountId);
            if (record.file->isFolder && !otherMount) {
                subfolders.push_back({item.arrpath.size() - 1,
                                      listedIsNormal ? childPath : std::move(listedChild), childPath});
            } else if (S_ISREG(st.stx_mode)) {
                total += record.file->size;
            }
        }
    }

    // Tags go in listing order, each folder's items right after it.
    qsizetype next = 0;
    const auto tagUpTo = [&](qsizetype end) {
        for (; next < end; ++next)
            item.arrpath[next]->tag = m_nextTag++;
    };
    for (const Subfolder& sub : subfolders) {
        if (isStopped())
            return total;
        tagUpTo(sub.index + 1);
        total += listFolder(*item.arrpath[sub.index], sub.listed, sub.path);
    }
    tagUpTo(item.arrpath.size());
    return total;
}
