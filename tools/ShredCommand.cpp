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
#include "ShellQuote.h"
#include "ShredArguments.h"
#include "ShredRun.h"
#include "SizeText.h"
#include "StorageAssessment.h"
#include "ZPHShred.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

std::atomic<int> ShredCommand::s_stopSignal {0};

namespace {

const QByteArray kProgramName = QByteArrayLiteral("corvane-shred");
const QByteArray kShortUsage = QByteArrayLiteral("Usage: corvane-shred [OPTION]... [--] PATH...");
// Back to the start of the line and erase it, so a progress line is redrawn in place.
const QByteArray kClearLine = QByteArrayLiteral("\r\033[K");
// A remaining-time estimate needs this much rate behind it.
constexpr qint64 kEstimateAfterMs = 10000;

// The path's own bytes with control characters shown as '?', so a name holding a newline
// cannot break the one-line-per-item output or move the terminal's cursor.
QByteArray shown(QByteArray bytes)
{
    for (char& c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return bytes;
}

QByteArray quoted(const QByteArray& path)
{
    // Read once the locale is set: in the C locale every byte above 0x7F is escaped.
    static const bool utf8 = ShellQuote::localeIsUtf8();
    return ShellQuote::quoted(path, utf8);
}

QByteArray quoted(const QString& path)
{
    return quoted(PathText::toNative(path));
}

QString counted(qint64 n, int one, int many)
{
    return localizedCount(
        n, QStringLiteral("IDS_KQ_%1").arg(one), QStringLiteral("IDS_KQ_%1").arg(many));
}

// The text under key IDS_KQ_`key` in the locale's encoding, each "%@" in turn filled with the
// next argument's own bytes: a quoted path is already in the terminal's encoding.
QByteArray said(int key, const QList<QByteArray>& arguments = {})
{
    QByteArray text = localizedText(QStringLiteral("IDS_KQ_%1").arg(key)).toLocal8Bit();
    qsizetype from = 0;
    for (const QByteArray& argument : arguments) {
        const qsizetype at = text.indexOf("%@", from);
        if (at < 0)
            break;
        text.replace(at, 2, argument);
        from = at + argument.size();
    }
    return text;
}

int terminalWidth(int fd)
{
    winsize size {};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

ShredCommand::ShredCommand(ZPHShred& engine, FILE* out, FILE* err)
    : m_engine(engine)
    , m_out(out)
    , m_err(err)
{ }

ShredCommand::~ShredCommand() = default;

QByteArray ShredCommand::usage()
{
    // Options and their words in the user's language, each line within 79 columns.
    return kShortUsage + '\n' + said(650);
}

int ShredCommand::usageError(const QByteArray& message)
{
    writeLine(m_err, kProgramName + ": " + message);
    writeLine(m_err, kShortUsage);
    writeLine(m_err, said(622));
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
        return writeOut(usage()) ? AllErased : NotAllErased;
    if (args.version)
        return writeOut(versionText()) ? AllErased : NotAllErased;
    if (!args.files0From.isEmpty()) {
        const bool fromInput = args.files0From == "-";
        FILE* list = fromInput ? stdin : std::fopen(args.files0From.constData(), "rbe");
        if (!list) {
            writeLine(m_err,
                kProgramName + ": " + said(609, {quoted(args.files0From), std::strerror(errno)}));
            return NotAllErased;
        }
        const bool read = args.readFiles0(list);
        if (!fromInput)
            std::fclose(list);
        if (!read) {
            writeLine(m_err, kProgramName + ": " + args.error);
            return NotAllErased;
        }
    } else if (args.paths.isEmpty() && args.wipeFolder.isEmpty()) {
        return usageError(said(621));
    }
    m_method = args.method;
    m_verbose = args.verbose;
    m_verify = args.verify;
    m_quiet = args.quiet;
    m_dryRun = args.dryRun;

    m_progressShown = !m_dryRun && ::isatty(fileno(m_err)) == 1;
    m_engine.setPerFileDelayMs(0);
    m_engine.setStopRequested(false);
    m_engine.setForceWritable(args.force);
    m_pathCount = int(args.paths.size());
    if (!m_dryRun && FreeSpaceWipeRecord::removeLeftovers() > 0)
        writeLine(m_err,
            kProgramName + ": note: removed the fill left by an interrupted free-space wipe");
    if (args.wipeFreeSpace && !m_dryRun) {
        m_freeSpace = std::make_unique<FreeSpaceCommand>(m_engine.stopFlag(), m_out, m_err,
            [this](FILE* stream, const QByteArray& line) { writeLine(stream, line); });
        if (!args.wipeFolder.isEmpty())
            m_freeSpace->addFolder(args.wipeFolder);
    }
    QList<QByteArray> done;
    for (const QByteArray& path : std::as_const(args.paths)) {
        ++m_pathIndex;
        if (s_stopSignal)
            break;
        const QByteArray trimmed = PathText::withoutTrailingSlashes(path);
        const QByteArray last = trimmed.mid(trimmed.lastIndexOf('/') + 1);
        if (last == "." || last == "..") {
            ++m_totals.refused;
            writeLine(m_err, kProgramName + ": " + said(610, {quoted(path)}));
            continue;
        }
        // Already erased with an earlier argument that held it: done, not missing.
        const QByteArray absolute = absolutePath(path);
        const auto alreadyErased = [&] {
            struct stat st;
            return ::lstat(path.constData(), &st) != 0 && errno == ENOENT
                && std::any_of(done.cbegin(), done.cend(), [&](const QByteArray& earlier) {
                       return absolute == earlier
                           || absolute.startsWith(PathText::join(earlier, QByteArray()));
                   });
        };
        struct stat st;
        if (::lstat(path.constData(), &st) == 0
            && std::any_of(m_queued.cbegin(), m_queued.cend(), [&](const QueuedFile& queued) {
                   return queued.device == quint64(st.st_dev) && queued.inode == quint64(st.st_ino);
               })) {
            // Named twice: the first naming erases it, then this one finds it gone.
            eraseQueuedFiles(done);
        }
        if (alreadyErased()) {
            ++m_totals.pathsRemoved;
            continue;
        }
        if (args.force)
            addOwnerWrite(path);
        // Checked right before erasing, so the verdict is as fresh as it can be.
        const PathCheck check = checkNativePath(path);
        if (check.verdict == PathCheck::Verdict::Missing && check.error != 0) {
            // Not a refusal: the item could not be looked at, for the reason the system gives.
            ++m_totals.notErased;
            writeLine(
                m_err, kProgramName + ": " + said(611, {quoted(path), std::strerror(check.error)}));
            continue;
        }
        if (!check.accepted()) {
            ++m_totals.refused;
            writeLine(m_err,
                kProgramName + ": "
                    + said(612,
                        {quoted(path), ErasureTexts::refusalText(check.verdict).toLocal8Bit()}));
            continue;
        }
        if (m_dryRun) {
            listPath(path);
            continue;
        }
        // Small files named one by one share the engine's batches, as a folder's files do:
        // one sync per pass for all of them rather than one per file.
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1
            && quint64(st.st_size) <= ZPHShred::kBatchFileBytes) {
            m_queued.append(
                {path, absolute, quint64(st.st_dev), quint64(st.st_ino), quint64(st.st_size)});
            continue;
        }
        eraseQueuedFiles(done);
        erasePath(path);
        done.append(absolute);
    }
    // After a stop signal the queued files were never touched: they are among the paths not
    // reached.
    if (!s_stopSignal)
        eraseQueuedFiles(done);
    m_queued.clear();
    clearProgress();
    if (!m_stoppedFile.isEmpty()) {
        writeLine(m_err, kProgramName + ": " + said(613, {quoted(m_stoppedFile)}));
    } else if (s_stopSignal) {
        writeLine(m_err, kProgramName + ": " + said(614));
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
                             || writeOut(summary() + '\n'))
        && !m_outputFailed;
    if (const int signal = s_stopSignal)
        return 128 + signal;
    if (!allRemoved || !written || !wiped)
        return NotAllErased;
    return m_totals.warned > 0 ? ErasedWithWarnings : AllErased;
}

QByteArray ShredCommand::versionText()
{
    return kProgramName
        + " (Corvane) " CORVANE_VERSION "\n"
          "Copyright (C) 2026 The Corvane developers.\n"
          "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
          "This is free software: you are free to change and redistribute it.\n"
          "There is NO WARRANTY, to the extent permitted by law.\n";
}

bool ShredCommand::writeOut(const QByteArray& text)
{
    // A full disk or a closed pipe on standard output is an error, as for any GNU tool, told
    // once: the lines after it would fail the same way.
    if (m_outputFailed)
        return false;
    clearProgress();
    const bool ok
        = std::fwrite(text.constData(), 1, size_t(text.size()), m_out) == size_t(text.size())
        && std::fflush(m_out) == 0;
    if (!ok) {
        m_outputFailed = true;
        writeLine(m_err, kProgramName + ": " + said(615, {std::strerror(errno)}));
    }
    return ok;
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

void ShredCommand::listPath(const QByteArray& path)
{
    // What a run would do, told without touching anything.
    StorageAssessment assessment;
    ShredRun::walkTree(path,
        [&](const DirectoryHandle& folder, const QByteArray& name, const QByteArray& file,
            const EntryStat& entry) {
            if (!S_ISREG(entry.mode)) {
                ++m_totals.otherEntries;
                writeOut(said(616, {quoted(file)}) + '\n');
                return;
            }
            if (entry.links > 1) {
                ++m_totals.notErased;
                writeLine(m_err,
                    kProgramName + ": "
                        + said(611,
                            {quoted(file),
                                ErasureTexts::failureText(
                                    {{}, ShredFailure::Kind::HardLinks, 0, quint64(entry.links)})
                                    .toLocal8Bit()}));
                return;
            }
            ++m_totals.files;
            m_totals.bytes += entry.size;
            writeOut(said(617, {quoted(file)}) + '\n');
            const StorageVerdict verdict = assessment.assessAt(folder.fd(), name);
            if (verdict.hasWarning()) {
                ++m_totals.warned;
                writeLine(m_err,
                    kProgramName + ": "
                        + said(
                            619, {quoted(file), ErasureTexts::verdictText(verdict).toLocal8Bit()}));
            }
        });
}

void ShredCommand::erasePath(const QByteArray& path)
{
    ShredRun run(m_engine, {ShredTarget::make(ShredTarget::Kind::Path, path)}, m_method, m_verify);
    followRun(run);
    QObject::connect(&run, &ShredRun::pathFinished, &m_context,
        [this](const QByteArray& done, const ShredReport& report) { reportPath(done, report); });
    run.run();
}

void ShredCommand::eraseQueuedFiles(QList<QByteArray>& done)
{
    if (m_queued.isEmpty())
        return;
    const QList<QueuedFile> files = std::exchange(m_queued, {});

    // Each is erased only if it is still the file that was looked at above.
    QList<ShredTarget> targets;
    for (const QueuedFile& file : files)
        targets.append(ShredTarget::make(ShredTarget::Kind::ListedFile, file.path,
            FileIdentity {file.device, file.inode}, file.length));
    ShredRun run(m_engine, targets, m_method, m_verify);
    followRun(run);
    QHash<QString, ShredFileResult> results;
    QObject::connect(&run, &ShredRun::fileFinished, &m_context,
        [&results](
            const QString& file, const ShredFileResult& result) { results.insert(file, result); });
    ShredReport report;
    QObject::connect(&run, &ShredRun::finished, &m_context,
        [&report](const ShredReport& whole) { report = whole; });
    run.run();

    // The run's report covers them all; each file gets its own lines, in the order named. The
    // run's notes and stop go with the first file told about.
    bool sharedTold = false;
    for (const QueuedFile& file : files) {
        const QString shown = PathText::fromNative(file.path);
        ShredReport own;
        for (const ShredFailure& failure : std::as_const(report.failures)) {
            if (failure.path == shown)
                own.failures.append(failure);
        }
        const auto result = results.constFind(shown);
        const bool erased
            = result != results.cend() && result->outcome == ShredFileResult::Outcome::Erased;
        // A stop leaves the files it never reached untouched and unreported, as later paths.
        if (!erased && own.failures.isEmpty() && report.stopped)
            continue;
        if (erased) {
            own.filesErased = 1;
            own.bytesErased = result->length;
        }
        struct stat st;
        own.pathRemoved = ::lstat(file.path.constData(), &st) != 0 && errno == ENOENT;
        m_warnedByReason.clear();
        if (erased && result->verdict.hasWarning())
            m_warnedByReason.insert(int(result->verdict.mainReason()), 1);
        if (!std::exchange(sharedTold, true)) {
            own.entriesRemoved = report.entriesRemoved;
            own.notes = report.notes;
            own.stoppedPath = report.stoppedPath;
        }
        reportPath(file.path, own);
        done.append(file.absolute);
    }
    m_warnedByReason.clear();
    if (!sharedTold && !report.stoppedPath.isEmpty())
        m_stoppedFile = report.stoppedPath;
}

void ShredCommand::followRun(ShredRun& run)
{
    // A new run starts the progress line afresh.
    m_bytesPlanned = 0;
    m_bytesDone = 0;
    m_currentFile.clear();
    m_pass = 0;
    m_passes = 0;
    m_warnedByReason.clear();
    m_pathTimer.start();
    QObject::connect(&run, &ShredRun::planned, &m_context, [this](qint64, quint64 bytes) {
        m_bytesPlanned = bytes;
        showProgress();
    });
    QObject::connect(
        &run, &ShredRun::fileStarted, &m_context, [this](const QString& file, int passes) {
            m_currentFile = file;
            m_passes = passes;
            showProgress();
        });
    QObject::connect(&run, &ShredRun::passStarted, &m_context, [this](int pass, int) {
        m_pass = pass;
        showProgress();
    });
    QObject::connect(&run, &ShredRun::bytesWritten, &m_context, [this](quint64 done) {
        m_bytesDone = done;
        showProgress();
    });
    QObject::connect(&run, &ShredRun::fileFinished, &m_context,
        [this](
            const QString& file, const ShredFileResult& result) { onFileFinished(file, result); });
}

void ShredCommand::onFileFinished(const QString& file, const ShredFileResult& result)
{
    m_currentFile.clear();
    if (result.outcome != ShredFileResult::Outcome::Erased)
        return;
    if (m_verbose)
        writeOut(said(618, {quoted(file)}) + '\n');
    if (result.verdict.hasWarning()) {
        ++m_totals.warned;
        if (m_freeSpace)
            m_freeSpace->noteWarning(file, result.verdict);
        ++m_warnedByReason[int(result.verdict.mainReason())];
        if (m_verbose) {
            writeLine(m_err,
                kProgramName + ": "
                    + said(619,
                        {quoted(file), ErasureTexts::verdictText(result.verdict).toLocal8Bit()}));
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
        writeLine(m_err,
            kProgramName + ": "
                + said(
                    611, {quoted(failure.path), ErasureTexts::failureText(failure).toLocal8Bit()}));
    }
    if (report.succeeded() && report.pathRemoved) {
        ++m_totals.pathsRemoved;
    } else if (report.succeeded()) {
        ++m_totals.notErased;
        writeLine(m_err,
            kProgramName + ": "
                + said(611,
                    {quoted(path),
                        ErasureTexts::failureText({{}, ShredFailure::Kind::StillThere})
                            .toLocal8Bit()}));
    }
    if (!m_verbose) {
        // One line per path and reason; --verbose names every file instead.
        // The long explanation once per run; a glob of many files gets one short line each.
        for (auto it = m_warnedByReason.cbegin(); it != m_warnedByReason.cend(); ++it) {
            const auto reason = StorageReason(it.key());
            if (!m_reasonsExplained.contains(reason)) {
                m_reasonsExplained.append(reason);
                writeLine(m_err,
                    kProgramName + ": "
                        + said(619,
                            {FreeSpaceWipeTexts::shortReason(reason).toLocal8Bit(),
                                ErasureTexts::reasonText(reason).toLocal8Bit()}));
            }
            writeLine(m_err,
                kProgramName + ": "
                    + said(619,
                        {quoted(path),
                            FreeSpaceWipeTexts::shortWarning(reason, counted(it.value(), 601, 602))
                                .toLocal8Bit()}));
        }
    }
    // Each note once per run: it is about the storage, not about a file.
    for (const StorageReason note : report.notes) {
        if (m_notesTold.contains(note))
            continue;
        m_notesTold.append(note);
        writeLine(
            m_err, kProgramName + ": " + said(620, {ErasureTexts::reasonText(note).toLocal8Bit()}));
    }
}

QByteArray ShredCommand::summary() const
{
    if (m_dryRun) {
        return localizedFormat(QStringLiteral("IDS_KQ_608"),
            {counted(m_totals.files, 601, 602), sizeText(double(m_totals.bytes)),
                counted(m_totals.otherEntries, 603, 604), QString::number(m_totals.notErased),
                QString::number(m_totals.refused), QString::number(m_totals.warned)})
            .toLocal8Bit();
    }
    const QString text = localizedFormat(QStringLiteral("IDS_KQ_607"),
        {counted(m_totals.files, 601, 602), sizeText(double(m_totals.bytes)),
            counted(m_totals.otherEntries, 603, 604), QString::number(m_totals.pathsRemoved),
            counted(m_pathCount, 605, 606), QString::number(m_totals.notErased),
            QString::number(m_totals.refused), QString::number(m_totals.warned)});
    return text.toLocal8Bit();
}

void ShredCommand::showProgress()
{
    if (!m_progressShown)
        return;
    QString head = QStringLiteral("[%1/%2] ").arg(m_pathIndex).arg(m_pathCount);
    if (m_bytesPlanned > 0) {
        const int percent = int(std::min<quint64>(100, m_bytesDone * 100 / m_bytesPlanned));
        head += QString::number(percent) + QStringLiteral("%, ")
            + localizedFormat(QStringLiteral("IDS_KQ_509"),
                {sizeText(double(m_bytesDone)), sizeText(double(m_bytesPlanned))});
    } else {
        head += sizeText(double(m_bytesDone));
    }
    if (m_passes > 1 && !m_currentFile.isEmpty())
        head += QStringLiteral(", ")
            + localizedFormat(
                QStringLiteral("IDS_KQ_251"), {QString::number(m_pass), QString::number(m_passes)});
    const qint64 elapsed = m_pathTimer.elapsed();
    if (elapsed >= kEstimateAfterMs && m_bytesDone > 0 && m_bytesPlanned > m_bytesDone) {
        const double rate = double(m_bytesDone) / double(elapsed);
        head += QStringLiteral(", ")
            + localizedFormat(QStringLiteral("IDS_KQ_252"),
                durationText(qint64(double(m_bytesPlanned - m_bytesDone) / rate / 1000.0) + 1));
    }
    QString line = head;
    if (!m_currentFile.isEmpty())
        line += QStringLiteral(": ")
            + QString::fromLocal8Bit(shown(PathText::toNative(m_currentFile)));
    // A line wider than the terminal wraps, and "\r" would then redraw only its last row.
    const int width = terminalWidth(fileno(m_err)) - 1;
    if (line.size() > width) {
        const int tail = width - int(head.size()) - 5;
        line = tail > 8 ? head + QStringLiteral(": ...") + line.right(tail) : line.left(width);
    }
    const QByteArray bytes = kClearLine + line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
    std::fflush(m_err);
    m_progressOnLine = true;
}

void ShredCommand::clearProgress()
{
    if (!m_progressOnLine)
        return;
    std::fwrite(kClearLine.constData(), 1, size_t(kClearLine.size()), m_err);
    std::fflush(m_err);
    m_progressOnLine = false;
}

void ShredCommand::writeLine(FILE* stream, const QByteArray& text)
{
    // Standard output may share the terminal with the progress line.
    clearProgress();
    const QByteArray line = text + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fflush(stream);
}
