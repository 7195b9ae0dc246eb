// SPDX-License-Identifier: GPL-3.0-or-later
#include "FreeSpaceWipeReport.h"

#include <algorithm>

namespace {

// Free-space figures move by a few blocks while the fill runs (metadata, other programs); a
// fill that left less than this share unwritten counts as having reached it all.
constexpr double kWholeShare = 0.99;

} // namespace

double FreeSpaceWipeReport::shareReached() const
{
    const double total = double(bytesFilled) + double(leftUnwritten);
    return total > 0 ? std::min(1.0, double(bytesFilled) / total) : 0.0;
}

FreeSpaceWipeReport::Reach FreeSpaceWipeReport::reach(StorageReason reason)
{
    switch (reason) {
    case StorageReason::CopyOnWrite:
    case StorageReason::DataJournal:
    case StorageReason::EncryptedDevice:
        return Reach::Reached;
    case StorageReason::InlineData: // its first copy may be in the journal, the next in an inode
    case StorageReason::LogStructured: // checkpoints and reserved segments stay
    case StorageReason::FlashStorage: // the drive keeps remapped blocks of its own
        return Reach::Partly;
    case StorageReason::SharedExtents: // still in use by the other copy
    case StorageReason::RemoteOrLayered: // on another machine or a lower layer
    case StorageReason::BackingFile: // in the backing file's own storage
    case StorageReason::MemoryOnly:
        return Reach::NotReached;
    }
    return Reach::NotReached;
}

bool FreeSpaceWipeReport::resolves(const StorageVerdict& verdict) const
{
    // A journal's copies are gone once it went round twice; freed blocks once the fill took
    // the whole free space.
    return completed()
        && std::all_of(verdict.warnings.cbegin(), verdict.warnings.cend(), [&](StorageReason r) {
               return reach(r) == Reach::Reached
                   && (r == StorageReason::DataJournal ? journalCycled
                                                       : shareReached() >= kWholeShare);
           });
}
