// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredRun.h"

#include "DirectoryHandle.h"
#include "PathText.h"
#include "TreeWalk.h"
#include "ZPHShred.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Progress is told at most this often; a run writes a chunk every millisecond or so.
constexpr qint64 kProgressIntervalMs = 40;

QString display(const QByteArray& path)
{
    return PathText::fromNative(path);
}

} // namespace

ShredRun::ShredRun(
    ZPHShred& engine, QList<ShredTarget> targets, int nPassType, bool verify, QObject* parent)
    : QObject(parent)
    , m_engine(engine)
    , m_targets(std::move(targets))
    , m_nPassType(nPassType)
    , m_verify(verify)
{
    qRegisterMetaType<ShredFileResult>();
    qRegisterMetaType<StorageVerdict>();
    qRegisterMetaType<ShredReport>();
}

ShredRun::~ShredRun()
{
    if (m_thread) {
        requestStop();
        m_thread->wait();
    }
}

quint64 ShredRun::plannedBytes(quint64 length, int nPassType)
{
    return ZPHShred::overwriteLength(length) * quint64(ZPHShred::passValues(nPassType).size());
}

void ShredRun::startInBackground()
{
    if (m_running.exchange(true))
        return;
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QStringLiteral("shred run"));
    m_thread->start();
}

void ShredRun::requestStop()
{
    m_engine.setStopRequested(true);
}

void ShredRun::run()
{
    m_running = true;
    m_report = ShredReport();
    m_targetReports = QList<ShredReport>(m_targets.size());
    m_fileOwner.clear();
    m_filesFinished.clear();
    m_done = 0;
    m_fileStart = 0;
    m_fileEnd = 0;
    plan();
    m_engine.setObserver(this);
    m_engine.setVerifyAfterErasing(m_verify);
    m_sinceProgress.start();
    int entered = 0;
    for (m_current = 0; m_current < m_targets.size(); ++m_current) {
        // A target the run stopped before is not reached: it gets no report of its own, so
        // what happened to its path meanwhile is never taken for our doing.
        if (ended() || m_engine.stopRequested()) {
            m_report.stopped = m_report.stopped || m_engine.stopRequested();
            break;
        }
        entered = m_current + 1;
        if (!process(m_targets.at(m_current)))
            break;
    }
    m_current = entered - 1;
    flushBatch();
    m_holdingBatch = false;
    m_engine.setHoldBatchAcrossCalls(false);
    removeListedFolders();
    tellTargets(entered);
    m_engine.setObserver(nullptr);
    emit bytesWritten(m_done);
    m_running = false;
    emit finished(m_report);
}

void ShredRun::plan()
{
    qint64 files = 0;
    quint64 bytes = 0;
    const std::function<void(const ShredTarget&)> count = [&](const ShredTarget& target) {
        switch (target.kind) {
        case ShredTarget::Kind::ListedFile:
            ++files;
            bytes += plannedBytes(target.length, m_nPassType);
            break;
        case ShredTarget::Kind::Path:
            bytes += plannedTreeBytes(target.path, &files);
            break;
        case ShredTarget::Kind::ListedFolder:
            for (const ShredTarget& child : target.children)
                count(child);
            break;
        case ShredTarget::Kind::EmptyFolder:
        case ShredTarget::Kind::Unreadable:
            break;
        }
    };
    for (const ShredTarget& target : m_targets)
        count(target);
    emit planned(files, bytes);
}

void ShredRun::walkTree(const QByteArray& path, const EntryVisitor& visit)
{
    QByteArray name;
    int err = 0;
    DirectoryHandle parent = TreeWalk::openParentOf(path, &name, &err);
    if (!parent.isValid())
        return;
    TreeWalk walk;
    walk.onEntry = [&visit](const TreeWalk::Entry& entry) {
        visit(entry.folder, entry.name, entry.path, entry.stat);
        return TreeWalk::Step::Continue;
    };
    walk.walk(parent, name, PathText::withoutTrailingSlashes(path));
}

quint64 ShredRun::plannedTreeBytes(const QByteArray& path, qint64* files) const
{
    // The same walk the engine makes: regular files with one link, never across a mount.
    quint64 total = 0;
    walkTree(path,
        [&](const DirectoryHandle&, const QByteArray&, const QByteArray&, const EntryStat& entry) {
            if (S_ISREG(entry.mode) && entry.links == 1) {
                *files += 1;
                total += plannedBytes(entry.size, m_nPassType);
            }
        });
    return total;
}

