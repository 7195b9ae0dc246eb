// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ShredObserver.h"
#include "ShredReport.h"

#include <QSet>
#include <mutex>

/// The report of one engine run as it grows. Written by the run's thread, readable from any
/// thread at any time; a path is reported once, with its first reason.
class ShredLedger
{
public:
    void reset();
    ShredReport report() const;

    void addFailure(
        const QString& path, ShredFailure::Kind kind, int error = 0, quint64 detail = 0);
    /// Counts an erased file (its sizes, warning and notes) and tells the observer how the file
    /// ended, erased or not; true when it was erased.
    bool finishFile(const QString& path, const ShredFileResult& result);
    /// A link, special file or folder removed without being written.
    void countEntryRemoved();
    void setFlag(bool ShredReport::*flag, bool value = true);
    /// The run stopped with the file `path` in hand, which is kept; the first such file is named.
    void markStopped(const QString& path);
    /// `path` was not reached because the run ended, unless the report already says it ended.
    void markNotReached(const QString& path);

    /// Told when a file ends; set only while no run lasts.
    void setObserver(ShredObserver* observer) { m_observer = observer; }
    ShredObserver* observer() const { return m_observer; }

private:
    mutable std::mutex m_mutex;
    ShredReport m_report;
    QSet<QString> m_failedPaths;
    ShredObserver* m_observer = nullptr;
};
