// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredLedger.h"

#include <algorithm>

void ShredLedger::reset()
{
    std::lock_guard lock(m_mutex);
    m_report = ShredReport();
    m_failedPaths.clear();
}

ShredReport ShredLedger::report() const
{
    std::lock_guard lock(m_mutex);
    return m_report;
}

void ShredLedger::addFailure(
    const QString& path, ShredFailure::Kind kind, int error, quint64 detail)
{
    std::lock_guard lock(m_mutex);
    if (m_failedPaths.contains(path))
        return;
    m_failedPaths.insert(path);
    m_report.failures.append({path, kind, error, detail});
}

bool ShredLedger::finishFile(const QString& path, const ShredFileResult& result)
{
    const bool erased = result.outcome == ShredFileResult::Outcome::Erased;
    if (erased) {
        std::lock_guard lock(m_mutex);
        ++m_report.filesErased;
        m_report.bytesErased += result.length;
        m_report.allocatedErased += result.allocated;
        if (result.verdict.hasWarning())
            m_report.warnings.append({path, result.verdict});
        for (const StorageReason note : result.verdict.notes) {
            if (!m_report.notes.contains(note)) {
                m_report.notes.append(note);
                std::sort(m_report.notes.begin(), m_report.notes.end());
            }
        }
    }
    if (m_observer)
        m_observer->onFileFinished(path, result);
    return erased;
}

void ShredLedger::countEntryRemoved()
{
    std::lock_guard lock(m_mutex);
    ++m_report.entriesRemoved;
}

void ShredLedger::setFlag(bool ShredReport::*flag, bool value)
{
    std::lock_guard lock(m_mutex);
    m_report.*flag = value;
}

void ShredLedger::markStopped(const QString& path)
{
    std::lock_guard lock(m_mutex);
    m_report.stopped = true;
    if (m_report.stoppedPath.isEmpty())
        m_report.stoppedPath = path;
}

void ShredLedger::markNotReached(const QString& path)
{
    std::lock_guard lock(m_mutex);
    if (!m_report.aborted && !m_report.stopped)
        m_report.failures.append({path, ShredFailure::Kind::NotReached});
}
