// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredBench.h"

#include "StorageAssessment.h"
#include "ZPHShred.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

volatile int ShredBench::s_interrupted = 0;

namespace {

constexpr quint64 kMiB = 1024 * 1024;
constexpr quint32 kZeroWord = 0x00000000u;
constexpr quint32 kOnesWord = 0xFFFFFFFFu;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

[[noreturn]] void fail(const QString& text)
{
    throw BenchError(text.toStdString());
}

bool pathGone(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT;
}

void writeAll(int fd, const char* data, size_t length, const QString& path)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(QStringLiteral("could not write %1: %2").arg(path, errnoText()));
        data += n;
        length -= size_t(n);
    }
}

int createFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        fail(QStringLiteral("could not create %1: %2").arg(path, errnoText()));
    return fd;
}

void finishFile(int fd, const QString& path, bool durable)
{
    if (durable && ::fsync(fd) != 0) {
        ::close(fd);
        fail(QStringLiteral("could not fsync %1: %2").arg(path, errnoText()));
    }
    if (::close(fd) != 0)
        fail(QStringLiteral("could not close %1: %2").arg(path, errnoText()));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

long maxRssKiB()
{
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
}

// Bytes execve may take for arguments, leaving the environment and a margin aside.
size_t argumentBudget()
{
    long max = ::sysconf(_SC_ARG_MAX);
    if (max <= 0)
        max = 128 * 1024;
    size_t env = 0;
    for (char** e = environ; *e; ++e)
        env += std::strlen(*e) + 1 + sizeof(char*);
    const size_t room = size_t(max) > env ? size_t(max) - env : 0;
    return std::min<size_t>(room / 2, 1024 * 1024);
}

} // namespace

ShredBench::ShredBench(const BenchOptions& options, const QString& workDir)
    : m_options(options)
    , m_workDir(QDir::cleanPath(workDir))
    , m_bytes(options.sizeMiB * kMiB)
{
    m_dd = QStandardPaths::findExecutable(QStringLiteral("dd"));
    m_shred = QStandardPaths::findExecutable(QStringLiteral("shred"));
    if (m_dd.isEmpty() || m_shred.isEmpty())
        fail(QStringLiteral("dd and shred (GNU coreutils) must be on the PATH"));
    // Deterministic, never-zero filler, so every erase has real work to undo.
    m_fill.resize(kMiB);
    quint64 x = 0x9E3779B97F4A7C15ull;
    for (char& c : m_fill) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = char((x & 0xFF) ? (x & 0xFF) : 0x5A);
    }
}

QString ShredBench::inWork(const QString& name) const
{
    return m_workDir + QLatin1Char('/') + name;
}

void ShredBench::requireInside(const QString& path) const
{
    const QString clean = QDir::cleanPath(path);
    if (!clean.startsWith(m_workDir + QLatin1Char('/')) || clean.contains(QStringLiteral("/../")))
        fail(QStringLiteral("refusing to touch %1: outside the benchmark folder").arg(path));
}

void ShredBench::checkInterrupted() const
{
    if (s_interrupted)
        fail(QStringLiteral("interrupted"));
}

void ShredBench::removeIfPresent(const QString& path) const
{
    requireInside(path);
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        fail(QStringLiteral("could not remove %1: %2").arg(path, errnoText()));
}

void ShredBench::makeLargeFile(const QString& path) const
{
    requireInside(path);
    removeIfPresent(path);
    const int fd = createFile(path);
    for (quint64 done = 0; done < m_bytes; done += kMiB)
        writeAll(fd, m_fill.data(), kMiB, path);
    finishFile(fd, path, true);
}

void ShredBench::makePatternSource(const QString& path, quint32 word) const
{
    requireInside(path);
    std::vector<char> block(kMiB);
    for (size_t i = 0; i < block.size(); i += sizeof word)
        std::memcpy(block.data() + i, &word, sizeof word);
    const int fd = createFile(path);
    for (quint64 done = 0; done < m_bytes; done += kMiB)
        writeAll(fd, block.data(), kMiB, path);
    finishFile(fd, path, true);
}

