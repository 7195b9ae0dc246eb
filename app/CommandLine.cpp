// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <QByteArray>
#include <QFile>

CommandLine::CommandLine(const QStringList& arguments)
{
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (optionsEnded || argument == QLatin1String("-") || !argument.startsWith(u'-')) {
            m_paths << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else {
            if (argument == QLatin1String("--help")) {
                m_request = Request::Help;
            } else if (argument == QLatin1String("--version")) {
                m_request = Request::Version;
            } else {
                m_request = Request::UsageError;
                m_badOption = argument;
            }
            m_paths.clear();
            return;
        }
    }
}

QStringList CommandLine::fromArgv(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    return arguments;
}

int CommandLine::answer(FILE* out, FILE* err) const
{
    QByteArray text;
    switch (m_request) {
    case Request::Run:
        return 0;
    case Request::UsageError:
        std::fprintf(err,
            "corvane: unrecognized option '%s'\n"
            "Try 'corvane --help' for more information.\n",
            QFile::encodeName(m_badOption).constData());
        return 2;
    case Request::Help:
        text = QByteArrayLiteral(
            "Usage: corvane [PATH]...\n"
            "Opens the Corvane window, on the files list with the PATHs when any are given,\n"
            "as if they had been dropped on it. Nothing is erased before you confirm in the\n"
            "window. When Corvane is already running, it receives the PATHs and comes forward.\n"
            "\n"
            "      --help      show this help and exit\n"
            "      --version   show the version and exit\n"
            "      --          end of options: every later argument is a PATH\n"
            "\n"
            "To erase from a terminal, without the window, see corvane-shred --help.\n");
        break;
    case Request::Version:
        text = QByteArrayLiteral("corvane (Corvane) " CORVANE_VERSION "\n"
                                 "Copyright (C) 2026 The Corvane developers.\n"
                                 "License GPLv3+: GNU GPL version 3 or later "
                                 "<https://gnu.org/licenses/gpl.html>.\n"
                                 "This is free software: you are free to change and "
                                 "redistribute it.\n"
                                 "There is NO WARRANTY, to the extent permitted by law.\n");
        break;
    }
    // A help that never reached its reader (a full disk, a closed pipe) is a failure.
    const bool written = std::fwrite(text.constData(), 1, size_t(text.size()), out)
            == size_t(text.size())
        && std::fflush(out) == 0;
    if (!written) {
        std::fprintf(err, "corvane: cannot write to standard output\n");
        return 1;
    }
    return 0;
}
