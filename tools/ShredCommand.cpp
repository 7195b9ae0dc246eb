// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredCommand.h"

#include "DirectoryHandle.h"
#include "ErasureTexts.h"
#include "FreeSpaceCommand.h"
#include "FreeSpaceWipeRecord.h"
#include "FreeSpaceWipeTexts.h"
#include "LanguageTable.h"
#include "PathChecks.h"
#include "PathText.h"
#include "ShredArguments.h"
#include "ShredDryRun.h"
#include "ShredRun.h"
#include "ShredText.h"
#include "ZPHShred.h"

#include <QMap>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

std::atomic<int> ShredCommand::s_stopSignal {0};

namespace {

const QByteArray kShortUsage = QByteArrayLiteral("Usage: corvane-shred [OPTION]... [--] PATH...");

} // namespace

ShredCommand::ShredCommand(ZPHShred& engine, FILE* out, FILE* err)
    : m_engine(engine)
    , m_output(out, err)
{ }

ShredCommand::~ShredCommand() = default;

QByteArray ShredCommand::usage()
{
    // Options and their words in the user's language, each line within 79 columns.
    return kShortUsage + '\n' + ShredText::said(650);
}

int ShredCommand::usageError(const QByteArray& message)
{
    m_output.complain(QByteArray(ShredText::kProgramName) + ": " + message);
    m_output.complain(kShortUsage);
    m_output.complain(ShredText::said(622));
    return UsageError;
}

int ShredCommand::run(const QList<QByteArray>& arguments)
{
    // First: even a usage error is told in the user's language.
    if (!languageStrings())
        setLanguageStrings(loadLanguageStrings());
    ShredArguments args = ShredArguments::parse(arguments);
    if (!args.error.isEmpty())
        return usageError(args.error);
    // Help and version never erase, whatever else is on the line.
    if (args.help)
        return m_output.writeOut(usage()) ? AllErased : NotAllErased;
    if (args.version)
        return m_output.writeOut(versionText()) ? AllErased : NotAllErased;
    if (!args.files0From.isEmpty()) {
        const bool fromInput = args.files0From == "-";
        FILE* list = fromInput ? stdin : std::fopen(args.files0From.constData(), "rbe");
        if (!list) {
            m_output.complain(ShredText::complaint(
                609, {ShredText::quoted(args.files0From), std::strerror(errno)}));
            return NotAllErased;
        }
        const bool read = args.readFiles0(list);
        if (!fromInput)
            std::fclose(list);
        if (!read) {
            m_output.complain(QByteArray(ShredText::kProgramName) + ": " + args.error);
            return NotAllErased;
        }
    } else if (args.paths.isEmpty() && args.wipeFolder.isEmpty()) {
        return usageError(ShredText::said(621));
    }
    m_method = args.method;
    m_verbose = args.verbose;
    m_verify = args.verify;
    m_quiet = args.quiet;
    m_dryRun = args.dryRun;

    m_output.progress().setShown(!m_dryRun && ::isatty(fileno(m_output.err())) == 1);
    m_engine.setPerFileDelayMs(0);
    m_engine.setStopRequested(false);
    m_engine.setForceWritable(args.force);
    m_pathCount = int(args.paths.size());
    if (!m_dryRun && FreeSpaceWipeRecord::removeLeftovers() > 0)
        m_output.complain(QByteArray(ShredText::kProgramName)
            + ": note: removed the fill left by an interrupted free-space wipe");
    if (args.wipeFreeSpace && !m_dryRun) {
        m_freeSpace = std::make_unique<FreeSpaceCommand>(m_engine.stopFlag(), m_output.out(),
            m_output.err(),
            [this](FILE* stream, const QByteArray& line) { m_output.writeLine(stream, line); });
        if (!args.wipeFolder.isEmpty())
            m_freeSpace->addFolder(args.wipeFolder);
    }
    QList<QByteArray> done;
    for (const QByteArray& path : std::as_const(args.paths)) {
        ++m_pathIndex;
        if (s_stopSignal)
            break;
        handlePath(path, args.force, done);
    }
    // After a stop signal the queued files were never touched: they are among the paths not
    // reached.
    if (!s_stopSignal)
        eraseQueuedFiles(done);
    m_queued.clear();
    m_output.progress().clear();
    if (!m_stoppedFile.isEmpty()) {
        m_output.complain(ShredText::complaint(613, {ShredText::quoted(m_stoppedFile)}));
    } else if (s_stopSignal) {
        m_output.complain(ShredText::complaint(614));
    }
    // The warnings given above are resolved once the free space they were about is overwritten.
    bool wiped = true;
    if (m_freeSpace && !s_stopSignal) {
        const FreeSpaceCommand::Result result = m_freeSpace->run(m_method);
        m_totals.warned -= result.resolved;
        wiped = result.allDone;
    }
    const bool allRemoved = m_dryRun ? m_totals.refused == 0 : m_totals.pathsRemoved == m_pathCount;
    const bool written = ((m_quiet && allRemoved && !s_stopSignal) || m_pathCount == 0
                             || m_output.writeOut(m_totals.text(m_dryRun, m_pathCount) + '\n'))
        && !m_output.outputFailed();
    if (const int signal = s_stopSignal)
        return 128 + signal;
    if (!allRemoved || !written || !wiped)
        return NotAllErased;
    return m_totals.warned > 0 ? ErasedWithWarnings : AllErased;
}