quint64 ShredBench::makeTree(const QString& root, int count, QStringList* relativeFiles) const
{
    requireInside(root);
    static const QStringList folders {
        QStringLiteral("alpha"),
        QStringLiteral("beta"),
        QStringLiteral("beta/inner"),
        QStringLiteral("gamma"),
        QStringLiteral("gamma/inner/deep"),
    };
    if (!QDir().mkpath(root))
        fail(QStringLiteral("could not make %1").arg(root));
    for (const QString& folder : folders) {
        if (!QDir(root).mkpath(folder))
            fail(QStringLiteral("could not make %1/%2").arg(root, folder));
    }
    relativeFiles->clear();
    quint64 total = 0;
    for (int i = 0; i < count; ++i) {
        // 1 KiB to 12 KiB, spread evenly and the same on every run.
        const quint64 size = 1024 + (quint64(i) * 2654435761ull) % (11 * 1024 + 1);
        const QString relative = folders[i % folders.size()]
            + QStringLiteral("/f%1.dat").arg(i, 5, 10, QLatin1Char('0'));
        const QString path = root + QLatin1Char('/') + relative;
        const int fd = createFile(path);
        const size_t offset = (size_t(i) * 4099) % (m_fill.size() - 12 * 1024 - 1);
        writeAll(fd, m_fill.data() + offset, size, path);
        finishFile(fd, path, false);
        relativeFiles->append(relative);
        total += size;
    }
    ::sync(); // one flush for the whole tree instead of one per file
    return total;
}

double ShredBench::timeEngine(
    const QString& path, int method, qint64 files, quint64 bytes, bool verify)
{
    requireInside(path);
    checkInterrupted();
    ZPHShred engine;
    engine.setPerFileDelayMs(0);
    engine.setVerifyAfterErasing(verify);
    ::sync();
    const auto start = Clock::now();
    engine.shredFile(path, method);
    const double seconds = secondsSince(start);
    const ShredReport r = engine.lastReport();
    if (!r.succeeded() || !r.pathRemoved || r.filesErased != files || r.bytesErased != bytes) {
        QString why = QStringLiteral("engine run on %1 (method %2) failed: %3 files, %4 bytes "
                                     "erased, path removed %5")
                          .arg(path)
                          .arg(method)
                          .arg(r.filesErased)
                          .arg(r.bytesErased)
                          .arg(r.pathRemoved ? QStringLiteral("yes") : QStringLiteral("no"));
        for (const ShredFailure& f : r.failures)
            why += QStringLiteral("\n  %1: kind %2, %3")
                       .arg(f.path)
                       .arg(int(f.kind))
                       .arg(QString::fromLocal8Bit(std::strerror(f.error)));
        fail(why);
    }
    if (!pathGone(path))
        fail(QStringLiteral("engine reported success but %1 is still there").arg(path));
    return seconds;
}

double ShredBench::timeCommand(
    const QString& program, const QStringList& args, const QString& workingDir) const
{
    checkInterrupted();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    const auto start = Clock::now();
    process.start(program, args);
    if (!process.waitForStarted(-1))
        fail(QStringLiteral("could not start %1: %2").arg(program, process.errorString()));
    process.waitForFinished(-1);
    const double seconds = secondsSince(start);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        fail(QStringLiteral("%1 failed (exit code %2): %3")
                 .arg(program)
                 .arg(process.exitCode())
                 .arg(QString::fromLocal8Bit(process.readAll()).trimmed()));
    }
    return seconds;
}

// dd must have written over the file in place: same size, and the pass's bytes at the start.
void ShredBench::checkLargeFileStart(const QString& path, quint32 word) const
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || quint64(st.st_size) != m_bytes)
        fail(QStringLiteral("%1 does not have its size after dd").arg(path));
    QFile file(path);
    quint32 first = 0;
    if (!file.open(QIODevice::ReadOnly)
        || file.read(reinterpret_cast<char*>(&first), sizeof first) != sizeof first
        || first != word)
        fail(QStringLiteral("%1 does not start with the bytes dd wrote").arg(path));
}

ShredBench::Pair ShredBench::timePairs(int repeats, const std::function<double()>& engineRun,
    const std::function<double()>& referenceRun) const
{
    Pair pair;
    for (int i = 0; i < repeats; ++i) {
        // Alternate which side goes first, so neither always inherits the other's aftermath.
        if (i % 2 == 0) {
            pair.engine.push_back(engineRun());
            pair.reference.push_back(referenceRun());
        } else {
            pair.reference.push_back(referenceRun());
            pair.engine.push_back(engineRun());
        }
        std::fprintf(stderr, "  run %d: engine %.3f s, reference %.3f s\n", i + 1,
            pair.engine.back(), pair.reference.back());
    }
    return pair;
}

