// SPDX-License-Identifier: GPL-3.0-or-later
#include "FreeSpaceWipeTexts.h"

#include "LanguageTable.h"
#include "SizeText.h"

#include <algorithm>
#include <cstring>

namespace {

QString key(int number)
{
    return QStringLiteral("IDS_KQ_") + QString::number(number);
}

// Short of the whole free space: the share told rather than rounded up to "all".
constexpr double kWholeShare = 0.99;

} // namespace

QString FreeSpaceWipeTexts::shortReason(StorageReason reason)
{
    switch (reason) {
    case StorageReason::CopyOnWrite:
        return localizedText(key(540));
    case StorageReason::SharedExtents:
        return localizedText(key(541));
    case StorageReason::DataJournal:
        return localizedText(key(542));
    case StorageReason::InlineData:
        return localizedText(key(543));
    case StorageReason::LogStructured:
        return localizedText(key(544));
    case StorageReason::RemoteOrLayered:
        return localizedText(key(545));
    case StorageReason::BackingFile:
        return localizedText(key(546));
    case StorageReason::FlashStorage:
    case StorageReason::MemoryOnly:
    case StorageReason::EncryptedDevice:
        break;
    }
    return {};
}

QString FreeSpaceWipeTexts::shortWarning(StorageReason reason, const QString& count)
{
    return localizedFormat(key(547), {shortReason(reason), count});
}

QString FreeSpaceWipeTexts::unreachedText(StorageReason reason)
{
    switch (reason) {
    case StorageReason::SharedExtents:
        return localizedText(key(558));
    case StorageReason::RemoteOrLayered:
        return localizedText(key(559));
    case StorageReason::InlineData:
        return localizedText(key(560));
    case StorageReason::LogStructured:
        return localizedText(key(561));
    case StorageReason::FlashStorage:
        return localizedText(key(562));
    case StorageReason::BackingFile:
        return localizedText(key(563));
    case StorageReason::CopyOnWrite:
    case StorageReason::DataJournal:
    case StorageReason::MemoryOnly:
    case StorageReason::EncryptedDevice:
        break;
    }
    return {};
}

QString FreeSpaceWipeTexts::percent(double share)
{
    return QString::number(share * 100, 'f', share >= 0.999 ? 0 : 1) + u'%';
}

QStringList FreeSpaceWipeTexts::outcome(
    const FreeSpaceWipeReport& report, const QList<StorageReason>& reasons, qint64 resolvedFiles)
{
    using Refusal = FreeSpaceWipeReport::Refusal;
    const QString where = report.mountPoint;
    const QString error = QString::fromLocal8Bit(std::strerror(report.error));
    switch (report.refusal) {
    case Refusal::None:
        break;
    case Refusal::Unexamined:
        return {localizedFormat(key(557), {report.folder, error})};
    case Refusal::ReadOnly:
        return {localizedFormat(key(553), where)};
    case Refusal::NotWritable:
        return {localizedFormat(key(554), {report.folder, error})};
    case Refusal::AlreadyFull:
        return {localizedFormat(key(555), where)};
    case Refusal::MemoryOnly:
        return {localizedFormat(key(556), where)};
    }
    if (report.leftFillBehind)
        return {localizedFormat(key(565), {where, error})};
    if (report.stopped)
        return {localizedFormat(key(552), where)};
    if (report.error != 0)
        return {localizedFormat(key(564), {where, error})};

    QStringList lines;
    const QString size = sizeText(double(report.bytesFilled));
    if (resolvedFiles == 1)
        lines << localizedFormat(key(549), {where, size});
    else if (resolvedFiles > 1)
        lines << localizedFormat(key(548), {where, size, QString::number(resolvedFiles)});
    if (report.shareReached() < kWholeShare) {
        // The administrator's reserve is reachable by the administrator; ext4 keeps some for
        // itself.
        lines << localizedFormat(key(report.administrator ? 577 : 551),
            {percent(report.shareReached()), where, sizeText(double(report.leftUnwritten))});
    } else if (resolvedFiles == 0) {
        lines << localizedFormat(key(550), {where, size});
    }
    QList<StorageReason> all = reasons + report.fileSystemWarnings + report.notes;
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    for (const StorageReason reason : std::as_const(all)) {
        if (const QString text = unreachedText(reason); !text.isEmpty())
            lines << text;
    }
    return lines;
}

QString FreeSpaceWipeTexts::summary(const FreeSpaceWipeReport& report)
{
    return localizedFormat(key(566),
        {report.mountPoint, report.fileSystem, sizeText(double(report.bytesWritten)),
            percent(report.shareReached())});
}
