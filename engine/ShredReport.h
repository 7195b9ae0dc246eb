#pragma once

#include <QList>
#include <QString>

/// One path a shred run could not erase, and why.
struct ShredFailure
{
    QString path;
    QString reason;
};

/// What one call of ZPHShred::shredFile did.
struct ShredReport
{
    qint64 filesErased = 0;      ///< regular files overwritten, synced and unlinked
    quint64 bytesErased = 0;     ///< their lengths in bytes
    qint64 entriesRemoved = 0;   ///< links, special files and emptied folders removed unwritten
    QList<ShredFailure> failures;
    bool aborted = false;        ///< stopped by the abort flag before the end
    bool pathMissing = false;    ///< the handed path did not exist
    bool pathRemoved = false;    ///< nothing is left of the handed path

    bool succeeded() const { return failures.isEmpty() && !aborted && !pathMissing; }
};
