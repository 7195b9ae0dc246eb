// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DirectoryHandle.h"
#include "FileEraser.h"
#include "ShredContext.h"
#include "ShredObserver.h"
#include "ShredReport.h"
#include "SmallFileBatch.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

/// A file as it was seen when it was listed: the run refuses anything else under its name.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
};

/// The shredding engine: overwrites every regular file under a path in place with a fixed
/// 32-bit pattern, makes each pass reach the disk, unlinks the file and then removes what is
/// left of the path. Entries are reached through open folders, never through a symbolic link,
/// and never on another mount; only regular files with a single link are overwritten. Runs
/// synchronously on the calling thread; the pause and abort flags may be set from any thread
/// and are honoured between files, a stop request after the chunk being written.
class ZPHShred
{
public:
    ZPHShred() = default;
    /// Files still waiting in a batch are closed untouched.
    ~ZPHShred() = default;
    ZPHShred(const ZPHShred&) = delete;
    ZPHShred& operator=(const ZPHShred&) = delete;

    static constexpr quint32 kPatternPass3 = PassWriter::kPattern3; // 0x49960284
    static constexpr quint64 kBlockSize = PassWriter::kBlockSize;

    /// Shreds `path` (a file or a folder) with pass type 1 (zeros), 2 (0xFF) or 3 (three
    /// passes); any other value acts as 1. With `expected`, the path must still name that very
    /// file or link (as listed earlier), or nothing is done and a failure is reported. Returns
    /// what was done, which lastReport() also gives afterwards.
    ShredReport shredFile(
        const QString& path, int nPassType, std::optional<FileIdentity> expected = std::nullopt);
    /// shredFile() on the path's own bytes, which need not be valid in any encoding.
    ShredReport shredNativePath(const QByteArray& nativePath, int nPassType,
        std::optional<FileIdentity> expected = std::nullopt);

    /// One overwrite pass: opens `path` anew (never following a link, never blocking), refuses
    /// anything but a regular file with one link, writes `nValToWrite` (host byte order) over
    /// `nFileSize` rounded up to whole 4096-byte blocks, and syncs. On failure, `failure` (when
    /// given) says why.
    bool overwriteFile(const QByteArray& path, quint64 nFileSize, qint32 nValToWrite,
        bool randomWrite, ShredFailure* failure = nullptr);

    /// Posts "ZPHBraskoUpdateMessage" with the four values as text, on the calling thread.
    void sendNotificationToUpdate(
        const QString& sScanSection, qint32 count, quint64 size, const QString& path);

    bool bPauseFileShreddingOperation() const { return m_bPauseFileShreddingOperation; }
    void setBPauseFileShreddingOperation(bool pause);
    bool bFileShreddingOperationAborted() const { return m_bFileShreddingOperationAborted; }
    void setBFileShreddingOperationAborted(bool aborted);

    /// Stops the run after the chunk being written: a file stopped in its passes is kept and
    /// reported, never unlinked. Safe from any thread and from a signal handler; stays set until
    /// cleared.
    void setStopRequested(bool stop) { m_run.stop = stop; }
    bool stopRequested() const { return m_run.stop; }
    /// The flag itself, for a signal handler that may not call functions.
    std::atomic<bool>* stopFlag() { return &m_run.stop; }

    /// Reads every file back after its last pass, bypassing the page cache, and keeps (and
    /// reports) any file that does not hold the pattern throughout.
    void setVerifyAfterErasing(bool verify) { m_run.verify = verify; }
    bool verifyAfterErasing() const { return m_run.verify; }
    /// Replaces pread() for the read-back; lets tests make a disk return other bytes.
    using ReadFunction = ReadBack::ReadFunction;
    void setReadFunctionForTesting(ReadFunction read)
    {
        m_run.readBack.setReadFunction(std::move(read));
    }

    /// Gives write permission to files of this user that lack it before overwriting them.
    void setForceWritable(bool force) { m_run.force = force; }

