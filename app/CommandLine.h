// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <cstdio>

/// What `corvane`'s arguments ask for: paths to open, or an answer printed in the terminal.
/// Read before the toolkit exists, with the grammar corvane-shred uses, and the toolkit is
/// handed none of them: "-reverse" or "-platform" after "--" is a file's name, and before it
/// an unknown option.
class CommandLine
{
public:
    enum class Request
    {
        Run,
        Help,
        Version,
        UsageError
    };

    /// `arguments` as argv holds them, without the program name. The first of --help,
    /// --version or an error decides, as getopt reads them.
    explicit CommandLine(const QList<QByteArray>& arguments);
    /// argv without the program name, each argument's own bytes.
    static QList<QByteArray> fromArgv(int argc, char* argv[]);

    Request request() const { return m_request; }
    /// The paths as given, for Request::Run, every byte kept (PathText::fromNative()).
    const QStringList& paths() const { return m_paths; }
    /// paths() made absolute against the working folder, as they are handed over.
    QStringList absolutePaths() const;

    /// Prints the help, the version or the usage error and returns the exit status: 0, or 2
    /// for a usage error, or 1 when standard output could not be written.
    int answer(FILE* out = stdout, FILE* err = stderr) const;

private:
    Request m_request = Request::Run;
    QStringList m_paths;
    QByteArray m_error;
};