void ShredRun::fail(const QByteArray& path, ShredFailure::Kind kind, int error)
{
    const ShredFailure failure {display(path), kind, error};
    m_report.failures.append(failure);
    m_targetReports[m_current].failures.append(failure);
}

void ShredRun::credit(const ShredReport& report, bool whole)
{
    m_report.merge(report);
    const int owner = m_current;
    if (owner < 0) // a run handed nothing
        return;
    const auto ownerOf = [&](const QString& path) { return m_fileOwner.value(path, owner); };
    for (const ShredFailure& failure : report.failures)
        m_targetReports[ownerOf(failure.path)].failures.append(failure);
    if (!report.stoppedPath.isEmpty()) {
        QString& stopped = m_targetReports[ownerOf(report.stoppedPath)].stoppedPath;
        if (stopped.isEmpty())
            stopped = report.stoppedPath;
    }
    ShredReport& own = m_targetReports[owner];
    own.entriesRemoved += report.entriesRemoved;
    if (whole) {
        own.aborted = report.aborted;
        own.stopped = report.stopped;
        own.pathMissing = report.pathMissing;
        own.pathRemoved = report.pathRemoved;
    }
    // Whatever ended in this call has been credited: its name may come again as a new file.
    for (const QString& file : std::exchange(m_filesFinished, {}))
        m_fileOwner.remove(file);
}

void ShredRun::tellTargets(int entered)
{
    for (int i = 0; i < entered; ++i) {
        ShredReport& report = m_targetReports[i];
        // A listed file's batch ends after its own call: only now can its path be looked at.
        if (m_targets.at(i).kind != ShredTarget::Kind::Path) {
            struct stat st;
            report.pathRemoved
                = ::lstat(m_targets.at(i).path.constData(), &st) != 0 && errno == ENOENT;
        }
        // Only what the run did counts: a path gone by another's hand is not a removal of ours.
        const bool touched
            = !report.failures.isEmpty() || report.filesErased > 0 || report.entriesRemoved > 0;
        if (touched || !ended())
            emit targetFinished(i, report);
    }
}

bool ShredRun::process(const ShredTarget& target)
{
    if (ended() || m_engine.stopRequested()) {
        m_report.stopped = m_report.stopped || m_engine.stopRequested();
        return false;
    }
    // Listed files share batches across targets and folders; a path's report holds only its
    // own files, so a path starts from an empty batch.
    if (target.kind == ShredTarget::Kind::Path && !flushBatch())
        return false;
    m_holdingBatch = target.kind == ShredTarget::Kind::ListedFile;
    m_engine.setHoldBatchAcrossCalls(m_holdingBatch);
    switch (target.kind) {
    case ShredTarget::Kind::Path:
    case ShredTarget::Kind::ListedFile: {
        emit pathShown(display(target.path));
        const quint64 started = m_filesStarted;
        ShredReport report = m_engine.shredNativePath(target.path, m_nPassType, target.identity);
        if (target.kind == ShredTarget::Kind::ListedFile && m_filesStarted == started) {
            // A link removed, or a file refused before its first pass: the bar still moves on.
            m_done += plannedBytes(target.length, m_nPassType);
            emit bytesWritten(m_done);
            if (report.entriesRemoved > 0)
                emit entryRemoved(display(target.path));
        }
        if (report.pathMissing)
            report.failures.append({display(target.path), ShredFailure::Kind::Missing});
        credit(report, &target == &m_targets.at(m_current));
        break;
    }
    case ShredTarget::Kind::Unreadable:
        // Nothing could be read about it when it was listed: it cannot be erased safely.
        fail(target.path, ShredFailure::Kind::UnreadableWhenListed);
        break;
    case ShredTarget::Kind::EmptyFolder:
        if (!removeIfEmpty(target))
            fail(target.path, ShredFailure::Kind::FolderNoLongerEmpty);
        break;
    case ShredTarget::Kind::ListedFolder: {
        for (const ShredTarget& child : target.children) {
            if (!process(child))
                return false;
        }
        // Removed once the batches holding its files are done, children before parents.
        m_listedFolders.append({&target, m_current});
        break;
    }
    }
    return !ended();
}

