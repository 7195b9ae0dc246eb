// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FreeSpaceWipeReport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <atomic>
#include <memory>

class QThread;

/// Overwrites the free space of the file system that holds a folder: makes a private folder
/// there, writes fill files of the erase pattern until the file system refuses more, syncs them,
/// removes them and syncs again; where the file system journals file data, also pushes at least
/// twice the journal through it. Opens nothing for writing outside its private folder, and runs
/// at the lowest best-effort I/O priority. run() works on the calling thread;
/// startInBackground() on a thread of its own, and the signals then reach receivers on other
/// threads queued. Only requestStop() may be called while a wipe lasts.
class FreeSpaceWipe : public QObject
{
    Q_OBJECT

public:
    /// `folder` is a folder on the file system to wipe; `nPassType` picks the erase pattern
    /// (ZPHShred's pass types: the last pass's value). `stopFlag`, when given, is watched
    /// instead of the wipe's own (a signal handler may set it).
    explicit FreeSpaceWipe(QByteArray folder, int nPassType = 1,
        std::atomic<bool>* stopFlag = nullptr, QObject* parent = nullptr);
    ~FreeSpaceWipe() override;

    /// Reasons the caller wants reached; a data journal among them is cycled even when the
    /// file system journals only some files' data.
    void setReasonsToReach(const QList<StorageReason>& reasons) { m_reasons = reasons; }

    void run();
    void startInBackground();
    /// Stops after the chunk being written and removes the fill files at once.
    void requestStop();
    bool isRunning() const { return m_running; }

    /// Bytes written per call; what dd's bs=1M does eight times over.
    static constexpr qint64 kChunkBytes = 8 * 1024 * 1024;

signals:
    /// The fill is about to start: where, how much free space, how much it plans to write.
    void started(const QString& mountPoint, quint64 freeBytes, quint64 plannedBytes);
    /// Bytes written so far (at most every tenth of a second).
    void bytesWritten(quint64 done);
    void finished(const FreeSpaceWipeReport& report);

private:
    /// Writes fill files in the private folder until the file system refuses more.
    void fill(int privateFd);
    /// Writes into `fd` until the file system refuses more; false once the fill must end for
    /// another reason (a stop, a write error).
    bool fillFile(int fd, bool* tookAny);
    /// Pushes data through the journal until twice its size went through.
    void cycleJournal(int privateFd);
    void removeFills(int privateFd);
    bool stopRequested() const { return m_stop->load(); }
    void tellProgress(bool force = false);

    const QByteArray m_folder;
    const quint32 m_pattern;
    std::atomic<bool> m_ownStop {false};
    std::atomic<bool>* m_stop;
    QList<StorageReason> m_reasons;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_running {false};

    // Wipe state, touched only by the wipe's thread.
    FreeSpaceWipeReport m_report;
    quint64 m_blockSize = 4096;
    bool m_extFamily = false;
    int m_nextFill = 0;
    char* m_buffer = nullptr;
    QElapsedTimer m_sinceProgress;
};
