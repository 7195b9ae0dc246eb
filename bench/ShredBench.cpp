// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredBench.h"

#include "StorageAssessment.h"
#include "ZPHShred.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

volatile int ShredBench::s_interrupted = 0;

namespace {

constexpr quint64 kMiB = 1024 * 1024;
constexpr quint32 kOnesWord = 0xFFFFFFFFu;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
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

} // namespace

ShredBench::ShredBench(const BenchOptions& options, const QString& workDir)
    : m_options(options)
    , m_folder(workDir, options.sizeMiB * kMiB)
    , m_reference(m_folder, s_interrupted)
{ }

void ShredBench::checkInterrupted() const
{
    if (s_interrupted)
        BenchError::raise(QStringLiteral("interrupted"));
}

double ShredBench::timeEngine(
    const QString& path, int method, qint64 files, quint64 bytes, bool verify)
{
    m_folder.requireInside(path);
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
        BenchError::raise(why);
    }
    if (!BenchFolder::pathGone(path))
        BenchError::raise(
            QStringLiteral("engine reported success but %1 is still there").arg(path));
    return seconds;
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
    const QString file = m_folder.inWork(QStringLiteral("large.bin"));
    std::fprintf(stderr, "method 1 vs dd on %llu MiB...\n", (unsigned long long)m_options.sizeMiB);
    std::vector<double> withUnlink;
    const Pair pair = timePairs(
        m_options.repeatLarge,
        [&] {
            m_folder.makeLargeFile(file);
            return timeEngine(file, 1, 1, m_folder.largeBytes());
        },
        [&] { return m_reference.ddZeros(file, &withUnlink); });
    report(QStringLiteral("method 1, %1 MiB").arg(m_options.sizeMiB), QStringLiteral("engine"),
        QStringLiteral("dd"), pair, 1.25, false);
    reportInfo(QStringLiteral("method 1, %1 MiB").arg(m_options.sizeMiB),
        QStringLiteral("dd then unlink"), pair.engine, withUnlink);
}

void ShredBench::benchLargeMethod3VsDd()
{
    const QString file = m_folder.inWork(QStringLiteral("large.bin"));
    const QString ones = m_folder.inWork(QStringLiteral("source-ff.bin"));
    const QString pattern = m_folder.inWork(QStringLiteral("source-pattern.bin"));
    std::fprintf(stderr, "method 3 vs three dd passes on %llu MiB...\n",
        (unsigned long long)m_options.sizeMiB);
    // dd reads the second and third passes from files of the pass bytes; they are written
    // once here and stay in the page cache.
    m_folder.makePatternSource(ones, kOnesWord);
    m_folder.makePatternSource(pattern, ZPHShred::kPatternPass3);
    const QStringList sources {QStringLiteral("/dev/zero"), ones, pattern};
    std::vector<double> passTotals(3, 0.0);
    std::vector<double> withUnlink;
    const Pair pair = timePairs(
        m_options.repeatLarge,
        [&] {
            m_folder.makeLargeFile(file);
            return timeEngine(file, 3, 1, m_folder.largeBytes());
        },
        [&] {
            return m_reference.ddPasses(
                file, sources, ZPHShred::kPatternPass3, &passTotals, &withUnlink);
        });
    const double n = m_options.repeatLarge;
    std::fprintf(stderr,
        "  dd passes (mean): /dev/zero %.2f s, 0xFF file %.2f s, pattern file %.2f s\n",
        passTotals[0] / n, passTotals[1] / n, passTotals[2] / n);
    m_folder.removeIfPresent(ones);
    m_folder.removeIfPresent(pattern);
    report(QStringLiteral("method 3, %1 MiB").arg(m_options.sizeMiB), QStringLiteral("engine"),
        QStringLiteral("dd x3"), pair, 1.25, false);
    reportInfo(QStringLiteral("method 3, %1 MiB").arg(m_options.sizeMiB),
        QStringLiteral("dd x3 then unlink"), pair.engine, withUnlink);
}

void ShredBench::benchLargeMethod1VsShred()
{
    const QString file = m_folder.inWork(QStringLiteral("large.bin"));
    std::fprintf(stderr, "method 1 vs GNU shred -n0 -z on %llu MiB...\n",
        (unsigned long long)m_options.sizeMiB);
    const Pair pair = timePairs(
        m_options.repeatLarge,
        [&] {
            m_folder.makeLargeFile(file);
            return timeEngine(file, 1, 1, m_folder.largeBytes());
        },
        [&] { return m_reference.shredLargeFile(file); });
    report(QStringLiteral("method 1 vs GNU shred -n0 -z, %1 MiB").arg(m_options.sizeMiB),
        QStringLiteral("engine"), QStringLiteral("shred"), pair, 1.0, true);
}

void ShredBench::benchLargeVerifyVsDd()
{
    const QString file = m_folder.inWork(QStringLiteral("large.bin"));
    std::fprintf(stderr,
        "method 1 with verification vs dd writing, then reading back direct, on %llu MiB...\n",
        (unsigned long long)m_options.sizeMiB);
    const Pair pair = timePairs(
        m_options.repeatLarge,
        [&] {
            m_folder.makeLargeFile(file);
            return timeEngine(file, 1, 1, m_folder.largeBytes(), true);
        },
        [&] { return m_reference.ddWriteAndDirectRead(file); });
    report(QStringLiteral("method 1 with --verify, %1 MiB").arg(m_options.sizeMiB),
        QStringLiteral("engine"), QStringLiteral("dd write + direct read"), pair, 1.25, false);
}

void ShredBench::benchAssessmentShare()
{
    const QString root = m_folder.inWork(QStringLiteral("tree"));
    const int count = m_options.smallFiles.first();
    std::fprintf(stderr, "storage assessment of %d small files...\n", count);
    QStringList files;
    std::vector<double> shares;
    for (int i = 0; i < m_options.repeatSmall; ++i) {
        const quint64 totalBytes = m_folder.makeTree(root, count, &files);
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
    const QString root = m_folder.inWork(QStringLiteral("tree"));
    std::fprintf(stderr, "%d small files...\n", count);
    QStringList files;
    quint64 totalBytes = 0;
    const Pair pair = timePairs(
        m_options.repeatSmall,
        [&] {
            totalBytes = m_folder.makeTree(root, count, &files);
            return timeEngine(root, 1, files.size(), totalBytes);
        },
        [&] {
            totalBytes = m_folder.makeTree(root, count, &files);
            return m_reference.shredFiles(root, files);
        });
    const QString label = QStringLiteral("%1 small files (%2 MiB)")
                              .arg(count)
                              .arg(double(totalBytes) / kMiB, 0, 'f', 1);
    report(label, QStringLiteral("engine"), QStringLiteral("shred"), pair, 0.5, false);

    // What removing the same tree costs without erasing anything: the floor of any eraser.
    std::vector<double> removal;
    for (int i = 0; i < m_options.repeatSmall; ++i) {
        m_folder.makeTree(root, count, &files);
        removal.push_back(m_reference.removeTree(root));
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
    std::fprintf(stderr, "work folder %s; dd %s, shred %s\n", qPrintable(m_folder.path()),
        qPrintable(m_reference.dd()), qPrintable(m_reference.shred()));
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
