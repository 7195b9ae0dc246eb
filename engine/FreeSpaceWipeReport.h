// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StorageVerdict.h"

#include <QList>
#include <QMetaType>
#include <QString>

/// What one wipe of a file system's free space did, and what it reached.
struct FreeSpaceWipeReport
{
    /// Why the wipe did not start; None once it did.
    enum class Refusal : quint8
    {
        None,
        Unexamined, ///< the folder could not be opened or examined (`error`)
        ReadOnly, ///< the file system is mounted read-only
        NotWritable, ///< this user may not make a folder there (`error`)
        AlreadyFull, ///< no free space this user may write: filling it would only hurt
        MemoryOnly, ///< tmpfs, ramfs: nothing there was ever on a disk; filling takes memory
    };

    /// How far filling the free space reaches the old copies a warning is about.
    enum class Reach : quint8
    {
        Reached, ///< the freed blocks or the journal holding them are overwritten
        Partly, ///< some copies are overwritten, others may stay (flash, log-structured, inline)
        NotReached, ///< the copies are not in free space (shared extents, another machine)
    };

    Refusal refusal = Refusal::None;
    int error = 0; ///< errno for Unexamined and NotWritable, or the write error that ended a fill
    QString folder; ///< as handed to the wipe
    QString mountPoint; ///< where the file system is mounted; the folder when unknown
    QString fileSystem; ///< its type as the mount table names it ("btrfs", "ext4")
    quint64 freeBefore = 0; ///< free bytes for file data when the fill started, reserve included
    /// Free bytes the file system keeps back and the fill could not write: on ext2/3/4 the
    /// administrator's reserve (for an ordinary user) and the blocks it keeps for itself.
    quint64 reservedLeft = 0;
    quint64 leftUnwritten = 0; ///< free bytes for file data left once the file system refused more
    quint64 bytesFilled = 0; ///< fill written until the file system refused more
    quint64 bytesWritten = 0; ///< everything written, the journal's cycling included
    quint64 journalBytes = 0; ///< size of the data journal, 0 when data is not journalled
    bool journalCycled = false; ///< at least twice the journal went through it
    bool full = false; ///< the file system refused more (ENOSPC, EDQUOT)
    bool quotaLimited = false; ///< it was this user's quota that ran out, not the disk
    bool stopped = false; ///< stopped on request; the fill files were removed
    bool leftFillBehind = false; ///< a fill file could not be removed (then `error`)
    bool administrator = false; ///< run as root, who may write the administrator's reserve
    qint64 elapsedMs = 0;
    int leftoversRemoved = 0; ///< folders of earlier interrupted wipes removed first
    /// What holds for every file on this file system (copy-on-write, a data journal, ...).
    QList<StorageReason> fileSystemWarnings;
    QList<StorageReason> notes;

    bool started() const { return refusal == Refusal::None; }
    /// Filled to the end, synced and cleaned up.
    bool completed() const
    {
        return started() && full && !stopped && !leftFillBehind && error == 0;
    }
    /// The share of the free space that was overwritten, 0 to 1.
    double shareReached() const;
    /// Whether a wipe that completes reaches the old copies `reason` stands for.
    static Reach reach(StorageReason reason);
    /// Whether this wipe leaves none of the old copies `verdict` warned about: it completed,
    /// reached all the free space, and every warning is one the fill reaches.
    bool resolves(const StorageVerdict& verdict) const;
};

Q_DECLARE_METATYPE(FreeSpaceWipeReport)
