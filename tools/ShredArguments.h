// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

#include <cstdio>

/// The command line of corvane-shred, read the way GNU tools read theirs: options anywhere
/// before "--", combined short options ("-vm3"), long options by any unique prefix ("--verb"),
/// "--opt=value" or "--opt value", and the paths as the arguments' own bytes.
struct ShredArguments
{
    int method = 1;
    bool verbose = false;
    bool verify = false;
    bool quiet = false;
    bool force = false;
    bool dryRun = false;
    bool help = false;
    bool version = false;
    /// --wipe-free-space: after erasing, wipe the free space where a warning can be resolved.
    bool wipeFreeSpace = false;
    QByteArray wipeFolder; ///< --wipe-free-space=DIR: also wipe the free space of DIR's disk
    QByteArray files0From; ///< "-" for standard input; empty when not given
    QList<QByteArray> paths;
    /// Why the line is not usable; empty when it is.
    QByteArray error;

    /// `arguments` as argv holds them, program name first.
    static ShredArguments parse(const QList<QByteArray>& arguments);
    /// Adds the NUL-separated names of `stream` to `paths`; false with `error` set on a read
    /// error or an empty name.
    bool readFiles0(FILE* stream);
};
