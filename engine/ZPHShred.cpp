// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZPHShred.h"

#include "NotificationCenter.h"
#include "PathText.h"
#include "TreeWalk.h"

#include <QDir>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Kind = ShredFailure::Kind;

} // namespace

ZPHShred& sharedShredEngine()
{
    static auto* engine = new ZPHShred;
    return *engine;
}

QList<qint32> ZPHShred::passValues(int nPassType)
{
    return PassWriter::passValues(nPassType);
}

quint64 ZPHShred::overwriteLength(quint64 size)
{
    return PassWriter::overwriteLength(size);
}

void ZPHShred::setObserver(ShredObserver* observer)
{
    m_run.ledger.setObserver(observer);
    m_run.writer.setObserver(observer);
}

void ZPHShred::setBPauseFileShreddingOperation(bool pause)
{
    {
        std::lock_guard lock(m_pauseMutex);
        m_bPauseFileShreddingOperation = pause;
    }
    m_pauseChanged.notify_all();
}

void ZPHShred::setBFileShreddingOperationAborted(bool aborted)
{
    m_bFileShreddingOperationAborted = aborted;
}

ShredReport ZPHShred::lastReport() const
{
    return m_run.ledger.report();
}

bool ZPHShred::waitWhilePaused()
{
    std::unique_lock lock(m_pauseMutex);
    m_pauseChanged.wait(lock, [this] { return !m_bPauseFileShreddingOperation; });
    return true;
}

void ZPHShred::sendNotificationToUpdate(
    const QString& sScanSection, qint32 count, quint64 size, const QString& path)
{
    const QVariantMap userInfo {
        {QStringLiteral("sScanSection"), sScanSection},
        {QStringLiteral("count"), QString::asprintf("%d", count)},
        {QStringLiteral("size"), QString::asprintf("%llu", static_cast<unsigned long long>(size))},
        {QStringLiteral("path"), path},
    };
    NotificationCenter::defaultCenter().post(
        QStringLiteral("ZPHBraskoUpdateMessage"), this, userInfo);
}

bool ZPHShred::overwriteFile(const QByteArray& path, quint64 nFileSize, qint32 nValToWrite,
    bool randomWrite, ShredFailure* failure)
{
    ShredFailure ignored;
    return m_run.writer.overwritePath(
        path, nFileSize, nValToWrite, randomWrite, failure ? *failure : ignored);
}

FileEraser::Outcome ZPHShred::shredEntry(const DirectoryHandle& dir, const QByteArray& name,
    const QString& display, int nPassType, const EntryStat& root)
{
    FileEraser::Outcome outcome = FileEraser::Outcome::Failed;
    const std::optional<EntryStat> st = m_eraser.examine(dir, name, display, root, &outcome);
    if (!st)
        return outcome;
    const QList<qint32> values = passValues(nPassType);
    ShredFileResult result;
    result.length = st->size;
    result.allocated = st->allocated;
    if (m_batching && overwriteLength(st->size) <= kBatchFileBytes) {
        return m_batch.add(dir, name, display, *st, values, result) ? FileEraser::Outcome::Failed
                                                                    : FileEraser::Outcome::Stop;
    }
    return m_eraser.eraseAlone(dir, name, display, *st, values, result);
}

ZPHShred::Walk ZPHShred::flushPending()
{
    return m_batch.flush() ? Walk::Continue : Walk::Stop;
}

ShredReport ZPHShred::flushBatch()
{
    m_run.ledger.reset();
    flushPending();
    return lastReport();
}

bool ZPHShred::stopBetweenFiles()
{
    if (!m_run.stop)
        return false;
    m_run.ledger.setFlag(&ShredReport::stopped);
    return true;
}