    /// Told of each file's passes and bytes; set it only while no shred runs.
    void setObserver(ShredObserver* observer);

    /// Small files are overwritten in batches: each pass is written to every file of the batch,
    /// then made durable once for all of them, and only after the last pass is durable are they
    /// unlinked. Each file still gets every pass on the disk before its next pass and before its
    /// unlink, and one whose write or sync fails is kept and reported. On by default.
    void setBatching(bool on) { m_batching = on; }
    /// Lets a batch outlive shredFile() for a lone file, so many listed files share batches;
    /// flushBatch() must then end it. Set it only while no shred runs.
    void setHoldBatchAcrossCalls(bool hold) { m_holdBatch = hold; }
    /// Finishes the files waiting in the batch; the report holds what happened to them.
    ShredReport flushBatch();
    /// The largest file (after rounding to blocks) that goes into a batch.
    static constexpr quint64 kBatchFileBytes = SmallFileBatch::kFileBytes;
    static constexpr quint64 kBatchBytes = SmallFileBatch::kBytes;
    static constexpr int kBatchFiles = SmallFileBatch::kFiles;
    /// How long the first file of a batch may wait for the batch to fill.
    static constexpr qint64 kBatchAgeMs = SmallFileBatch::kAgeMs;

    /// Pause before each file, 10 ms by default; 0 for none.
    int perFileDelayMs() const { return m_perFileDelayMs; }
    void setPerFileDelayMs(int ms) { m_perFileDelayMs = ms; }

    /// Called with a file's path after its passes and before its unlink; lets tests read the
    /// bytes that reached the file. Set it only while no shred runs.
    void setBeforeUnlinkHook(std::function<void(const QString& path)> hook)
    {
        m_run.beforeUnlink = std::move(hook);
    }

    /// What the last shredFile() call did; safe to read once it has returned.
    ShredReport lastReport() const;

    /// The pass values of a pass type, in order.
    static QList<qint32> passValues(int nPassType);
    /// `size` rounded up to whole blocks, as the overwrite writes it.
    static quint64 overwriteLength(quint64 size);

private:
    enum class Walk
    {
        Continue,
        Stop
    };

    bool waitWhilePaused();
    /// One entry of the work: pause, abort, pacing, notification, then the shred.
    Walk visitFile(const DirectoryHandle& dir, const QByteArray& name, const QString& display,
        int nPassType, const EntryStat& root);
    /// Shreds every file below the folder `name` of `parent` (at `path`) on the mount `root`.
    /// `parent` is let go while the walk is below it and opened again after; on Stop it may be
    /// closed.
    Walk walkFolder(DirectoryHandle& parent, const QByteArray& name, const QByteArray& path,
        int nPassType, const EntryStat& root);
    FileEraser::Outcome shredEntry(const DirectoryHandle& dir, const QByteArray& name,
        const QString& display, int nPassType, const EntryStat& root);
    /// Finishes the files waiting in the batch; Stop when the run must end.
    Walk flushPending();
    /// Removes what the walk left of the entry `name` of `parent`: links, special files and
    /// the folders left empty. Like walkFolder, lets `parent` go while below it.
    bool removeLeftovers(DirectoryHandle& parent, const QByteArray& name, const QByteArray& path);
    bool stopBetweenFiles();

    std::atomic<bool> m_bPauseFileShreddingOperation {false};
    std::atomic<bool> m_bFileShreddingOperationAborted {false};
    std::atomic<int> m_perFileDelayMs {10};
    bool m_batching = true;
    bool m_holdBatch = false;
    ShredContext m_run;
    FileEraser m_eraser {m_run};
    SmallFileBatch m_batch {m_run, m_eraser};

    std::mutex m_pauseMutex;
    std::condition_variable m_pauseChanged;

public:
    /// Removes the last autostart entry that starts this application and returns its file;
    /// nothing when none does. Entries whose program is missing are skipped. GUI thread only.
    std::optional<QString> itemRefInLoginItems();
};

/// The one engine of the process, made on first use.
ZPHShred& sharedShredEngine();
