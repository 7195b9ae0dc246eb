// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

/// One run of an external program, to its end.
struct ProgramRun
{
    int exitCode = -1; ///< -1 when it crashed, could not start or was killed at the time limit
    QByteArray out;
    QByteArray err;

    /// Runs `program` in the test's environment changed by `environment` ("NAME=VALUE" sets,
    /// "NAME" alone removes). The event loop keeps running meanwhile, so that a server in the
    /// test process can answer the program. Killed after `timeoutMs`.
    static ProgramRun run(const QString& program, const QStringList& arguments,
        const QStringList& environment = {}, const QString& workingDirectory = {},
        int timeoutMs = 30000);
};
