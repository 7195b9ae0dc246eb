// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ShredOutput.h"
#include "ShredReport.h"
#include "ShredSummary.h"
#include "ShredTarget.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdio>
#include <memory>

class FreeSpaceCommand;
class ZPHShred;

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
    /// A named path about to be erased, and the same path made absolute.
    struct Named
    {
        ShredTarget target;
        QByteArray absolute;
    };

    int usageError(const QByteArray& message);
    static QByteArray versionText();
    static QByteArray absolutePath(const QByteArray& path);
    void addOwnerWrite(const QByteArray& path);
    /// Checks one named path and erases it, or queues it with the small files named before it;
    /// `done` holds the absolute paths erased so far.
    void handlePath(const QByteArray& path, bool force, QList<QByteArray>& done);
    /// Erases `named` in one shred run, so that listed files share the engine's batches, and
    /// reports on each as its own path; each one reached goes into `done`.
    void erase(const QList<Named>& named, QList<QByteArray>& done);
    void eraseQueuedFiles(QList<QByteArray>& done);
    void reportPath(const QByteArray& path, const ShredReport& report);
    void onFileFinished(const QString& file, const ShredFileResult& result);

    ZPHShred& m_engine;
    ShredOutput m_output;
    QObject m_context;
    int m_method = 1;
    bool m_verbose = false;
    bool m_verify = false;
    bool m_quiet = false;
    bool m_dryRun = false;
    ShredSummary m_totals;
    QList<StorageReason> m_notesTold;
    QList<StorageReason> m_reasonsExplained; ///< warnings whose long text was told this run
    std::unique_ptr<FreeSpaceCommand> m_freeSpace; ///< with --wipe-free-space
    QString m_stoppedFile;
    int m_pathIndex = 0;
    int m_pathCount = 0;
    /// Small regular files named one by one, waiting to be erased together.
    QList<Named> m_queued;
};
