// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FreeSpaceWipeReport.h"

#include <QList>
#include <optional>

/// What a free-space wipe is about to do, decided before it writes anything: whether the file
/// system may be filled at all, and how much it plans to write.
struct FreeSpaceWipePlan
{
    quint64 blockSize = 4096;
    /// ext2/3/4, where the administrator may write past what is called available.
    bool extFamily = false;
    /// The free space it can fill, plus what the journal still needs to go through twice.
    quint64 plannedBytes = 0;

    /// Examines the file system that holds `folderFd` and notes what it found in `report`
    /// (mount point, file system, warnings, free space, journal size). No plan, and the
    /// refusal in `report`, where the space may not or need not be filled: memory-only,
    /// read-only, not writable, already full, or not examinable.
    static std::optional<FreeSpaceWipePlan> examine(
        int folderFd, const QList<StorageReason>& reasons, FreeSpaceWipeReport& report);
};
