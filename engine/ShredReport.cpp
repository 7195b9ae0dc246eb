// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredReport.h"

#include <algorithm>

void ShredReport::merge(const ShredReport& other)
{
    filesErased += other.filesErased;
    bytesErased += other.bytesErased;
    allocatedErased += other.allocatedErased;
    entriesRemoved += other.entriesRemoved;
    failures += other.failures;
    warnings += other.warnings;
    for (const StorageReason note : other.notes) {
        if (!notes.contains(note))
            notes.append(note);
    }
    std::sort(notes.begin(), notes.end());
    aborted = aborted || other.aborted;
    stopped = stopped || other.stopped;
    if (stoppedPath.isEmpty())
        stoppedPath = other.stoppedPath;
}
