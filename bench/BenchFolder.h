// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

/// The folder a benchmark run made for itself, and the files it makes there. Refuses any path
/// outside it, so nothing the benchmark erases or removes can be anything else. Throws
/// BenchError when something cannot be made.
class BenchFolder
{
public:
    /// `workDir` exists and was made for this run only; the large file is `largeBytes` long.
    BenchFolder(const QString& workDir, quint64 largeBytes);

    const QString& path() const { return m_workDir; }
    quint64 largeBytes() const { return m_largeBytes; }
    QString inWork(const QString& name) const;
    void requireInside(const QString& path) const;

    /// The large file, made anew of non-zero bytes and synced.
    void makeLargeFile(const QString& path) const;
    /// A large file of `word` repeated, for dd to copy a pass from.
    void makePatternSource(const QString& path, quint32 word) const;
    /// `count` files of 1 to 12 KiB in a few folders under `root`; returns their total size.
    quint64 makeTree(const QString& root, int count, QStringList* relativeFiles) const;
    void removeIfPresent(const QString& path) const;
    /// The large file was overwritten in place: its size, and `word` at its start.
    void checkLargeFileStart(const QString& path, quint32 word) const;
    /// Removes the large file, timed: the unlink dd leaves to the benchmark.
    double timeUnlink(const QString& path) const;

    static bool pathGone(const QString& path);

private:
    QString m_workDir;
    quint64 m_largeBytes;
    std::vector<char> m_fill; ///< 1 MiB of non-zero bytes the test files are made of
};
