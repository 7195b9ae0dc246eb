// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DirectoryHandle.h"
#include "ShredObserver.h"
#include "ShredReport.h"
#include "ShredTarget.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

class QThread;
class ZPHShred;

/// One shred run over a list of targets, for the window and the command line alike: drives the
/// engine, removes the folders the run leaves empty, and reports through typed signals. run()
/// works on the calling thread; startInBackground() runs it on a thread of its own, and the
/// signals then reach receivers on other threads queued. The object itself stays on the thread
/// that made it; only requestStop() may be called while a run lasts.
class ShredRun : public QObject, private ShredObserver
{
    Q_OBJECT

public:
    ShredRun(ZPHShred& engine, QList<ShredTarget> targets, int nPassType, bool verify,
        QObject* parent = nullptr);
    /// Stops a run still going and waits for its thread.
    ~ShredRun() override;

    void run();
    void startInBackground();
    /// Stops after the chunk being written; the file being overwritten is kept and reported.
    void requestStop();
    bool isRunning() const { return m_running; }

    /// Bytes a run writes over `length` bytes of file with `nPassType`'s passes.
    static quint64 plannedBytes(quint64 length, int nPassType);
    /// Walks `path` as the engine does (never through a link, never onto another mount) and
    /// calls `visit` for every entry that is not a folder, with the folder it is in, its name,
    /// its whole path and what it is.
    using EntryVisitor = std::function<void(const DirectoryHandle& folder, const QByteArray& name,
        const QByteArray& path, const EntryStat& entry)>;
    static void walkTree(const QByteArray& path, const EntryVisitor& visit);

signals:
    /// Before the first file: what the run will write, passes included.
    void planned(qint64 files, quint64 bytes);
    /// The item being worked on: a listed file, a named path or a folder being removed.
    void pathShown(const QString& path);
    void fileStarted(const QString& path, int passes);
    void passStarted(int pass, int passes);
    /// Bytes written so far in the whole run (at most every few dozen milliseconds).
    void bytesWritten(quint64 done);
    void fileFinished(const QString& path, const ShredFileResult& result);
    /// A listed entry that holds no data of its own (a link, a FIFO) was removed unwritten.
    void entryRemoved(const QString& path);
    /// A file whose storage may keep old copies (warning) or deserves a note.
    void verdictReached(const QString& path, const StorageVerdict& verdict);
    /// After the last file, before finished(): the target at `index` of those handed to the run,
    /// with a report of its own (its files, failures, removals; for any but a Path, whether
    /// its path is gone). Listed files share batches, so this comes only once all are done.
    /// Targets the run never reached because it stopped are not told.
    void targetFinished(int index, const ShredReport& report);
    void finished(const ShredReport& report);

private:
    void plan();
    quint64 plannedTreeBytes(const QByteArray& path, qint64* files) const;
    /// False once the run must end (stopped or aborted).
    bool process(const ShredTarget& target);
    bool removeIfEmpty(const ShredTarget& folder);
    /// Finishes the listed files waiting in the engine's batch; false once the run must end.
    bool flushBatch();
    void removeListedFolders();
    void fail(const QByteArray& path, ShredFailure::Kind kind, int error = 0);
    /// Adds an engine call's report to the run's, and each part of it to the target it is
    /// about: a file started under an earlier target stays that target's; the rest goes to
    /// the current target. `whole`: the call was for the current target's own path, so its
    /// flags are the target's.
    void credit(const ShredReport& report, bool whole);
    /// Tells each of the first `entered` targets its own report.
    void tellTargets(int entered);
    bool ended() const { return m_report.stopped || m_report.aborted; }

    // ShredObserver, on the run's thread.
    void onFileStarted(const QString& path, quint64 bytesPerPass, int passes) override;
    void onPassStarted(int pass, int passes) override;
    void onBytesWritten(quint64 bytes) override;
    void onFileFinished(const QString& path, const ShredFileResult& result) override;

    ZPHShred& m_engine;
    const QList<ShredTarget> m_targets;
    const int m_nPassType;
    const bool m_verify;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_running {false};

    // Run state, touched only by the run's thread.
    ShredReport m_report;
    /// Listed folders to remove at the end, each with the index of its top-level target.
    QList<std::pair<const ShredTarget*, int>> m_listedFolders;
    /// Each top-level target's own report; those after the last one entered stay unused.
    QList<ShredReport> m_targetReports;
    int m_current = -1; ///< the top-level target being worked on
    bool m_holdingBatch = false; ///< listed files being added to batches that outlive calls
    /// Files started for listed targets and not yet credited, by the name the engine gives
    /// them: their batch may end while a later target is worked on.
    QHash<QString, int> m_fileOwner;
    QStringList m_filesFinished; ///< finished since the last credit()
    quint64 m_done = 0;
    quint64 m_filesStarted = 0;
    quint64 m_fileStart = 0;
    quint64 m_fileEnd = 0;
    QElapsedTimer m_sinceProgress;
};
