// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DirectoryHandle.h"
#include "ShredContext.h"

#include <QList>
#include <optional>

/// Erases one examined file, and holds the steps every file goes through, alone or in a batch:
/// the refusals before its first byte, opening the very file that was examined, and once its
/// last pass is on the disk the read-back, the check that its name still holds it and the
/// unlink. Every outcome goes to the run's ledger.
class FileEraser
{
public:
    enum class Outcome
    {
        Erased,
        RemovedUnwritten,
        Failed,
        Stop
    };

    explicit FileEraser(ShredContext& run)
        : m_run(run)
    { }

    /// Looks at the entry `name` of `dir` on the run's mount `root`. A regular file with one
    /// link that this user may overwrite and unlink is returned; anything else gets its outcome
    /// in `outcome`: an entry holding no data of its own (a link, a FIFO) is removed unwritten,
    /// the rest is refused and reported.
    std::optional<EntryStat> examine(const DirectoryHandle& dir, const QByteArray& name,
        const QString& display, const EntryStat& root, Outcome* outcome);
    /// Opens the examined file for writing, never through a link and never blocking. The
    /// descriptor, and in `now` what it holds; -1 when it is not the examined file any more or
    /// cannot be opened, the failure then reported and the file finished.
    int openExamined(const DirectoryHandle& dir, const QByteArray& name, const EntryStat& examined,
        const QString& display, const ShredFileResult& result, EntryStat* now);
    /// Every pass of `values` over the file, each opened anew and made durable, then remove().
    Outcome eraseAlone(const DirectoryHandle& dir, const QByteArray& name, const QString& display,
        const EntryStat& examined, const QList<qint32>& values, ShredFileResult result);
    /// The last pass is on the disk: reads the file back when asked, checks that the name still
    /// holds the examined file within the `covered` bytes, unlinks it and reports it. Stop when
    /// the unlink failed, since the folder then refuses the rest as well.
    Outcome remove(const DirectoryHandle& dir, const QByteArray& name, const EntryStat& examined,
        quint64 covered, qint32 lastValue, const QString& display, ShredFileResult result);

private:
    Outcome failed(const QString& display, const ShredFileResult& result, ShredFailure::Kind kind,
        int error = 0);

    ShredContext& m_run;
};