void ShredCommand::handlePath(const QByteArray& path, bool force, QList<QByteArray>& done)
{
    const QByteArray trimmed = PathText::withoutTrailingSlashes(path);
    const QByteArray last = trimmed.mid(trimmed.lastIndexOf('/') + 1);
    if (last == "." || last == "..") {
        ++m_totals.refused;
        m_output.complain(ShredText::complaint(610, {ShredText::quoted(path)}));
        return;
    }
    struct stat st;
    if (::lstat(path.constData(), &st) == 0
        && std::any_of(m_queued.cbegin(), m_queued.cend(), [&](const Named& queued) {
               return queued.target.identity->device == quint64(st.st_dev)
                   && queued.target.identity->inode == quint64(st.st_ino);
           })) {
        // Named twice: the first naming erases it, then this one finds it gone.
        eraseQueuedFiles(done);
    }
    // Already erased with an earlier argument that held it: done, not missing.
    const QByteArray absolute = absolutePath(path);
    if (::lstat(path.constData(), &st) != 0 && errno == ENOENT
        && std::any_of(done.cbegin(), done.cend(), [&](const QByteArray& earlier) {
               return absolute == earlier
                   || absolute.startsWith(PathText::join(earlier, QByteArray()));
           })) {
        ++m_totals.pathsRemoved;
        return;
    }
    if (force)
        addOwnerWrite(path);
    // Checked right before erasing, so the verdict is as fresh as it can be.
    const PathCheck check = checkNativePath(path);
    if (check.verdict == PathCheck::Verdict::Missing && check.error != 0) {
        // Not a refusal: the item could not be looked at, for the reason the system gives.
        ++m_totals.notErased;
        m_output.complain(
            ShredText::complaint(611, {ShredText::quoted(path), std::strerror(check.error)}));
        return;
    }
    if (!check.accepted()) {
        ++m_totals.refused;
        m_output.complain(ShredText::complaint(612,
            {ShredText::quoted(path), ErasureTexts::refusalText(check.verdict).toLocal8Bit()}));
        return;
    }
    if (m_dryRun) {
        ShredDryRun(m_output, m_totals).listPath(path);
        return;
    }
    // Small files named one by one share the engine's batches, as a folder's files do: one
    // sync per pass for all of them rather than one per file. Each is erased only if it is
    // still the file looked at here.
    if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1
        && quint64(st.st_size) <= ZPHShred::kBatchFileBytes) {
        m_queued.append(
            {ShredTarget::make(ShredTarget::Kind::ListedFile, path,
                 FileIdentity {quint64(st.st_dev), quint64(st.st_ino)}, quint64(st.st_size)),
                absolute});
        return;
    }
    eraseQueuedFiles(done);
    erase({{ShredTarget::make(ShredTarget::Kind::Path, path), absolute}}, done);
}

QByteArray ShredCommand::versionText()
{
    return QByteArray(ShredText::kProgramName)
        + " (Corvane) " CORVANE_VERSION "\n"
          "Copyright (C) 2026 The Corvane developers.\n"
          "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
          "This is free software: you are free to change and redistribute it.\n"
          "There is NO WARRANTY, to the extent permitted by law.\n";
}

QByteArray ShredCommand::absolutePath(const QByteArray& path)
{
    // On the bytes: a decoded name could equal another, existing one ("\xff" and U+FFFD).
    return PathText::cleanPath(
        path.startsWith('/') ? path : PathText::join(PathText::currentFolder(), path));
}

