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
    case Kind::Missing:
        return 211;
    case Kind::ChangedSinceListed:
        return 212;
    case Kind::ChangedWhileErasing:
        return 213;
    case Kind::Unexamined:
        return 214;
    case Kind::OtherMount:
        return 215;
    case Kind::HardLinks:
        return 216;
    case Kind::FolderForbidsRemoval:
        return 217;
    case Kind::StickyFolder:
        return 218;
    case Kind::OpenFailed:
        return 219;
    case Kind::WriteFailed:
        return 220;
    case Kind::SyncFailed:
        return 221;
    case Kind::VerifyMismatch:
        return 222;
    case Kind::VerifyReadFailed:
        return 223;
    case Kind::Stopped:
        return 224;
    case Kind::NotReached:
        return 225;
    case Kind::UnlinkFailed:
        return 226;
    case Kind::EntryNotRemoved:
        return 227;
    case Kind::FolderUnreadable:
        return 228;
    case Kind::FolderNoLongerEmpty:
        return 229;
    case Kind::FolderStillHolds:
        return 230;
    case Kind::UnreadableWhenListed:
        return 231;
    case Kind::StillThere:
        return 232;
    case Kind::RefusedSystemFolder:
        return 233;
    case Kind::RefusedHomeFolder:
        return 234;
    }
    return 232;
}

int reasonKey(StorageReason reason)
{
    using Reason = StorageReason;
    switch (reason) {
    case Reason::CopyOnWrite:
        return 235;
    case Reason::SharedExtents:
        return 236;
    case Reason::DataJournal:
        return 237;
    case Reason::InlineData:
        return 238;
    case Reason::LogStructured:
        return 239;
    case Reason::RemoteOrLayered:
        return 240;
    case Reason::BackingFile:
        return 260;
    case Reason::FlashStorage:
        return 241;
    case Reason::MemoryOnly:
        return 242;
    case Reason::EncryptedDevice:
        return 243;
    }
    return 235;
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
    return localizedText(key(reasonKey(reason)));
}

QString ErasureTexts::listedRefusalText(const Filedata& file)
{
    if (file.isFolder)
        return {};
    // The run refuses both anyway; telling it here lets the user act before confirming.
    if (file.links > 1)
        return localizedFormat(QStringLiteral("IDS_KQ_342"), QString::number(file.links));
    if (file.immutable)
        return localizedText(QStringLiteral("IDS_KQ_343"));
    return {};
}

QString ErasureTexts::methodText(int nPassType)
{
    // As the engine reads the pass type: anything but 2 and 3 is one pass of zeros.
    switch (nPassType) {
    case 2:
        return localizedText(QStringLiteral("IDS_KQ_18"));
    case 3:
        return localizedText(QStringLiteral("IDS_KQ_19"));
    default:
        return localizedText(QStringLiteral("IDS_KQ_17"));
    }
}

QString ErasureTexts::withoutNotErasedMark(const QString& text)
{
    // The command line prints the texts whole; only the window's lists drop the mark.
    const QString mark = localizedText(QStringLiteral("IDS_KQ_537"));
    return !mark.isEmpty() && text.startsWith(mark) ? text.mid(mark.size()) : text;
}

QString ErasureTexts::verdictText(const StorageVerdict& verdict)
{
    if (verdict.tier() == StorageVerdict::Tier::Reached)
        return {};
    return reasonText(verdict.mainReason());
}

QString ErasureTexts::refusalText(PathCheck::Verdict verdict)
{
    using Verdict = PathCheck::Verdict;
    switch (verdict) {
    case Verdict::Accepted:
        break;
    case Verdict::RestrictedName:
        return localizedText(key(623));
    case Verdict::NotWritable:
        return localizedText(key(624));
    case Verdict::FileSystemRoot:
        return localizedText(key(625));
    case Verdict::TopLevelFolder:
        return localizedText(key(626));
    case Verdict::HomeFolder:
        return localizedText(key(627));
    case Verdict::SystemFolder:
        return localizedText(key(628));
    case Verdict::VirtualFileSystem:
        return localizedText(key(629));
    case Verdict::Missing:
        return localizedText(key(630));
    case Verdict::NameNotExact:
        return localizedText(key(631));
    }
    return {};
}
