// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StorageVerdict.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <cstdio>
#include <functional>

/// corvane-shred's --wipe-free-space: gathers the file systems on which a warning the wipe can
/// reach was given (and any folder named), wipes each one's free space after the erasure, and
/// tells what was reached; a warning whose old copies the wipe reached counts as resolved.
class FreeSpaceCommand
{
public:
    /// `writeLine` writes one whole line to a stream, clearing the caller's progress line first.
    using LineWriter = std::function<void(FILE*, const QByteArray&)>;
    FreeSpaceCommand(std::atomic<bool>* stopFlag, FILE* out, FILE* err, LineWriter writeLine);

    /// A file was erased with a warning; its folder tells the file system.
    void noteWarning(const QString& file, const StorageVerdict& verdict);
    /// A folder whose file system is wiped in any case.
    void addFolder(const QByteArray& folder);

    struct Result
    {
        qint64 resolved = 0; ///< warned files whose old copies were reached
        bool allDone = true; ///< every wipe started and completed
    };
    /// Wipes each file system gathered, one after another, with `nPassType`'s pattern.
    Result run(int nPassType);

private:
    struct Target
    {
        QByteArray folder; ///< an existing folder on the file system
        quint64 device = 0;
        QList<StorageVerdict> verdicts;
    };
    Target* targetFor(const QByteArray& path);
    void showProgress(const QString& mount, quint64 done, quint64 planned);
    void clearProgress();

    std::atomic<bool>* m_stop;
    FILE* m_out;
    FILE* m_err;
    LineWriter m_writeLine;
    QList<Target> m_targets;
    bool m_progressShown = false;
    bool m_progressOnLine = false;
};
