// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QStringList>

/// The home folders that are never added: people's (the process's own, every one in the
/// password database, and that of the user who ran sudo or pkexec) and system accounts'. Each
/// is listed as written and with its links resolved, so either spelling of a path matches.
struct ProtectedHomes
{
    QStringList personal;
    QStringList system; ///< of accounts that run services, such as bin or postgres

    /// The database is read once per process; the process's own home each time, as HOME may
    /// change.
    static ProtectedHomes current();
    /// Whether `path` is one of `homes` or a folder that holds one.
    static bool isHomeOrAncestor(const QString& path, const QStringList& homes);
    /// Folders added to current() from now on; empty lists remove them. For tests, which
    /// cannot add users to the password database.
    static void setExtraForTesting(const QStringList& folders, const QStringList& systemFolders);
};
