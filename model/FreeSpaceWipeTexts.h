// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FreeSpaceWipeReport.h"

#include <QString>
#include <QStringList>

/// The words users read about a wipe of free space, from the language table, so the window and
/// the command line say the same thing.
class FreeSpaceWipeTexts
{
public:
    /// A few words for a warning's reason ("copy-on-write"), for one short line per path.
    static QString shortReason(StorageReason reason);
    /// "old contents may remain (copy-on-write; 3 files)".
    static QString shortWarning(StorageReason reason, const QString& count);
    /// What the wipe did, main sentence first, then one sentence for each thing it could not
    /// reach among `reasons` (the warnings given before it) and its file system's own.
    /// `resolvedFiles` is how many warned files it resolved.
    static QStringList outcome(const FreeSpaceWipeReport& report,
        const QList<StorageReason>& reasons, qint64 resolvedFiles);
    /// Why the fill does not reach all the copies `reason` stands for; empty where it does.
    static QString unreachedText(StorageReason reason);
    /// One line: where, what was written and the share of the free space reached.
    static QString summary(const FreeSpaceWipeReport& report);
    /// "97.6%"
    static QString percent(double share);
};
