// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

/// One run of the built corvane-shred, to its end.
struct ShredToolRun
{
    int exitCode = -1; ///< also when it did not start or finish
    QString out;
    QString err;

    static QString program();
    /// Runs the tool in `workingDir` with `arguments`, each read through printf's %b by a shell
    /// first ("bad\\0377" is the byte 0xff). Leading NAME=value words set the environment, else
    /// the locale is C.UTF-8. As uid/gid 65534 when `unprivileged`. Standard input gets `input`,
    /// or stays an open pipe never written: a tool that waited for input would not finish.
    static ShredToolRun run(QStringList arguments, const QString& workingDir = {},
        bool unprivileged = false, const QByteArray& input = {});
    /// The summary's numbers (the last line of out): files, other entries, paths removed, paths,
    /// not erased, refused; empty when there is none.
    QList<int> summary() const;
    /// Root, setpriv, and a build folder uid 65534 can reach.
    static bool runsUnprivileged();
    static bool setOwnerAndMode(const QString& path, uid_t owner, mode_t mode);
};
