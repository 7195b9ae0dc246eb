// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BenchError.h"
#include "BenchFolder.h"
#include "ReferenceRuns.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct BenchOptions
{
    quint64 sizeMiB = 1024; ///< size of the large file
    QList<int> smallFiles {3000, 30000}; ///< the small-file trees, one figure each
    bool smallOnly = false; ///< skip the large file
    int repeatLarge = 1; ///< timed pairs on the large file
    int repeatSmall = 3; ///< timed pairs on the small-file tree
};

/// Times the shredding engine against dd and GNU shred, always inside `workDir`, a folder the
/// caller made for this run only and removes afterwards.
class ShredBench
{
public:
    ShredBench(const BenchOptions& options, const QString& workDir);

    /// Runs every measurement and prints one line per figure. Throws BenchError when a run fails.
    void run();

    /// Set from a signal handler; checked between runs.
    static volatile int s_interrupted;

private:
    struct Pair
    {
        std::vector<double> engine;
        std::vector<double> reference;
    };

    void checkInterrupted() const;
    double timeEngine(
        const QString& path, int method, qint64 files, quint64 bytes, bool verify = false);

    Pair timePairs(int repeats, const std::function<double()>& engineRun,
        const std::function<double()>& referenceRun) const;
    void report(const QString& label, const QString& engineName, const QString& refName,
        const Pair& pair, double target, bool strict);
    void reportInfo(const QString& label, const QString& refName, const std::vector<double>& engine,
        const std::vector<double>& reference);

    void benchLargeMethod1VsDd();
    void benchLargeMethod3VsDd();
    void benchLargeMethod1VsShred();
    void benchLargeVerifyVsDd();
    void benchSmallFiles(int count);
    /// The storage assessment's share of erasing the small-file tree.
    void benchAssessmentShare();
    void reportMemory();

    BenchOptions m_options;
    BenchFolder m_folder;
    ReferenceRuns m_reference;
    long m_baselineRssKiB = 0;
    QStringList m_missed;
};
