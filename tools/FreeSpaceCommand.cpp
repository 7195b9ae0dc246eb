// SPDX-License-Identifier: GPL-3.0-or-later
#include "FreeSpaceCommand.h"

#include "FreeSpaceWipe.h"
#include "FreeSpaceWipeTexts.h"
#include "PathText.h"
#include "SizeText.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kProgramName = QByteArrayLiteral("corvane-shred");
const QByteArray kClearLine = QByteArrayLiteral("\r\033[K");

// The folder itself, or the nearest folder above it that still exists (erasing removed the
// folders it emptied).
QByteArray existingFolder(QByteArray path, struct stat* st)
{
    while (!path.isEmpty()) {
        if (::stat(path.constData(), st) == 0 && S_ISDIR(st->st_mode))
            return path;
        const qsizetype slash = path.lastIndexOf('/');
        path = slash > 0 ? path.left(slash) : slash == 0 ? QByteArray("/") : QByteArray(".");
        if (path == "/" || path == ".")
            return ::stat(path.constData(), st) == 0 ? path : QByteArray();
    }
    return {};
}

} // namespace

FreeSpaceCommand::FreeSpaceCommand(
    std::atomic<bool>* stopFlag, FILE* out, FILE* err, LineWriter writeLine)
    : m_stop(stopFlag)
    , m_out(out)
    , m_err(err)
    , m_writeLine(std::move(writeLine))
    , m_progressShown(::isatty(fileno(err)) == 1)
{ }

FreeSpaceCommand::Target* FreeSpaceCommand::targetFor(const QByteArray& path)
{
    struct stat st;
    const QByteArray folder = existingFolder(path, &st);
    if (folder.isEmpty())
        return nullptr;
    for (Target& target : m_targets) {
        if (target.device == quint64(st.st_dev))
            return &target;
    }
    m_targets.append({folder, quint64(st.st_dev), {}});
    return &m_targets.last();
}

void FreeSpaceCommand::noteWarning(const QString& file, const StorageVerdict& verdict)
{
    // Only where the fill reaches at least one of the reasons; shared blocks alone are not.
    const bool reachable
        = std::any_of(verdict.warnings.cbegin(), verdict.warnings.cend(), [](StorageReason r) {
              return FreeSpaceWipeReport::reach(r) == FreeSpaceWipeReport::Reach::Reached;
          });
    if (!reachable)
        return;
    if (Target* target = targetFor(PathText::parentOf(PathText::toNative(file))))
        target->verdicts.append(verdict);
}

void FreeSpaceCommand::addFolder(const QByteArray& folder)
{
    struct stat st;
    if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        // Let the wipe itself say why: it refuses with the system's reason.
        m_targets.append({folder, 0, {}});
        return;
    }
    targetFor(folder);
}

FreeSpaceCommand::Result FreeSpaceCommand::run(int nPassType)
{
    Result result;
    for (const Target& target : std::as_const(m_targets)) {
        if (m_stop->load())
            break;
        QList<StorageReason> reasons;
        for (const StorageVerdict& verdict : target.verdicts) {
            for (const StorageReason r : verdict.warnings) {
                if (!reasons.contains(r))
                    reasons.append(r);
            }
        }
        // Found again now: the erasure may have removed the folder named when it was noted.
        struct stat st;
        QByteArray folder = target.device != 0 ? existingFolder(target.folder, &st) : target.folder;
        if (target.device != 0 && (folder.isEmpty() || quint64(st.st_dev) != target.device))
            folder = target.folder;
        FreeSpaceWipe wipe(folder, nPassType, m_stop);
        wipe.setReasonsToReach(reasons);
        QString mount;
        quint64 planned = 0;
        QObject::connect(
            &wipe, &FreeSpaceWipe::started, [&](const QString& where, quint64, quint64 bytes) {
                mount = where;
                planned = bytes;
            });
        QObject::connect(&wipe, &FreeSpaceWipe::bytesWritten,
            [&](quint64 done) { showProgress(mount, done, planned); });
        FreeSpaceWipeReport report;
        QObject::connect(&wipe, &FreeSpaceWipe::finished,
            [&](const FreeSpaceWipeReport& done) { report = done; });
        wipe.run();
        clearProgress();

        const qint64 resolved = std::count_if(target.verdicts.cbegin(), target.verdicts.cend(),
            [&](const StorageVerdict& verdict) { return report.resolves(verdict); });
        result.resolved += resolved;
        result.allDone = result.allDone && report.completed();
        if (report.leftoversRemoved > 0)
            m_writeLine(
                m_err, kProgramName + ": note: removed the fill left by an interrupted wipe");
        const QStringList lines = FreeSpaceWipeTexts::outcome(report, reasons, resolved);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray kind = !report.started() ? ": cannot wipe the free space: "
                : i == 0 && resolved > 0              ? ": resolved: "
                : i == 0 && report.completed()        ? ": "
                                                      : ": warning: ";
            m_writeLine(m_err, kProgramName + kind + lines.at(i).toLocal8Bit());
        }
        if (report.started() && !report.stopped)
            m_writeLine(m_out, FreeSpaceWipeTexts::summary(report).toLocal8Bit());
    }
    return result;
}

void FreeSpaceCommand::showProgress(const QString& mount, quint64 done, quint64 planned)
{
    if (!m_progressShown)
        return;
    QString line = QStringLiteral("[free space] ");
    if (planned > 0)
        line += QString::number(std::min<quint64>(100, done * 100 / planned))
            + QStringLiteral("%, ");
    line += sizeText(double(done)) + QStringLiteral(": ") + mount;
    const QByteArray bytes = kClearLine + line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
    std::fflush(m_err);
    m_progressOnLine = true;
}

void FreeSpaceCommand::clearProgress()
{
    if (!m_progressOnLine)
        return;
    std::fwrite(kClearLine.constData(), 1, size_t(kClearLine.size()), m_err);
    std::fflush(m_err);
    m_progressOnLine = false;
}
