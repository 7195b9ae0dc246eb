// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DirectoryHandle.h"
#include "FileEraser.h"
#include "ShredContext.h"

#include <QElapsedTimer>
#include <QList>
#include <memory>
#include <vector>

/// Small files overwritten together: each pass is written to every file of the batch, made
/// durable once for all of them, and only after the last pass is durable are they unlinked.
/// Each file still gets every pass on the disk before its next pass and before its unlink; one
/// whose write or sync fails is kept and reported, and the rest go on. Files of one batch are
/// on one file system, so one sync covers them all.
class SmallFileBatch
{
public:
    /// The largest file (after rounding to blocks) that goes into a batch.
    static constexpr quint64 kFileBytes = 1024 * 1024;
    static constexpr quint64 kBytes = 64 * 1024 * 1024;
    static constexpr int kFiles = 512;
    /// How long the first file of a batch may wait for the batch to fill.
    static constexpr qint64 kAgeMs = 250;

    SmallFileBatch(ShredContext& run, FileEraser& eraser)
        : m_run(run)
        , m_eraser(eraser)
    { }
    /// Files still waiting are closed untouched.
    ~SmallFileBatch();
    SmallFileBatch(const SmallFileBatch&) = delete;
    SmallFileBatch& operator=(const SmallFileBatch&) = delete;

    bool isEmpty() const { return m_files.empty(); }
    /// Opens the examined file `name` of `dir` and adds it, finishing the batch first when the
    /// file is on another file system and after when the batch is full or old enough. False when
    /// the run must end.
    bool add(const DirectoryHandle& dir, const QByteArray& name, const QString& display,
        const EntryStat& examined, const QList<qint32>& values, ShredFileResult result);
    /// Writes, syncs and unlinks the files waiting; false when the run must end.
    bool flush();

private:
    /// A small file opened for the batch, waiting for its passes.
    struct PendingFile
    {
        std::shared_ptr<const DirectoryHandle> dir;
        QByteArray name;
        QString display;
        EntryStat st;
        int fd = -1;
        quint64 covered = 0;
        QList<qint32> values;
        ShredFileResult result;
        bool failed = false;
    };

    int fileLimit() const;
    /// Writes every pass to the files still in; false when a stop came in between.
    bool writePasses(std::vector<PendingFile>& batch);
    void fail(PendingFile& file, ShredFailure::Kind kind, int error);

    ShredContext& m_run;
    FileEraser& m_eraser;
    std::vector<PendingFile> m_files;
    quint64 m_bytes = 0;
    int m_limit = kFiles; // read from the descriptor limit as each batch starts
    QElapsedTimer m_age;
    // The folder the last file came from, so files of one folder share one handle.
    int m_dirSource = -1;
    EntryStat m_dirStat;
};
