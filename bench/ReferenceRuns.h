// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class BenchFolder;

/// The runs the engine is measured against, all inside the benchmark's folder: dd writing the
/// passes over the large file, GNU shred on the large file and on the small-file tree, and
/// rm -rf removing that tree. Each returns its time in seconds and checks it did its work;
/// throws BenchError when a program fails or is missing.
class ReferenceRuns
{
public:
    /// `interrupted`, set by a signal handler, is checked before each program starts.
    ReferenceRuns(const BenchFolder& folder, const volatile int& interrupted);

    const QString& dd() const { return m_dd; }
    const QString& shred() const { return m_shred; }

    /// dd from /dev/zero over a fresh large file; the time with its unlink goes to `withUnlink`.
    double ddZeros(const QString& file, std::vector<double>* withUnlink) const;
    /// dd copying each of `sources` in turn over a fresh large file, the last holding
    /// `lastWord`; each pass's time is added to `passTotals`.
    double ddPasses(const QString& file, const QStringList& sources, quint32 lastWord,
        std::vector<double>* passTotals, std::vector<double>* withUnlink) const;
    /// dd writing zeros, then reading the file back bypassing the page cache.
    double ddWriteAndDirectRead(const QString& file) const;
    /// shred -n0 -z --remove=unlink on a fresh large file.
    double shredLargeFile(const QString& file) const;
    /// One shred for all `files` under `root`, split only where execve's argument room ends;
    /// then the emptied folders are removed untimed.
    double shredFiles(const QString& root, const QStringList& files) const;
    /// rm -rf on `root`.
    double removeTree(const QString& root) const;

private:
    double timeCommand(const QString& program, const QStringList& args,
        const QString& workingDir = QString()) const;

    const BenchFolder& m_folder;
    const volatile int& m_interrupted;
    QString m_dd;
    QString m_shred;
};
