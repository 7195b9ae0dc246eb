// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <cstdio>

/// What `corvane`'s own arguments ask for: paths to open, or an answer printed in the terminal.
/// Qt's options (-platform, -style, ...) are meant to be taken out by QApplication first.
class CommandLine
{
public:
    enum class Request { Run, Help, Version, UsageError };

    /// `arguments` without the program name. The first of --help, --version or an unknown
    /// option decides, as getopt reads them; `--` makes every later argument a path.
    explicit CommandLine(const QStringList& arguments);
    /// argv without the program name, before any QApplication exists.
    static QStringList fromArgv(int argc, char* argv[]);

    Request request() const { return m_request; }
    /// The paths as given, for Request::Run.
    const QStringList& paths() const { return m_paths; }

    /// Prints the help, the version or the usage error and returns the exit status: 0, or 2
    /// for a usage error, or 1 when standard output could not be written.
    int answer(FILE* out = stdout, FILE* err = stderr) const;

private:
    Request m_request = Request::Run;
    QStringList m_paths;
    QString m_badOption;
};
