// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErasureTexts.h"

#include "LanguageTable.h"

#include <cstring>

namespace {

QString key(int number)
{
    return QStringLiteral("IDS_KQ_") + QString::number(number);
}

int failureKey(ShredFailure::Kind kind)
{
    using Kind = ShredFailure::Kind;
    switch (kind) {
    case Kind::Missing: return 211;
    case Kind::ChangedSinceListed: return 212;
    case Kind::ChangedWhileErasing: return 213;
    case Kind::Unexamined: return 214;
    case Kind::OtherMount: return 215;
    case Kind::HardLinks: return 216;
    case Kind::FolderForbidsRemoval: return 217;
    case Kind::StickyFolder: return 218;
    case Kind::OpenFailed: return 219;
    case Kind::WriteFailed: return 220;
    case Kind::SyncFailed: return 221;
    case Kind::VerifyMismatch: return 222;
    case Kind::VerifyReadFailed: return 223;
    case Kind::Stopped: return 224;
    case Kind::NotReached: return 225;
    case Kind::UnlinkFailed: return 226;
    case Kind::EntryNotRemoved: return 227;
    case Kind::FolderUnreadable: return 228;
    case Kind::FolderNoLongerEmpty: return 229;
    case Kind::FolderStillHolds: return 230;
    case Kind::UnreadableWhenListed: return 231;
    case Kind::StillThere: return 232;
    case Kind::RefusedSystemFolder: return 233;
    case Kind::RefusedHomeFolder: return 234;
    }
    return 232;
}

} // namespace

QString ErasureTexts::failureText(const ShredFailure& failure)
{
    const QString k = key(failureKey(failure.kind));
    if (failure.kind == ShredFailure::Kind::HardLinks)
        return localizedFormat(k, QString::number(failure.detail));
    return localizedFormat(k, QString::fromLocal8Bit(std::strerror(failure.error)));
}

QString ErasureTexts::reasonText(StorageReason reason)
{
    // The reasons are numbered in the table in the order of the enumeration.
    return localizedText(key(235 + int(reason)));
}

QString ErasureTexts::verdictText(const StorageVerdict& verdict)
{
    if (verdict.tier() == StorageVerdict::Tier::Reached)
        return {};
    return reasonText(verdict.mainReason());
}
