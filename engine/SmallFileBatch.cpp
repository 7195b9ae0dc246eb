// SPDX-License-Identifier: GPL-3.0-or-later
#include "SmallFileBatch.h"

#include "SystemLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using Kind = ShredFailure::Kind;

SmallFileBatch::~SmallFileBatch()
{
    for (const PendingFile& file : m_files)
        ::close(file.fd);
}

int SmallFileBatch::fileLimit() const
{
    // Each waiting file holds a descriptor, and so may its folder: stay well inside the limit.
    rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY)
        return kFiles;
    const rlim_t spare = files.rlim_cur > 128 ? (files.rlim_cur - 128) / 2 : 1;
    return int(std::clamp<rlim_t>(spare, 1, kFiles));
}

bool SmallFileBatch::add(const DirectoryHandle& dir, const QByteArray& name, const QString& display,
    const EntryStat& examined, const QList<qint32>& values, ShredFileResult result)
{
    // One sync must cover every file of a batch: never two file systems in one.
    if (!m_files.empty() && m_files.front().st.device != examined.device && !flush())
        return false;
    EntryStat now;
    const int fd = m_eraser.openExamined(dir, name, examined, display, result, &now);
    if (fd < 0)
        return true;
    // Judged on the very file about to be written, as late as possible.
    result.verdict = m_run.assessment.assessDescriptor(fd);

    std::shared_ptr<const DirectoryHandle> folder;
    int err = 0;
    const std::optional<EntryStat> folderStat = dir.statSelf(&err);
    if (!m_files.empty() && m_dirSource == dir.fd() && folderStat
        && folderStat->sameFileAs(m_dirStat)) {
        folder = m_files.back().dir;
    } else {
        DirectoryHandle copy = dir.duplicate(&err);
        if (!copy.isValid() || !folderStat) {
            ::close(fd);
            m_run.ledger.addFailure(display, Kind::OpenFailed, err);
            m_run.ledger.finishFile(display, result);
            return true;
        }
        folder = std::make_shared<const DirectoryHandle>(std::move(copy));
        m_dirSource = dir.fd();
        m_dirStat = *folderStat;
    }

    PendingFile file;
    file.dir = std::move(folder);
    file.name = name;
    file.display = display;
    file.st = examined;
    file.fd = fd;
    file.covered = PassWriter::overwriteLength(std::max(now.size, examined.size));
    file.values = values;
    file.result = result;
    m_bytes += file.covered * quint64(values.size());
    m_files.push_back(std::move(file));
    if (ShredObserver* observer = m_run.ledger.observer())
        observer->onFileStarted(display, m_files.back().covered, int(values.size()));
    if (m_files.size() == 1) {
        m_limit = fileLimit();
        m_age.start();
    }
    // A batch that fills slowly (the window pauses before each file) is finished after a
    // moment anyway, so progress and the files erased so far never lag far behind.
    if (int(m_files.size()) >= m_limit || m_bytes >= kBytes || m_age.elapsed() >= kAgeMs)
        return flush();
    return true;
}

void SmallFileBatch::fail(PendingFile& file, ShredFailure::Kind kind, int error)
{
    // Never unlinked: what did not get every pass on the disk stays, and the report says so.
    file.failed = true;
    if (file.fd >= 0 && ::close(file.fd) != 0)
        SystemLog::log("Could Not Close File!!");
    file.fd = -1;
    m_run.ledger.addFailure(file.display, kind, error);
    m_run.ledger.finishFile(file.display, file.result);
}

bool SmallFileBatch::writePasses(std::vector<PendingFile>& batch)
{
    ShredObserver* observer = m_run.ledger.observer();
    const qsizetype passes = batch.front().values.size();
    for (qsizetype pass = 0; pass < passes; ++pass) {
        if (observer)
            observer->onPassStarted(int(pass + 1), int(passes));
        int anyOpen = -1;
        for (PendingFile& file : batch) {
            if (file.failed)
                continue;
            if (m_run.stop)
                return false;
            int err = 0;
            const std::optional<EntryStat> now = DirectoryHandle::statDescriptor(file.fd, &err);
            if (!now || now->links != 1) {
                fail(file, Kind::ChangedWhileErasing, err);
                continue;
            }
            file.covered = PassWriter::overwriteLength(std::max(now->size, file.st.size));
            Kind why = Kind::WriteFailed;
            const PassWriter::Result done = m_run.writer.write(
                file.fd, file.covered, file.values.at(pass), false, false, &why, &err);
            if (done == PassWriter::Result::Stopped)
                return false;
            if (done == PassWriter::Result::Failed) {
                fail(file, why, err);
                continue;
            }
            anyOpen = file.fd;
        }
        // One write-back and one flush of the drive's cache for the whole pass. Each file's
        // own wait then collects a write-back error that belongs to it; it writes nothing more
        // and, unlike fdatasync, does not flush the drive's cache once per file.
        const bool synced = anyOpen >= 0 && ::syncfs(anyOpen) == 0;
        if (anyOpen >= 0 && !synced)
            SystemLog::log("syncfs failed: %s", std::strerror(errno));
        for (PendingFile& file : batch) {
            if (file.failed)
                continue;
            const int waited = synced ? ::sync_file_range(file.fd, 0, 0,
                                   SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE
                                       | SYNC_FILE_RANGE_WAIT_AFTER)
                                      : ::fdatasync(file.fd);
            if (waited != 0)
                fail(file, Kind::SyncFailed, errno);
        }
    }
    return true;
}

bool SmallFileBatch::flush()
{
    std::vector<PendingFile> batch;
    batch.swap(m_files);
    m_bytes = 0;
    m_dirSource = -1;
    if (batch.empty())
        return true;

    if (!writePasses(batch)) {
        for (PendingFile& file : batch) {
            if (file.failed)
                continue;
            m_run.ledger.markStopped(file.display);
            file.result.outcome = ShredFileResult::Outcome::Stopped;
            fail(file, Kind::Stopped, 0);
        }
        return false;
    }

    bool unlinkFailed = false;
    for (PendingFile& file : batch) {
        if (file.failed)
            continue;
        ::close(file.fd);
        file.fd = -1;
        // The rest of the batch is overwritten already: it is still unlinked, then the run ends.
        if (m_eraser.remove(*file.dir, file.name, file.st, file.covered, file.values.last(),
                file.display, file.result)
            == FileEraser::Outcome::Stop)
            unlinkFailed = true;
    }
    return !unlinkFailed;
}
