// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredArguments.h"

#include "ShellQuote.h"

#include <cerrno>
#include <cstring>

namespace {

struct LongOption
{
    const char* name;
    bool takesValue;
};

constexpr LongOption kLongOptions[] = {
    {"dry-run", false}, {"files0-from", true}, {"force", false},  {"help", false},
    {"method", true},   {"quiet", false},      {"verbose", false}, {"verify", false},
    {"version", false},
};

} // namespace

ShredArguments ShredArguments::parse(const QList<QByteArray>& arguments)
{
    ShredArguments result;
    bool optionsEnded = false;
    const auto setMethod = [&result](const QByteArray& value) {
        if (value == "1" || value == "2" || value == "3")
            result.method = value.toInt();
        else
            result.error = "invalid method " + ShellQuote::quoted(value) + ": use 1, 2 or 3";
    };
    const auto apply = [&](const QByteArray& name, const QByteArray& value) {
        if (name == "dry-run")
            result.dryRun = true;
        else if (name == "files0-from")
            result.files0From = value;
        else if (name == "force")
            result.force = true;
        else if (name == "help")
            result.help = true;
        else if (name == "method")
            setMethod(value);
        else if (name == "quiet")
            result.quiet = true;
        else if (name == "verbose")
            result.verbose = true;
        else if (name == "verify")
            result.verify = true;
        else if (name == "version")
            result.version = true;
    };

    for (qsizetype i = 1; i < arguments.size() && result.error.isEmpty(); ++i) {
        const QByteArray& argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith('-') || argument == "-") {
            result.paths.append(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument.startsWith("--")) {
            const qsizetype equals = argument.indexOf('=');
            const QByteArray written = argument.mid(2, equals < 0 ? -1 : equals - 2);
            QList<const LongOption*> matches;
            for (const LongOption& option : kLongOptions) {
                if (written == option.name) {
                    matches = {&option};
                    break;
                }
                if (QByteArray(option.name).startsWith(written))
                    matches.append(&option);
            }
            if (matches.isEmpty()) {
                result.error = "unrecognized option " + ShellQuote::quoted(argument);
            } else if (matches.size() > 1) {
                result.error = "option " + ShellQuote::quoted(argument) + " is ambiguous; possibilities:";
                for (const LongOption* option : matches)
                    result.error += " '--" + QByteArray(option->name) + '\'';
            } else if (!matches.first()->takesValue && equals >= 0) {
                result.error = "option '--" + QByteArray(matches.first()->name) + "' doesn't allow an argument";
            } else if (matches.first()->takesValue && equals < 0 && i + 1 >= arguments.size()) {
                result.error = "option '--" + QByteArray(matches.first()->name) + "' requires an argument";
            } else {
                const QByteArray value = !matches.first()->takesValue ? QByteArray()
                    : equals >= 0                                       ? argument.mid(equals + 1)
                                                                        : arguments.at(++i);
                apply(matches.first()->name, value);
            }
        } else {
            // A cluster of short options; -m takes the rest of the word, or the next argument.
            for (qsizetype k = 1; k < argument.size() && result.error.isEmpty(); ++k) {
                const char c = argument.at(k);
                if (c == 'm') {
                    if (k + 1 < argument.size())
                        setMethod(argument.mid(k + 1));
                    else if (i + 1 < arguments.size())
                        setMethod(arguments.at(++i));
                    else
                        result.error = "option requires an argument -- 'm'";
                    break;
                }
                if (c == 'v')
                    result.verbose = true;
                else if (c == 'q')
                    result.quiet = true;
                else if (c == 'f')
                    result.force = true;
                else if (c == 'h')
                    result.help = true;
                else
                    result.error = "invalid option -- " + ShellQuote::quoted(QByteArray(1, c));
            }
        }
    }
    if (result.error.isEmpty() && !result.files0From.isEmpty() && !result.paths.isEmpty())
        result.error = "extra operand " + ShellQuote::quoted(result.paths.first())
            + "\nfile operands cannot be combined with --files0-from";
    return result;
}

bool ShredArguments::readFiles0(FILE* stream)
{
    QByteArray all;
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        all.append(buffer, qsizetype(n));
    if (std::ferror(stream)) {
        error = "cannot read file names from " + ShellQuote::quoted(files0From) + ": " + std::strerror(errno);
        return false;
    }
    if (all.endsWith('\0'))
        all.chop(1);
    if (all.isEmpty())
        return true;
    const QList<QByteArray> names = all.split('\0');
    for (qsizetype k = 0; k < names.size(); ++k) {
        if (names.at(k).isEmpty()) {
            error = ShellQuote::quoted(files0From) + ":" + QByteArray::number(k + 1)
                + ": invalid zero-length file name";
            return false;
        }
        paths.append(names.at(k));
    }
    return true;
}
