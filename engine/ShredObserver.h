// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StorageVerdict.h"

#include <QString>

/// How one regular file ended.
struct ShredFileResult
{
    enum class Outcome : quint8
    {
        Erased, ///< every pass on the disk, then unlinked
        Failed, ///< kept; the run's report says why
        Stopped, ///< stopped on request in the middle of its passes; kept
    };

    Outcome outcome = Outcome::Failed;
    quint64 length = 0; ///< the file's length when it was examined
    quint64 allocated = 0; ///< its allocated bytes then (st_blocks * 512)
    StorageVerdict verdict; ///< judged on the open file, right before its first pass
};

/// Told about each regular file as the engine works on it, on the engine's thread, so it must
/// not block. Entries that are not overwritten (links, special files) are not reported here.
class ShredObserver
{
public:
    virtual ~ShredObserver() = default;
    /// The file was examined and is about to get `passes` passes of `bytesPerPass` each.
    virtual void onFileStarted(const QString& path, quint64 bytesPerPass, int passes) = 0;
    /// Pass `pass` (1-based) of `passes` begins.
    virtual void onPassStarted(int pass, int passes) = 0;
    /// `bytes` more were written (and are on their way to the disk).
    virtual void onBytesWritten(quint64 bytes) = 0;
    virtual void onFileFinished(const QString& path, const ShredFileResult& result) = 0;
};
