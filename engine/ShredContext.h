// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PassWriter.h"
#include "ReadBack.h"
#include "ShredLedger.h"
#include "StorageAssessment.h"

#include <QString>
#include <atomic>
#include <functional>

/// What the parts of one engine run share: its report, its settings and its hooks. The engine
/// owns it; the run's thread uses it, and only `stop` may change while a run lasts.
struct ShredContext
{
    /// Ends the run after the chunk being written; safe from a signal handler.
    std::atomic<bool> stop {false};
    bool verify = false;
    /// Give this user's read-only files write permission first, as shred -f.
    bool force = false;
    ShredLedger ledger;
    PassWriter writer {stop};
    ReadBack readBack;
    StorageAssessment assessment;
    /// Called with a file's path after its passes and before its unlink.
    std::function<void(const QString& path)> beforeUnlink;
};
