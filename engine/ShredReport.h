// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StorageVerdict.h"

#include <QList>
#include <QMetaType>
#include <QString>

/// One path a shred run could not erase, and why. The words users read come from the language
/// table (ErasureTexts), so the window and the command line say the same thing.
struct ShredFailure
{
    enum class Kind : quint8
    {
        Missing, ///< nothing at the path any more
        ChangedSinceListed, ///< not the very file or link that was listed
        ChangedWhileErasing, ///< replaced, grown or relinked during its passes
        Unexamined, ///< could not be examined (`error`)
        OtherMount, ///< on another mounted file system; left untouched
        HardLinks, ///< `detail` names; overwriting would destroy the other names' data
        FolderForbidsRemoval, ///< its folder does not let this user unlink it (`error`)
        StickyFolder, ///< a sticky folder, and the file is someone else's
        OpenFailed, ///< (`error`)
        WriteFailed, ///< (`error`)
        SyncFailed, ///< the pass did not reach the disk (`error`)
        VerifyMismatch, ///< read back, the file does not hold the pattern
        VerifyReadFailed, ///< (`error`)
        Stopped, ///< stopped on request in the middle of its passes; kept
        NotReached, ///< the run stopped before reaching the rest of this folder
        UnlinkFailed, ///< overwritten, but could not be unlinked (`error`)
        EntryNotRemoved, ///< a link, special file or folder could not be removed (`error`)
        FolderUnreadable, ///< (`error`)
        FolderNoLongerEmpty, ///< a listed empty folder gained entries
        FolderStillHolds, ///< a folder stays: entries not erased or not in the list
        UnreadableWhenListed, ///< nothing could be read about it when it was listed
        StillThere, ///< a file the run did not reach is still there
        RefusedSystemFolder, ///< the root or a folder directly under it
        RefusedHomeFolder,
    };

    QString path;
    Kind kind = Kind::StillThere;
    int error = 0; ///< errno, where the kind says so
    quint64 detail = 0; ///< the link count for HardLinks
};

/// A file that was overwritten and unlinked, but whose old contents may remain on its storage.
struct ShredWarning
{
    QString path;
    StorageVerdict verdict;
};

/// What one call of ZPHShred::shredFile did.
struct ShredReport
{
    qint64 filesErased = 0; ///< regular files overwritten, synced and unlinked
    quint64 bytesErased = 0; ///< their lengths in bytes
    quint64 allocatedErased = 0; ///< their allocated sizes, taken before the first pass
    qint64 entriesRemoved = 0; ///< links, special files and emptied folders removed unwritten
    QList<ShredFailure> failures;
    /// Erased files whose old contents may remain; they also count in filesErased.
    QList<ShredWarning> warnings;
    /// The notes of every file erased, each once, in StorageReason order.
    QList<StorageReason> notes;
    bool aborted = false; ///< stopped by the abort flag before the end
    bool stopped = false; ///< stopped on request, after a chunk or between files
    QString stoppedPath; ///< the file interrupted by the stop, kept; empty between files
    bool pathMissing = false; ///< the handed path did not exist
    bool pathRemoved = false; ///< nothing is left of the handed path

    bool succeeded() const { return failures.isEmpty() && !aborted && !stopped && !pathMissing; }
    /// Adds `other`'s figures, lists and stop flags to this one; the path flags stay.
    void merge(const ShredReport& other);
};

Q_DECLARE_METATYPE(ShredFailure)
Q_DECLARE_METATYPE(ShredReport)