void ShredBench::report(const QString& label, const QString& engineName, const QString& refName,
    const Pair& pair, double target, bool strict)
{
    const double engine = median(pair.engine);
    const double reference = median(pair.reference);
    const double ratio = engine / reference;
    const bool met = strict ? ratio < target : ratio <= target;
    std::printf("%s: %s %.2f s, %s %.2f s, ratio %.2f (target %s %g)\n", qPrintable(label),
        qPrintable(engineName), engine, qPrintable(refName), reference, ratio,
        strict ? "<" : "<=", target);
    std::fflush(stdout);
    if (!met)
        m_missed.append(QStringLiteral("%1 (ratio %2)").arg(label).arg(ratio, 0, 'f', 2));
}

// The engine's run ends with the file unlinked, dd's does not: this times the unlink dd
// leaves to the benchmark, so the two can also be compared doing the same work.
double ShredBench::timeUnlink(const QString& path) const
{
    requireInside(path);
    const auto start = Clock::now();
    if (::unlink(QFile::encodeName(path).constData()) != 0)
        fail(QStringLiteral("could not remove %1: %2").arg(path, errnoText()));
    return secondsSince(start);
}

void ShredBench::reportInfo(const QString& label, const QString& refName,
    const std::vector<double>& engine, const std::vector<double>& reference)
{
    const double e = median(engine);
    const double r = median(reference);
    std::printf("%s: engine %.2f s, %s %.2f s, ratio %.2f (no target; same work: both unlink)\n",
        qPrintable(label), e, qPrintable(refName), r, e / r);
    std::fflush(stdout);
}

void ShredBench::benchLargeMethod1VsDd()
{
    const QString file = inWork(QStringLiteral("large.bin"));
    std::fprintf(stderr, "method 1 vs dd on %llu MiB...\n", (unsigned long long)m_options.sizeMiB);
    const QStringList ddArgs {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + file,
        QStringLiteral("bs=1M"), QStringLiteral("count=%1").arg(m_options.sizeMiB),
        QStringLiteral("conv=notrunc,fsync")};
    std::vector<double> withUnlink;
    const Pair pair = timePairs(
        m_options.repeatLarge,
        [&] {
            makeLargeFile(file);
            return timeEngine(file, 1, 1, m_bytes);
        },
        [&] {
            makeLargeFile(file);
            ::sync();
            const double s = timeCommand(m_dd, ddArgs);
            checkLargeFileStart(file, kZeroWord);
            withUnlink.push_back(s + timeUnlink(file));
            return s;
        });
    report(QStringLiteral("method 1, %1 MiB").arg(m_options.sizeMiB), QStringLiteral("engine"),
        QStringLiteral("dd"), pair, 1.25, false);
    reportInfo(QStringLiteral("method 1, %1 MiB").arg(m_options.sizeMiB),
        QStringLiteral("dd then unlink"), pair.engine, withUnlink);
}

void ShredBench::benchLargeMethod3VsDd()
{
    const QString file = inWork(QStringLiteral("large.bin"));
    const QString ones = inWork(QStringLiteral("source-ff.bin"));
    const QString pattern = inWork(QStringLiteral("source-pattern.bin"));
    std::fprintf(stderr, "method 3 vs three dd passes on %llu MiB...\n",
        (unsigned long long)m_options.sizeMiB);
    // dd reads the second and third passes from files of the pass bytes; they are written
    // once here and stay in the page cache.
    makePatternSource(ones, kOnesWord);
    makePatternSource(pattern, ZPHShred::kPatternPass3);
    const QStringList sources {QStringLiteral("/dev/zero"), ones, pattern};
    const quint32 words[] = {kZeroWord, kOnesWord, ZPHShred::kPatternPass3};
    std::vector<double> passTotals(3, 0.0);
    std::vector<double> withUnlink;
    const Pair pair = timePairs(
        m_options.repeatLarge,
        [&] {
            makeLargeFile(file);
            return timeEngine(file, 3, 1, m_bytes);
        },
        [&] {
            makeLargeFile(file);
            ::sync();
            double total = 0;
            for (int p = 0; p < 3; ++p) {
                const double s = timeCommand(m_dd,
                    {QStringLiteral("if=") + sources[p], QStringLiteral("of=") + file,
                        QStringLiteral("bs=1M"), QStringLiteral("count=%1").arg(m_options.sizeMiB),
                        QStringLiteral("conv=notrunc,fsync")});
                passTotals[size_t(p)] += s;
                total += s;
            }
            checkLargeFileStart(file, words[2]);
            withUnlink.push_back(total + timeUnlink(file));
            return total;
        });
    const double n = m_options.repeatLarge;
    std::fprintf(stderr,
        "  dd passes (mean): /dev/zero %.2f s, 0xFF file %.2f s, pattern file %.2f s\n",
        passTotals[0] / n, passTotals[1] / n, passTotals[2] / n);
    removeIfPresent(ones);
    removeIfPresent(pattern);
    report(QStringLiteral("method 3, %1 MiB").arg(m_options.sizeMiB), QStringLiteral("engine"),
        QStringLiteral("dd x3"), pair, 1.25, false);
    reportInfo(QStringLiteral("method 3, %1 MiB").arg(m_options.sizeMiB),
        QStringLiteral("dd x3 then unlink"), pair.engine, withUnlink);
}

