// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileEraser.h"

#include "SystemLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Kind = ShredFailure::Kind;

// Why the entry `st` in `dir` could not be unlinked by this process, if it could not.
std::optional<ShredFailure> whyNotRemovable(const DirectoryHandle& dir, const EntryStat& st)
{
    if (::faccessat(dir.fd(), ".", W_OK | X_OK, AT_EACCESS) != 0)
        return ShredFailure {{}, Kind::FolderForbidsRemoval, errno};
    int err = 0;
    const std::optional<EntryStat> folder = dir.statSelf(&err);
    if (!folder)
        return ShredFailure {{}, Kind::Unexamined, err};
    const uid_t me = ::geteuid();
    if ((folder->mode & S_ISVTX) && me != 0 && me != st.owner && me != folder->owner)
        return ShredFailure {{}, Kind::StickyFolder};
    return std::nullopt;
}

// The open file is the very one that was examined, and still a regular file with one link.
bool isExaminedFile(const std::optional<EntryStat>& open, const EntryStat& examined)
{
    return open && open->sameFileAs(examined) && S_ISREG(open->mode) && open->links == 1;
}

} // namespace

FileEraser::Outcome FileEraser::failed(
    const QString& display, const ShredFileResult& result, ShredFailure::Kind kind, int error)
{
    m_run.ledger.addFailure(display, kind, error);
    m_run.ledger.finishFile(display, result);
    return Outcome::Failed;
}

std::optional<EntryStat> FileEraser::examine(const DirectoryHandle& dir, const QByteArray& name,
    const QString& display, const EntryStat& root, Outcome* outcome)
{
    ShredLedger& ledger = m_run.ledger;
    *outcome = Outcome::Failed;
    int err = 0;
    const std::optional<EntryStat> st = dir.stat(name, &err);
    if (!st) {
        ledger.addFailure(display, Kind::Unexamined, err);
        return std::nullopt;
    }
    if (st->mountRoot || !st->onSameMountAs(root)) {
        ledger.addFailure(display, Kind::OtherMount);
        return std::nullopt;
    }
    if (!S_ISREG(st->mode)) {
        // Links, FIFOs, sockets and devices hold no file data of their own: remove the entry.
        if (::unlinkat(dir.fd(), name.constData(), 0) != 0) {
            ledger.addFailure(display, Kind::EntryNotRemoved, errno);
            return std::nullopt;
        }
        ledger.countEntryRemoved();
        *outcome = Outcome::RemovedUnwritten;
        return std::nullopt;
    }
    if (st->links > 1) {
        ledger.addFailure(display, Kind::HardLinks, 0, quint64(st->links));
        return std::nullopt;
    }
    if (m_run.force && !(st->mode & S_IWUSR) && (st->owner == ::geteuid() || ::geteuid() == 0)
        && !dir.addOwnerWrite(name, *st, &err)) {
        ledger.addFailure(display, Kind::OpenFailed, err);
        return std::nullopt;
    }
    if (const std::optional<ShredFailure> why = whyNotRemovable(dir, *st)) {
        // Overwriting a file that then cannot be unlinked would leave a wrecked file behind.
        ledger.addFailure(display, why->kind, why->error);
        return std::nullopt;
    }
    return st;
}

int FileEraser::openExamined(const DirectoryHandle& dir, const QByteArray& name,
    const EntryStat& examined, const QString& display, const ShredFileResult& result,
    EntryStat* now)
{
    const int fd = ::openat(
        dir.fd(), name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int openErr = errno;
        SystemLog::log("Could not Open File!!");
        failed(display, result, Kind::OpenFailed, openErr);
        return -1;
    }
    int err = 0;
    const std::optional<EntryStat> open = DirectoryHandle::statDescriptor(fd, &err);
    if (!isExaminedFile(open, examined)) {
        // Every pass must write the very file that was examined, and nothing else.
        ::close(fd);
        SystemLog::log("Could not Open File!!");
        failed(display, result, Kind::ChangedWhileErasing);
        return -1;
    }
    *now = *open;
    return fd;
}

FileEraser::Outcome FileEraser::eraseAlone(const DirectoryHandle& dir, const QByteArray& name,
    const QString& display, const EntryStat& examined, const QList<qint32>& values,
    ShredFileResult result)
{
    ShredObserver* observer = m_run.ledger.observer();
    quint64 covered = PassWriter::overwriteLength(examined.size);
    if (observer)
        observer->onFileStarted(display, covered, int(values.size()));
    for (qsizetype pass = 0; pass < values.size(); ++pass) {
        EntryStat now;
        const int fd = openExamined(dir, name, examined, display, result, &now);
        if (fd < 0)
            return Outcome::Failed;
        if (pass == 0) {
            // Judged on the very file about to be written, as late as possible.
            result.verdict = m_run.assessment.assessDescriptor(fd);
        }
        covered = PassWriter::overwriteLength(std::max(now.size, examined.size));
        if (observer)
            observer->onPassStarted(int(pass + 1), int(values.size()));
        Kind why = Kind::WriteFailed;
        int passErr = 0;
        const PassWriter::Result done
            = m_run.writer.write(fd, covered, values.at(pass), false, true, &why, &passErr);
        if (::close(fd) != 0)
            SystemLog::log("Could Not Close File!!");
        if (done == PassWriter::Result::Stopped) {
            // Never unlink what did not get every pass: it stays, and the report says so.
            m_run.ledger.addFailure(display, Kind::Stopped);
            m_run.ledger.markStopped(display);
            result.outcome = ShredFileResult::Outcome::Stopped;
            m_run.ledger.finishFile(display, result);
            return Outcome::Stop;
        }
        // Never unlink what was not overwritten: its data would stay on the disk unseen.
        if (done == PassWriter::Result::Failed)
            return failed(display, result, why, passErr);
    }
    return remove(dir, name, examined, covered, values.last(), display, result);
}

FileEraser::Outcome FileEraser::remove(const DirectoryHandle& dir, const QByteArray& name,
    const EntryStat& examined, quint64 covered, qint32 lastValue, const QString& display,
    ShredFileResult result)
{
    int err = 0;
    if (m_run.verify) {
        Kind why = Kind::VerifyMismatch;
        if (!m_run.readBack.verify(dir, name, examined, covered, lastValue, &why, &err))
            return failed(display, result, why, err);
    }
    const std::optional<EntryStat> last = dir.stat(name, &err);
    if (!last || !last->sameFileAs(examined) || last->size > covered)
        return failed(display, result, Kind::ChangedWhileErasing);
    if (m_run.beforeUnlink)
        m_run.beforeUnlink(display);
    if (::unlinkat(dir.fd(), name.constData(), 0) != 0) {
        const int unlinkErr = errno;
        // The log outlives the file: it gets the reason, never the name.
        SystemLog::log("Cannnot removeFile: %s", std::strerror(unlinkErr));
        failed(display, result, Kind::UnlinkFailed, unlinkErr);
        return Outcome::Stop;
    }
    result.outcome = ShredFileResult::Outcome::Erased;
    m_run.ledger.finishFile(display, result);
    return Outcome::Erased;
}