ZPHShred::Walk ZPHShred::visitFile(const DirectoryHandle& dir, const QByteArray& name,
    const QString& display, int nPassType, const EntryStat& root)
{
    // A pause leaves nothing half done: the files already in hand are finished first.
    if (m_bPauseFileShreddingOperation && flushPending() == Walk::Stop)
        return Walk::Stop;
    waitWhilePaused();
    if (m_bFileShreddingOperationAborted) {
        m_run.ledger.setFlag(&ShredReport::aborted);
        return Walk::Stop;
    }
    if (stopBetweenFiles())
        return Walk::Stop;
    if (const int delay = m_perFileDelayMs; delay > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    // Observers look before the first byte is overwritten, while the file is whole.
    sendNotificationToUpdate(QStringLiteral("shred"), 0, 10, display);
    return shredEntry(dir, name, display, nPassType, root) == FileEraser::Outcome::Stop
        ? Walk::Stop
        : Walk::Continue;
}

ZPHShred::Walk ZPHShred::walkFolder(DirectoryHandle& parent, const QByteArray& name,
    const QByteArray& path, int nPassType, const EntryStat& root)
{
    using Step = TreeWalk::Step;
    TreeWalk walk;
    // Only regular files now: links and special files go with the folders, once files are gone.
    walk.onEntry = [&](const TreeWalk::Entry& entry) {
        if (!S_ISREG(entry.stat.mode))
            return Step::Continue;
        const QString display = PathText::fromNative(entry.path);
        return visitFile(entry.folder, entry.name, display, nPassType, root) == Walk::Stop
            ? Step::Stop
            : Step::Continue;
    };
    // Whatever is below was not reached (no permission, say): say so.
    walk.onUnreadable = [this](const QByteArray& folder, int error) {
        m_run.ledger.addFailure(PathText::fromNative(folder), Kind::FolderUnreadable, error);
        return Step::Continue;
    };
    return walk.walk(parent, name, path) ? Walk::Continue : Walk::Stop;
}

bool ZPHShred::removeLeftovers(
    DirectoryHandle& parent, const QByteArray& name, const QByteArray& path)
{
    using Step = TreeWalk::Step;
    ShredLedger& ledger = m_run.ledger;
    // Whether each folder on the way down was emptied so far; the first one is the handed
    // path's own fate.
    std::vector<bool> emptied {true};
    const auto keep = [&](const QByteArray& at, Kind kind, int error) {
        ledger.addFailure(PathText::fromNative(at), kind, error);
        emptied.back() = false;
        return Step::Continue;
    };
    TreeWalk walk;
    walk.onUnexamined = [&](const QByteArray&, int error) {
        if (error != ENOENT)
            emptied.back() = false;
        return Step::Continue;
    };
    walk.onUnreadable
        = [&](const QByteArray& at, int error) { return keep(at, Kind::FolderUnreadable, error); };
    walk.onOtherMount
        = [&](const TreeWalk::Entry& entry) { return keep(entry.path, Kind::OtherMount, 0); };
    walk.onEntry = [&](const TreeWalk::Entry& entry) {
        if (S_ISREG(entry.stat.mode))
            return keep(entry.path, Kind::StillThere, 0);
        if (::unlinkat(entry.folder.fd(), entry.name.constData(), 0) != 0)
            return keep(entry.path, Kind::EntryNotRemoved, errno);
        ledger.countEntryRemoved();
        return Step::Continue;
    };
    walk.onFolder = [&](const TreeWalk::Entry&) {
        emptied.push_back(true);
        return Step::Continue;
    };
    walk.onFolderDone = [&](const TreeWalk::Entry& folder) {
        const bool empty = emptied.back();
        emptied.pop_back();
        if (!empty) {
            emptied.back() = false;
            return Step::Continue;
        }
        if (::unlinkat(folder.folder.fd(), folder.name.constData(), AT_REMOVEDIR) != 0)
            return keep(folder.path, Kind::EntryNotRemoved, errno);
        ledger.countEntryRemoved();
        return Step::Continue;
    };
    return walk.walk(parent, name, path) && emptied.size() == 1 && emptied.front();
}

ShredReport ZPHShred::shredFile(
    const QString& path, int nPassType, std::optional<FileIdentity> expected)
{
    return shredNativePath(PathText::toNative(path), nPassType, expected);
}

ShredReport ZPHShred::shredNativePath(
    const QByteArray& nativePath, int nPassType, std::optional<FileIdentity> expected)
{
    ShredLedger& ledger = m_run.ledger;
    ledger.reset();
    // "dir/link/" would make the kernel follow the link: the handed path names the link itself.
    const QByteArray native = PathText::withoutTrailingSlashes(nativePath);
    const QString top = PathText::fromNative(native);
    const QByteArray folder = PathText::parentOf(native);
    const QByteArray name = native.mid(native.lastIndexOf('/') + 1);

    int err = 0;
    DirectoryHandle parent
        = native.isEmpty() ? DirectoryHandle() : DirectoryHandle::open(folder, &err);
    const std::optional<EntryStat> st
        = parent.isValid() && !name.isEmpty() && name != "." && name != ".."
        ? parent.stat(name, &err)
        : std::nullopt;
    if (!st) {
        ledger.setFlag(&ShredReport::pathMissing);
        return lastReport();
    }
    // The last line of defence under every caller's own checks.
    if (folder == "/") {
        ledger.addFailure(top, Kind::RefusedSystemFolder);
        return lastReport();
    }
    if (S_ISDIR(st->mode)) {
        const QByteArray home = PathText::toNative(QDir(QDir::homePath()).canonicalPath());
        if (!home.isEmpty() && home == PathText::realPath(native)) {
            ledger.addFailure(top, Kind::RefusedHomeFolder);
            return lastReport();
        }
    }
    // A listed file or link must be the very entry that was listed, and never a folder now.
    if (expected
        && (st->device != expected->device || st->inode != expected->inode || S_ISDIR(st->mode))) {
        ledger.addFailure(top, Kind::ChangedSinceListed);
        return lastReport();
    }

    if (!S_ISDIR(st->mode)) {
        // The handed entry itself; a file bind-mounted here is the root of its own mount.
        const Walk visited = visitFile(parent, name, top, nPassType, *st);
        if (!m_holdBatch && flushPending() == Walk::Stop)
            return lastReport();
        if (visited == Walk::Stop)
            return lastReport();
    } else {
        // The files must be gone before their folders can go.
        // The selection's own mount: the folder may itself be a mount point.
        EntryStat root = *st;
        root.mountRoot = false;
        const Walk walked = walkFolder(parent, name, native, nPassType, root);
        if (flushPending() == Walk::Stop || walked == Walk::Stop) {
            ledger.markNotReached(top);
            return lastReport();
        }
        if (m_bFileShreddingOperationAborted) {
            ledger.setFlag(&ShredReport::aborted);
            return lastReport();
        }
        if (stopBetweenFiles())
            return lastReport();
        ledger.setFlag(&ShredReport::pathRemoved, removeLeftovers(parent, name, native));
        return lastReport();
    }

    if (m_bFileShreddingOperationAborted) {
        ledger.setFlag(&ShredReport::aborted);
        return lastReport();
    }
    ledger.setFlag(&ShredReport::pathRemoved, !parent.stat(name, &err) && err == ENOENT);
    return lastReport();
}

// Kept at the end of the file with its include: the login items are a separate concern.
#include "LoginItems.h"

std::optional<QString> ZPHShred::itemRefInLoginItems()
{
    const LoginItems loginItems;
    const std::optional<QList<LoginItem>> items = loginItems.snapshot();
    if (!items)
        return std::nullopt;
    const LoginItem* last = nullptr;
    for (const LoginItem& item : *items) {
        if (loginItems.pointsAtApplication(item))
            last = &item;
    }
    if (!last || !LoginItems::remove(*last))
        return std::nullopt;
    return last->path;
}