void ShredCommand::addOwnerWrite(const QByteArray& path)
{
    // As shred -f: a file of this user that only lacks write permission gets it.
    const QByteArray native = PathText::withoutTrailingSlashes(path);
    int err = 0;
    const DirectoryHandle parent = DirectoryHandle::open(PathText::parentOf(native), &err);
    const QByteArray name = native.mid(native.lastIndexOf('/') + 1);
    const std::optional<EntryStat> st = parent.isValid() ? parent.stat(name, &err) : std::nullopt;
    if (st && S_ISREG(st->mode) && !(st->mode & S_IWUSR)
        && (st->owner == ::geteuid() || ::geteuid() == 0))
        parent.addOwnerWrite(name, *st, &err);
}

void ShredCommand::eraseQueuedFiles(QList<QByteArray>& done)
{
    if (!m_queued.isEmpty())
        erase(std::exchange(m_queued, {}), done);
}

void ShredCommand::erase(const QList<Named>& named, QList<QByteArray>& done)
{
    QList<ShredTarget> targets;
    for (const Named& one : named)
        targets.append(one.target);
    ShredRun run(m_engine, targets, m_method, m_verify);
    m_output.progress().follow(run, m_pathIndex, m_pathCount);
    QObject::connect(&run, &ShredRun::fileFinished, &m_context,
        [this](
            const QString& file, const ShredFileResult& result) { onFileFinished(file, result); });
    // Each path gets its own lines, in the order named; one the run never reached stays
    // untold, as the paths after a stop.
    QObject::connect(
        &run, &ShredRun::targetFinished, &m_context, [&](int index, const ShredReport& report) {
            reportPath(named.at(index).target.path, report);
            done.append(named.at(index).absolute);
        });
    run.run();
}

void ShredCommand::onFileFinished(const QString& file, const ShredFileResult& result)
{
    if (result.outcome != ShredFileResult::Outcome::Erased)
        return;
    if (m_verbose)
        m_output.writeOut(ShredText::said(618, {ShredText::quoted(file)}) + '\n');
    if (result.verdict.hasWarning()) {
        ++m_totals.warned;
        if (m_freeSpace)
            m_freeSpace->noteWarning(file, result.verdict);
        if (m_verbose) {
            m_output.complain(ShredText::complaint(619,
                {ShredText::quoted(file),
                    ErasureTexts::verdictText(result.verdict).toLocal8Bit()}));
        }
    }
}

void ShredCommand::reportPath(const QByteArray& path, const ShredReport& report)
{
    m_totals.files += report.filesErased;
    m_totals.bytes += report.bytesErased;
    m_totals.otherEntries += report.entriesRemoved;
    if (!report.stoppedPath.isEmpty())
        m_stoppedFile = report.stoppedPath;
    for (const ShredFailure& failure : report.failures) {
        ++m_totals.notErased;
        m_output.complain(ShredText::complaint(611,
            {ShredText::quoted(failure.path), ErasureTexts::failureText(failure).toLocal8Bit()}));
    }
    if (report.succeeded() && report.pathRemoved) {
        ++m_totals.pathsRemoved;
    } else if (report.succeeded()) {
        ++m_totals.notErased;
        const ShredFailure stillThere {{}, ShredFailure::Kind::StillThere};
        m_output.complain(ShredText::complaint(
            611, {ShredText::quoted(path), ErasureTexts::failureText(stillThere).toLocal8Bit()}));
    }
    if (!m_verbose) {
        // One line per path and reason; --verbose names every file instead. The long
        // explanation once per run; a glob of many files gets one short line each.
        QMap<StorageReason, qint64> warnedByReason;
        for (const ShredWarning& warning : report.warnings)
            ++warnedByReason[warning.verdict.mainReason()];
        for (auto it = warnedByReason.cbegin(); it != warnedByReason.cend(); ++it) {
            const StorageReason reason = it.key();
            if (!m_reasonsExplained.contains(reason)) {
                m_reasonsExplained.append(reason);
                m_output.complain(ShredText::complaint(619,
                    {FreeSpaceWipeTexts::shortReason(reason).toLocal8Bit(),
                        ErasureTexts::reasonText(reason).toLocal8Bit()}));
            }
            const QString count = ShredText::counted(it.value(), 601, 602);
            m_output.complain(ShredText::complaint(619,
                {ShredText::quoted(path),
                    FreeSpaceWipeTexts::shortWarning(reason, count).toLocal8Bit()}));
        }
    }
    // Each note once per run: it is about the storage, not about a file.
    for (const StorageReason note : report.notes) {
        if (m_notesTold.contains(note))
            continue;
        m_notesTold.append(note);
        m_output.complain(
            ShredText::complaint(620, {ErasureTexts::reasonText(note).toLocal8Bit()}));
    }
}
