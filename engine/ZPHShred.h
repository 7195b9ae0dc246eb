// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DirectoryHandle.h"
#include "ShredObserver.h"
#include "ShredReport.h"
#include "StorageAssessment.h"

#include <QElapsedTimer>
#include <QSet>
#include <QString>

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

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
    ~ZPHShred();
    ZPHShred(const ZPHShred&) = delete;
    ZPHShred& operator=(const ZPHShred&) = delete;

    static constexpr quint32 kPatternPass3 = 1234567812u; // 0x49960284
    static constexpr quint64 kBlockSize = 4096;

    /// Shreds `path` (a file or a folder) with pass type 1 (zeros), 2 (0xFF) or 3 (three
    /// passes); any other value acts as 1. With `expected`, the path must still name that very
    /// file or link (as listed earlier), or nothing is done and a failure is reported. Returns
    /// what was done, which lastReport() also gives afterwards.
    ShredReport shredFile(const QString& path, int nPassType,
                          std::optional<FileIdentity> expected = std::nullopt);
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
    void sendNotificationToUpdate(const QString& sScanSection, qint32 count, quint64 size,
                                  const QString& path);

    bool bPauseFileShreddingOperation() const { return m_bPauseFileShreddingOperation; }
    void setBPauseFileShreddingOperation(bool pause);
    bool bFileShreddingOperationAborted() const { return m_bFileShreddingOperationAborted; }
    void setBFileShreddingOperationAborted(bool aborted);

    /// Stops the run after the chunk being written: a file stopped in its passes is kept and
    /// reported, never unlinked. Safe from any thread and from a signal handler; stays set until
    /// cleared.
    void setStopRequested(bool stop) { m_stopRequested = stop; }
    bool stopRequested() const { return m_stopRequested; }
    /// The flag itself, for a signal handler that may not call functions.
    std::atomic<bool>* stopFlag() { return &m_stopRequested; }

    /// Reads every file back after its last pass, bypassing the page cache, and keeps (and
    /// reports) any file that does not hold the pattern throughout.
    void setVerifyAfterErasing(bool verify) { m_verify = verify; }
    bool verifyAfterErasing() const { return m_verify; }
    /// Replaces pread() for the read-back; lets tests make a disk return other bytes.
    using ReadFunction = std::function<ssize_t(int fd, void* buffer, size_t length, off_t offset)>;
    void setReadFunctionForTesting(ReadFunction read) { m_read = std::move(read); }

    /// Gives write permission to files of this user that lack it before overwriting them.
    void setForceWritable(bool force) { m_force = force; }

    /// Told of each file's passes and bytes; set it only while no shred runs.
    void setObserver(ShredObserver* observer) { m_observer = observer; }

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
    static constexpr quint64 kBatchFileBytes = 1024 * 1024;
    static constexpr quint64 kBatchBytes = 64 * 1024 * 1024;
    static constexpr int kBatchFiles = 512;
    /// How long the first file of a batch may wait for the batch to fill.
    static constexpr qint64 kBatchAgeMs = 250;

    /// Pause before each file, 10 ms by default; 0 for none.
    int perFileDelayMs() const { return m_perFileDelayMs; }
    void setPerFileDelayMs(int ms) { m_perFileDelayMs = ms; }

    /// Called with a file's path after its passes and before its unlink; lets tests read the
    /// bytes that reached the file. Set it only while no shred runs.
    void setBeforeUnlinkHook(std::function<void(const QString& path)> hook)
    {
        m_beforeUnlink = std::move(hook);
    }

    /// What the last shredFile() call did; safe to read once it has returned.
    ShredReport lastReport() const;

    /// The pass values of a pass type, in order.
    static QList<qint32> passValues(int nPassType);
    /// `size` rounded up to whole blocks, as the overwrite writes it.
    static quint64 overwriteLength(quint64 size);

private:
    enum class FileOutcome { Erased, RemovedUnwritten, Failed, Stop, Deferred };
    enum class Walk { Continue, Stop };
    enum class PassResult { Done, Failed, Stopped };

    bool waitWhilePaused();
    /// One entry of the work: pause, abort, pacing, notification, then the shred.
    Walk visitFile(const DirectoryHandle& dir, const QByteArray& name, const QString& display,
                   int nPassType, const EntryStat& root);
    /// `dir` is let go while the walk is below it and opened again after; on Stop it may be
    /// closed.
    Walk walkFolder(DirectoryHandle& dir, const QString& display, int nPassType,
                    const EntryStat& root);
    FileOutcome shredEntry(const DirectoryHandle& dir, const QByteArray& name,
                           const QString& display, int nPassType, const EntryStat& root);
    /// Writes one pass, and with `sync` makes it durable; on failure `kind` and `error` say why.
    PassResult overwriteDescriptor(int fd, quint64 length, qint32 value, bool randomWrite,
                                   ShredFailure::Kind* kind, int* error, bool sync = true);

    /// A small file opened for a batch, waiting for its passes.
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
    /// Opens a small file and adds it to the batch, flushing the batch first when it is on
    /// another file system and after when it is full.
    FileOutcome enqueue(const DirectoryHandle& dir, const QByteArray& name, const QString& display,
                        const EntryStat& st, const QList<qint32>& values, ShredFileResult result);
    /// Writes, syncs and unlinks the batch; Stop when the run must end.
    Walk flushPending();
    void failPending(PendingFile& file, ShredFailure::Kind kind, int error);
    int batchFileLimit() const;
    /// Reads the file back past the page cache and compares it with `value`.
    bool verifyFile(const DirectoryHandle& dir, const QByteArray& name, const EntryStat& st,
                    quint64 length, qint32 value, ShredFailure::Kind* kind, int* error);
    FileOutcome finishFile(const QString& display, ShredFileResult result);
    /// Like walkFolder, lets `parent` go while below it.
    bool removeLeftovers(DirectoryHandle& parent, const QByteArray& name,
                         const QString& display, const EntryStat& root);
    void addFailure(const QString& path, ShredFailure::Kind kind, int error = 0, quint64 detail = 0);
    bool stopBetweenFiles();
    void setReportFlag(bool ShredReport::*flag);

    std::atomic<bool> m_bPauseFileShreddingOperation{false};
    std::atomic<bool> m_bFileShreddingOperationAborted{false};
    std::atomic<int> m_perFileDelayMs{10};
    std::atomic<bool> m_stopRequested{false};
    bool m_verify = false;
    bool m_force = false;
    bool m_batching = true;
    bool m_holdBatch = false;
    std::vector<PendingFile> m_batch;
    quint64 m_batchBytes = 0;
    int m_batchLimit = kBatchFiles; // read from the descriptor limit as each batch starts
    QElapsedTimer m_batchAge;
    // The folder the last batched file came from, so files of one folder share one handle.
    int m_batchDirSource = -1;
    EntryStat m_batchDirStat;
    ReadFunction m_read;
    ShredObserver* m_observer = nullptr;
    StorageAssessment m_assessment;

    std::function<void(const QString&)> m_beforeUnlink;

    std::mutex m_pauseMutex;
    std::condition_variable m_pauseChanged;

    mutable std::mutex m_reportMutex;
    ShredReport m_report;
    QSet<QString> m_failedPaths;

public:
    /// Removes the last autostart entry that starts this application and returns its file;
    /// nothing when none does. Entries whose program is missing are skipped. GUI thread only.
    std::optional<QString> itemRefInLoginItems();
};

/// The one engine of the process, made on first use.
ZPHShred& sharedShredEngine();
