// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "OptionGrammar.h"
#include "PathText.h"

namespace {

constexpr OptionGrammar::Option kOptions[] = {
    {"help", 'h', false},
    {"version", 0, false},
};

} // namespace

CommandLine::CommandLine(const QList<QByteArray>& arguments)
{
    const OptionGrammar::Parsed parsed = OptionGrammar::parse(kOptions, arguments);
    // An option before the error still answers, as getopt would have met it first.
    for (const auto& [option, value] : parsed.options) {
        m_request = option->shortName == 'h' ? Request::Help : Request::Version;
        return;
    }
    if (!parsed.error.isEmpty()) {
        m_request = Request::UsageError;
        m_error = parsed.error;
        return;
    }
    for (const QByteArray& operand : parsed.operands)
        m_paths << PathText::fromNative(operand);
}

QList<QByteArray> CommandLine::fromArgv(int argc, char* argv[])
{
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    return arguments;
}

QStringList CommandLine::absolutePaths() const
{
    const QString folder = PathText::fromNative(PathText::currentFolder());
    QStringList absolute;
    for (const QString& path : m_paths)
        absolute << (path.startsWith(u'/') ? path : PathText::join(folder, path));
    return absolute;
}

int CommandLine::answer(FILE* out, FILE* err) const
{
    QByteArray text;
    switch (m_request) {
    case Request::Run:
        return 0;
    case Request::UsageError:
        std::fprintf(err,
            "corvane: %s\n"
            "Try 'corvane --help' for more information.\n",
            m_error.constData());
        return 2;
    case Request::Help:
        text = QByteArrayLiteral(
            "Usage: corvane [PATH]...\n"
            "Opens the Corvane window, on the files list with the PATHs when any are given,\n"
            "as if they had been dropped on it. Nothing is erased before you confirm in the\n"
            "window. When Corvane is already running, it receives the PATHs and comes\n"
            "forward.\n"
            "\n"
            "  -h, --help      show this help and exit\n"
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
    const bool written
        = std::fwrite(text.constData(), 1, size_t(text.size()), out) == size_t(text.size())
        && std::fflush(out) == 0;
    if (!written) {
        std::fprintf(err, "corvane: cannot write to standard output\n");
        return 1;
    }
    return 0;
}
