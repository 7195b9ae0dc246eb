// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ShredReport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdio>
#include <memory>

class FreeSpaceCommand;
class ShredRun;
class ZPHShred;
struct ShredFileResult;

/// The corvane-shred command: checks every path it is handed the way the application does,
/// erases the accepted ones with a shred run and reports on standard output and error. Paths
/// are the arguments' own bytes. Never asks anything and never reads standard input.
class ShredCommand
{
public:
    enum ExitStatus
    {
        AllErased = 0, ///< every path was erased and removed
        NotAllErased = 1, ///< something was refused, missing or not erased
        UsageError = 2,
        ErasedWithWarnings = 3, ///< all removed, but some files' old contents may remain
    };

    ShredCommand(ZPHShred& engine, FILE* out, FILE* err);
    ~ShredCommand();
    ShredCommand(const ShredCommand&) = delete;
    ShredCommand& operator=(const ShredCommand&) = delete;

    /// `arguments` as the process got them in argv, program name first. Returns the exit
    /// status; 128 + the signal's number when a signal stopped the run.
    int run(const QList<QByteArray>& arguments);

    /// Set by a SIGINT or SIGTERM handler to the signal's number; the run then stops after the
    /// chunk being written.
    static std::atomic<int> s_stopSignal;

    static QByteArray usage();

private:
    struct Totals
    {
        qint64 files = 0;
        quint64 bytes = 0;
        qint64 otherEntries = 0;
        int pathsRemoved = 0;
        int notErased = 0;
        int refused = 0;
        qint64 warned = 0;
    };

    int usageError(const QByteArray& message);
    static QByteArray versionText();
    /// Writes to standard output; false (and a message) when it cannot, as on a full disk.
    bool writeOut(const QByteArray& text);
    static QByteArray absolutePath(const QByteArray& path);
    void addOwnerWrite(const QByteArray& path);
    /// --dry-run: what erasing `path` would do, touching nothing.
    void listPath(const QByteArray& path);
    void erasePath(const QByteArray& path);
    /// Erases the files queued by run() in one shred run, so that they share the engine's
    /// batches, and reports on each as erasePath() would; each goes into `done`.
    void eraseQueuedFiles(QList<QByteArray>& done);
    /// Starts the progress line afresh and connects the run's progress to it and its files to
    /// onFileFinished().
    void followRun(ShredRun& run);
    void reportPath(const QByteArray& path, const ShredReport& report);
    void onFileFinished(const QString& file, const ShredFileResult& result);
    QByteArray summary() const;

    void showProgress();
    void clearProgress();
    /// Writes one whole line, first clearing a progress line that shares the terminal.
    void writeLine(FILE* stream, const QByteArray& text);

    ZPHShred& m_engine;
    FILE* m_out;
    FILE* m_err;
    QObject m_context;
    bool m_progressShown = false;
    bool m_progressOnLine = false;
    bool m_outputFailed = false; ///< standard output refused a write; told once
    int m_method = 1;
    bool m_verbose = false;
    bool m_verify = false;
    bool m_quiet = false;
    bool m_dryRun = false;
    Totals m_totals;
    QList<StorageReason> m_notesTold;
    QList<StorageReason> m_reasonsExplained; ///< warnings whose long text was told this run
    std::unique_ptr<FreeSpaceCommand> m_freeSpace; ///< with --wipe-free-space
    QString m_stoppedFile;

    // The path being erased and the file the run is working on within it.
    int m_pathIndex = 0;
    int m_pathCount = 0;
    quint64 m_bytesPlanned = 0;
    quint64 m_bytesDone = 0;
    QString m_currentFile;
    int m_pass = 0;
    int m_passes = 0;
    QElapsedTimer m_pathTimer;
    /// Files of the current path with a warning, by reason.
    QHash<int, qint64> m_warnedByReason;
    /// Small regular files named one by one, waiting to be erased together.
    struct QueuedFile
    {
        QByteArray path;
        QByteArray absolute;
        quint64 device = 0;
        quint64 inode = 0;
        quint64 length = 0;
    };
    QList<QueuedFile> m_queued;
};
