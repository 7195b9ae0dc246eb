// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMetaType>

/// Why overwriting a file in place may not reach every copy of its old contents.
enum class StorageReason : quint8
{
    // Warnings: old copies may stay where software can still read them back.
    CopyOnWrite, ///< btrfs (unless the file is No_COW), ZFS, bcachefs write new blocks
    SharedExtents, ///< the file shares its blocks with another file or a snapshot
    DataJournal, ///< ext3/ext4 journal file data (data=journal, or the file's +j attribute)
    InlineData, ///< small files live inside file-system metadata: this one's data, or its past
    LogStructured, ///< F2FS, NILFS2 never overwrite in place
    RemoteOrLayered, ///< NFS, SMB, FUSE, overlayfs: the real storage is out of sight
    BackingFile, ///< the file system lies in a loop device's file whose storage keeps old copies
                 // Notes: the overwrite reaches the device, or there was never a disk.
    FlashStorage, ///< a non-rotational device may keep old copies out of software's reach
    MemoryOnly, ///< tmpfs, ramfs: nothing was ever on a disk (swap may hold pages)
    EncryptedDevice, ///< good news: the data sits on an encrypted block device (dm-crypt)
};

/// What overwriting one file in place achieves on its storage.
struct StorageVerdict
{
    enum class Tier : quint8
    {
        Reached, ///< overwriting in place reaches the data
        Note, ///< reaches the device; the device or memory may still hold copies
        Warning, ///< old copies may stay readable by software
    };

    /// The warnings, most important first; empty when the overwrite reaches the data.
    QList<StorageReason> warnings;
    /// The notes (flash, memory, encrypted device), in StorageReason order.
    QList<StorageReason> notes;

    Tier tier() const
    {
        return !warnings.isEmpty() ? Tier::Warning : !notes.isEmpty() ? Tier::Note : Tier::Reached;
    }
    bool hasWarning() const { return !warnings.isEmpty(); }
    /// The reason users are told first: the first warning, else the first note.
    StorageReason mainReason() const
    {
        return !warnings.isEmpty() ? warnings.first() : notes.first();
    }

    bool operator==(const StorageVerdict&) const = default;
};

Q_DECLARE_METATYPE(StorageVerdict)