void ShredBench::benchLargeMethod1VsShred()
{
    const QString file = inWork(QStringLiteral("large.bin"));
    std::fprintf(stderr, "method 1 vs GNU shred -n0 -z on %llu MiB...\n",
        (unsigned long long)m_options.sizeMiB);
    const Pair pair = timePairs(
        m_options.repeatLarge,
        [&] {
            makeLargeFile(file);
            return timeEngine(file, 1, 1, m_bytes);
        },
        [&] {
            makeLargeFile(file);
            requireInside(file);
            ::sync();
            const double s = timeCommand(m_shred,
                {QStringLiteral("-n0"), QStringLiteral("-z"), QStringLiteral("--remove=unlink"),
                    QStringLiteral("--"), file});
            if (!pathGone(file))
                fail(QStringLiteral("shred left %1 behind").arg(file));
            return s;
        });
    report(QStringLiteral("method 1 vs GNU shred -n0 -z, %1 MiB").arg(m_options.sizeMiB),
        QStringLiteral("engine"), QStringLiteral("shred"), pair, 1.0, true);
}

void ShredBench::benchLargeVerifyVsDd()
{
    const QString file = inWork(QStringLiteral("large.bin"));
    std::fprintf(stderr,
        "method 1 with verification vs dd writing, then reading back direct, on %llu MiB...\n",
        (unsigned long long)m_options.sizeMiB);
    const QString count = QStringLiteral("count=%1").arg(m_options.sizeMiB);
    const Pair pair = timePairs(
        m_options.repeatLarge,
        [&] {
            makeLargeFile(file);
            return timeEngine(file, 1, 1, m_bytes, true);
        },
        [&] {
            makeLargeFile(file);
            ::sync();
            double s = timeCommand(m_dd,
                {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + file,
                    QStringLiteral("bs=1M"), count, QStringLiteral("conv=notrunc,fsync")});
            s += timeCommand(m_dd,
                {QStringLiteral("if=") + file, QStringLiteral("of=/dev/null"),
                    QStringLiteral("bs=1M"), count, QStringLiteral("iflag=direct")});
            checkLargeFileStart(file, kZeroWord);
            removeIfPresent(file);
            return s;
        });
    report(QStringLiteral("method 1 with --verify, %1 MiB").arg(m_options.sizeMiB),
        QStringLiteral("engine"), QStringLiteral("dd write + direct read"), pair, 1.25, false);
}

void ShredBench::benchAssessmentShare()
{
    const QString root = inWork(QStringLiteral("tree"));
    const int count = m_options.smallFiles.first();
    std::fprintf(stderr, "storage assessment of %d small files...\n", count);
    QStringList files;
    std::vector<double> shares;
    for (int i = 0; i < m_options.repeatSmall; ++i) {
        const quint64 totalBytes = makeTree(root, count, &files);
        // The same judgement the engine makes before each file's first pass, alone.
        StorageAssessment assessment;
        const auto start = Clock::now();
        for (const QString& f : files)
            assessment.assessPath(QFile::encodeName(root + QLatin1Char('/') + f));
        const double assessing = secondsSince(start);
        const double run = timeEngine(root, 1, files.size(), totalBytes);
        shares.push_back(assessing / run);
        std::fprintf(
            stderr, "  run %d: assessment %.4f s, whole run %.3f s\n", i + 1, assessing, run);
    }
    const double share = median(shares);
    std::printf("storage assessment of %d small files: %.1f%% of the run (target < 5%%)\n", count,
        share * 100);
    std::fflush(stdout);
    if (share >= 0.05)
        m_missed.append(QStringLiteral("assessment share (%1%)").arg(share * 100, 0, 'f', 1));
}

