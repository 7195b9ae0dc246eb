// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

/// What corvane-shred counted over all its paths, and the last line that tells it.
struct ShredSummary
{
    qint64 files = 0; ///< erased, or that a dry run would erase
    quint64 bytes = 0; ///< their lengths
    qint64 otherEntries = 0; ///< links, special files and folders removed
    int pathsRemoved = 0; ///< named paths of which nothing is left
    int notErased = 0; ///< items told as not erased
    int refused = 0; ///< named paths the checks refused
    qint64 warned = 0; ///< erased files whose old contents may remain

    /// The summary line, in the user's language and the locale's encoding, without its newline.
    QByteArray text(bool dryRun, int pathCount) const;
};
