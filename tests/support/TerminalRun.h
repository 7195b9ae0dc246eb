// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

/// One run of a program with its standard error on a pseudo-terminal, to its end.
struct TerminalRun
{
    bool available = false; ///< a pseudo-terminal could be had
    int exitCode = -1; ///< -1 when it crashed or did not finish in 30 seconds
    QByteArray terminal; ///< everything the terminal got

    /// Runs `program` on a terminal `columns` wide; reads until the terminal hangs up or has
    /// nothing more for two seconds.
    static TerminalRun run(const QString& program, const QStringList& arguments, int columns);
};