void ShredBench::benchSmallFiles(int count)
{
    const QString root = inWork(QStringLiteral("tree"));
    std::fprintf(stderr, "%d small files...\n", count);
    QStringList files;
    quint64 totalBytes = 0;
    const Pair pair = timePairs(
        m_options.repeatSmall,
        [&] {
            totalBytes = makeTree(root, count, &files);
            return timeEngine(root, 1, files.size(), totalBytes);
        },
        [&] {
            totalBytes = makeTree(root, count, &files);
            // One shred for all the files, split only where execve's argument room ends.
            const QStringList head {QStringLiteral("-n0"), QStringLiteral("-z"),
                QStringLiteral("--remove=unlink"), QStringLiteral("--")};
            const size_t budget = argumentBudget();
            std::vector<QStringList> chunks;
            size_t used = budget;
            for (const QString& f : files) {
                const size_t cost = size_t(QFile::encodeName(f).size()) + 1 + sizeof(char*);
                if (used + cost > budget) {
                    chunks.push_back(head);
                    used = 256;
                }
                chunks.back().append(f);
                used += cost;
            }
            ::sync();
            double total = 0;
            for (const QStringList& args : chunks)
                total += timeCommand(m_shred, args, root);
            for (const QString& f : files) {
                if (!pathGone(root + QLatin1Char('/') + f))
                    fail(QStringLiteral("shred left %1/%2 behind").arg(root, f));
            }
            requireInside(root);
            if (!QDir(root).removeRecursively()) // only the emptied folders are left
                fail(QStringLiteral("could not remove %1").arg(root));
            if (chunks.size() > 1)
                std::fprintf(stderr, "  shred ran in %zu chunks\n", chunks.size());
            return total;
        });
    const QString label = QStringLiteral("%1 small files (%2 MiB)")
                              .arg(count)
                              .arg(double(totalBytes) / kMiB, 0, 'f', 1);
    report(label, QStringLiteral("engine"), QStringLiteral("shred"), pair, 0.5, false);

    // What removing the same tree costs without erasing anything: the floor of any eraser.
    std::vector<double> removal;
    for (int i = 0; i < m_options.repeatSmall; ++i) {
        makeTree(root, count, &files);
        requireInside(root);
        ::sync();
        removal.push_back(
            timeCommand(QStringLiteral("rm"), {QStringLiteral("-rf"), QStringLiteral("--"), root}));
        if (!pathGone(root))
            fail(QStringLiteral("rm -rf left %1 behind").arg(root));
    }
    const double rm = median(removal);
    std::printf("%s: rm -rf %.2f s (engine %.1fx, shred %.1fx of it)\n", qPrintable(label), rm,
        median(pair.engine) / rm, median(pair.reference) / rm);
    std::fflush(stdout);
}

void ShredBench::reportMemory()
{
    const long peak = maxRssKiB();
    const double peakMiB = peak / 1024.0;
    std::printf("peak memory: %.1f MiB RSS (+%.1f MiB over start) (target < 64 MiB)\n", peakMiB,
        (peak - m_baselineRssKiB) / 1024.0);
    if (peakMiB >= 64)
        m_missed.append(QStringLiteral("peak memory (%1 MiB)").arg(peakMiB, 0, 'f', 1));
}

void ShredBench::run()
{
    std::fprintf(stderr, "work folder %s; dd %s, shred %s\n", qPrintable(m_workDir),
        qPrintable(m_dd), qPrintable(m_shred));
    QStringList counts;
    for (const int count : m_options.smallFiles)
        counts.append(QString::number(count));
    std::printf("settings: %llu MiB file x%d, %s small files x%d\n",
        (unsigned long long)m_options.sizeMiB, m_options.repeatLarge,
        qPrintable(counts.join(QStringLiteral(" and "))), m_options.repeatSmall);
    std::fflush(stdout);
    m_baselineRssKiB = maxRssKiB();

    if (!m_options.smallOnly) {
        benchLargeMethod1VsDd();
        benchLargeMethod3VsDd();
        benchLargeMethod1VsShred();
        benchLargeVerifyVsDd();
    }
    for (const int count : m_options.smallFiles)
        benchSmallFiles(count);
    benchAssessmentShare();
    reportMemory();

    if (m_missed.isEmpty())
        std::printf("targets: all met\n");
    else
        std::printf("targets: NOT met: %s\n", qPrintable(m_missed.join(QStringLiteral("; "))));
    std::fflush(stdout);
}
