// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderScanner.h"

#include "DirectoryHandle.h"
#include "PathText.h"
#include "TreeWalk.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>
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

// Hands out the folders still to list to the threads listing them, deepest first so that a
// thread tends to stay in one part of the tree, until none is left and none is being listed.
class FolderScanner::Walk
{
public:
    explicit Walk(FolderScanner& scanner)
        : m_scanner(scanner)
    { }

    void add(std::vector<FolderJob>&& jobs)
    {
        const std::lock_guard lock(m_mutex);
        // Reversed, so the first subfolder listed is the first one taken.
        for (auto it = jobs.rbegin(); it != jobs.rend(); ++it)
            m_jobs.push_back(std::move(*it));
        m_ready.notify_all();
    }

    /// Lists folders until the walk is over or stopped.
    void run(StorageAssessment& assessment)
    {
        std::vector<std::pair<const ItemDictionary*, ListedFolder>> found;
        std::vector<FolderJob> subfolders;
        std::unique_lock lock(m_mutex);
        while (true) {
            m_ready.wait(lock, [this] { return !m_jobs.empty() || m_busy == 0; });
            if (m_jobs.empty() || m_scanner.isStopped())
                break;
            FolderJob job = std::move(m_jobs.back());
            m_jobs.pop_back();
            ++m_busy;
            lock.unlock();
            subfolders.clear();
            found.emplace_back(job.item, m_scanner.listFolder(job, assessment, subfolders));
            lock.lock();
            for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
                m_jobs.push_back(std::move(*it));
            --m_busy;
            m_ready.notify_all();
        }
        // Still under the lock: the other threads may be merging theirs.
        m_ready.notify_all();
        for (auto& [item, folder] : found)
            m_listed.insert(item, std::move(folder));
    }

    /// What every folder listed held; complete once every run() has returned.
    QHash<const ItemDictionary*, ListedFolder>& listed() { return m_listed; }

private:
    FolderScanner& m_scanner;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::vector<FolderJob> m_jobs;
    int m_busy = 0;
    QHash<const ItemDictionary*, ListedFolder> m_listed;
};

ItemRef FolderScanner::buildTopLevelItem(const FileDirectory& record)
{
    if (isStopped())
        return {};
    ItemRef item = makeTopLevelItem(record, m_nextTag++);
    if (!record.file || !record.url || !record.url->isLocalFile())
        return item;
    if (!record.file->isFolder) {
        item->data.file->verdict = m_assessment.assessPath(PathText::nativeOfUrl(*record.url));
        return item;
    }

    const QString listedPath = PathText::pathOfUrl(*record.url);
    Walk walk(*this);
    {
        // The top folder first: whether other threads are worth starting depends on what it holds.
        std::vector<FolderJob> subfolders;
        const FolderJob root {item.get(), listedPath, QDir::cleanPath(listedPath)};
        ListedFolder top = listFolder(root, m_assessment, subfolders);
        const size_t helpers
            = subfolders.size() < 2 ? 0 : size_t(std::clamp(QThread::idealThreadCount(), 1, 4) - 1);
        walk.listed().insert(item.get(), std::move(top));
        walk.add(std::move(subfolders));
        while (m_helperAssessments.size() < helpers) {
            m_helperAssessments.push_back(std::make_unique<StorageAssessment>());
            m_helperAssessments.back()->setQuickForListing(true);
        }
        std::vector<std::thread> threads;
        for (size_t i = 0; i < helpers; ++i) {
            try {
                threads.emplace_back(
                    [&walk, assessment = m_helperAssessments[i].get()] { walk.run(*assessment); });
            } catch (const std::system_error&) {
                break; // out of threads: the ones running, or this one alone, list the rest
            }
        }
        walk.run(m_assessment);
        for (std::thread& thread : threads)
            thread.join();
    }
    if (isStopped())
        return {};
    // The total is summed from what the listing read: the same regular files, with the same
    // records, as a second walk over the folder would see, at half the cost.
    const double total = finish(*item, walk.listed());
    if (total != 0) {
        item->data.file->size = total;
    } else {
        const FileDirectory own = FileDirectory::fromUrl(*record.url);
        item->data.file->size = own.file ? own.file->size : 0.0;
    }
    return item;
}

FolderScanner::ListedFolder FolderScanner::listFolder(
    const FolderJob& job, StorageAssessment& assessment, std::vector<FolderJob>& subfolders) const
{
    ItemDictionary& item = *job.item;
    const QString& path = job.path;
    // The listed form only differs when the top-level URL was not normal ("a/./b", "a/").
    const bool listedIsNormal = job.listed == path;
    const QByteArray nativePath = PathText::toNative(path);
    ListedFolder listed;
    // Entries are read relative to the open folder, which is let go before going deeper, so
    // each thread has only one folder open at a time however deep the tree goes.
    int error = 0;
    const DirectoryHandle dir = DirectoryHandle::open(nativePath, &error);
    if (!dir.isValid())
        return listed; // unreadable: no children, and not marked empty
    qsizetype seen = 0;
    const bool complete = TreeWalk::list(
        dir,
        [&](const QByteArray& name, const EntryStat* st, int) {
            ++seen;
            if (isStopped())
                return false;
            const QString fileName = PathText::fromNative(name);
            const QString childPath = PathText::join(path, fileName);
            const QUrl url = PathText::urlFromPath(childPath);
            FileDirectory record;
            if (st) {
                record = FileDirectory::fromEntry(
                    url, *st, PathText::join(nativePath, name), fileName, &assessment);
            } else {
                // A debug line only: the record still goes into the tree, without attributes.
                std::printf("Error reading file attributes\n");
                std::fflush(stdout);
                record.url = url;
            }
            QString listedChild
                = listedIsNormal ? QString() : QString(job.listed + u'/' + fileName);
            item.arrpath.append(makeChildItem(
                record, 0, listedIsNormal ? url : PathText::urlFromPath(listedChild)));
            if (!record.file)
                return true;
            // Another mounted file system below the folder is shown but never entered.
            const bool otherMount = record.file->isMountRoot
                || (item.data.file && record.file->mountId != item.data.file->mountId);
            if (record.file->isFolder && !otherMount) {
                listed.subfolderRows.push_back(item.arrpath.size() - 1);
                subfolders.push_back({item.arrpath.back().get(),
                    listedIsNormal ? childPath : std::move(listedChild), childPath});
            } else if (S_ISREG(st->mode)) {
                listed.filesTotal += record.file->size;
            }
            return true;
        },
        &error);
    // A read error after some entries still shows what could be read.
    if (seen == 0 && complete)
        item.data.isemptyFolder = true;
    return listed;
}

double FolderScanner::finish(
    ItemDictionary& item, const QHash<const ItemDictionary*, ListedFolder>& listed)
{
    const auto found = listed.constFind(&item);
    if (found == listed.cend())
        return 0;
    double total = found->filesTotal;
    qsizetype next = 0;
    const auto tagUpTo = [&](qsizetype end) {
        for (; next < end; ++next)
            item.arrpath[next]->tag = m_nextTag++;
    };
    for (const qsizetype row : found->subfolderRows) {
        tagUpTo(row + 1);
        total += finish(*item.arrpath[row], listed);
    }
    tagUpTo(item.arrpath.size());
    return total;
}