void ShredRun::removeListedFolders()
{
    const QList<std::pair<const ShredTarget*, int>> folders = std::exchange(m_listedFolders, {});
    for (const auto& [folder, owner] : folders) {
        m_current = owner;
        // A run that was stopped still takes away the folders it emptied; the rest were not
        // reached, which its report already says.
        if (removeIfEmpty(*folder) || !folder->fullyChecked || ended())
            continue;
        // A folder kept because of something reported below it needs no line of its own;
        // one kept although everything in it was checked is reported, never implied erased.
        const QString below = display(folder->path) + u'/';
        const bool explained = std::any_of(m_report.failures.cbegin(), m_report.failures.cend(),
            [&](const ShredFailure& f) { return f.path.startsWith(below); });
        if (!explained)
            fail(folder->path, ShredFailure::Kind::FolderStillHolds);
    }
}

bool ShredRun::flushBatch()
{
    credit(m_engine.flushBatch(), false);
    return !ended();
}

bool ShredRun::removeIfEmpty(const ShredTarget& folder)
{
    int err = 0;
    const DirectoryHandle dir = DirectoryHandle::open(folder.path, &err);
    if (!dir.isValid())
        return err == ENOENT;
    const std::optional<EntryStat> st = dir.statSelf(&err);
    struct stat entry;
    // Only the folder that was listed, reached without a link: a swapped-in link stays.
    if (!st
        || (folder.identity
            && (quint64(st->device) != folder.identity->device
                || quint64(st->inode) != folder.identity->inode))
        || ::lstat(folder.path.constData(), &entry) != 0 || !S_ISDIR(entry.st_mode))
        return false;
    const auto names = dir.names(&err);
    if (!names || !names->empty())
        return false;
    emit pathShown(display(folder.path));
    // rmdir, not a recursive removal: something created meanwhile must not vanish unerased.
    if (::rmdir(folder.path.constData()) != 0 && errno != ENOENT) {
        fail(folder.path, ShredFailure::Kind::EntryNotRemoved, errno);
    } else {
        ++m_report.entriesRemoved;
        ++m_targetReports[m_current].entriesRemoved;
    }
    // Reported above when it could not go; not reported twice.
    return true;
}

void ShredRun::onFileStarted(const QString& path, quint64 bytesPerPass, int passes)
{
    ++m_filesStarted;
    if (m_holdingBatch)
        m_fileOwner.insert(path, m_current);
    m_fileStart = m_done;
    m_fileEnd = m_done + bytesPerPass * quint64(passes);
    emit fileStarted(path, passes);
}

void ShredRun::onPassStarted(int pass, int passes)
{
    emit passStarted(pass, passes);
}

void ShredRun::onBytesWritten(quint64 bytes)
{
    // The first chunk of each file is told at once, so a stop can come before its second.
    const bool firstOfFile = m_done == m_fileStart;
    m_done += bytes;
    if (firstOfFile || m_sinceProgress.elapsed() >= kProgressIntervalMs) {
        m_sinceProgress.restart();
        emit bytesWritten(m_done);
    }
}

void ShredRun::onFileFinished(const QString& path, const ShredFileResult& result)
{
    // A file that failed early still leaves the bar where its passes would have ended.
    m_done = std::max(m_done, m_fileEnd);
    emit bytesWritten(m_done);
    m_sinceProgress.restart();
    const auto owner = m_fileOwner.constFind(path);
    if (owner != m_fileOwner.cend())
        m_filesFinished.append(path);
    if (result.outcome == ShredFileResult::Outcome::Erased) {
        ShredReport erased;
        erased.filesErased = 1;
        erased.bytesErased = result.length;
        erased.allocatedErased = result.allocated;
        if (result.verdict.hasWarning())
            erased.warnings.append({path, result.verdict});
        erased.notes = result.verdict.notes;
        m_targetReports[owner != m_fileOwner.cend() ? *owner : m_current].merge(erased);
    }
    if (result.verdict.tier() != StorageVerdict::Tier::Reached)
        emit verdictReached(path, result.verdict);
    emit fileFinished(path, result);
}
