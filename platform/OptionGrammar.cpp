// SPDX-License-Identifier: GPL-3.0-or-later
#include "OptionGrammar.h"

#include "ShellQuote.h"

OptionGrammar::Parsed OptionGrammar::parse(
    std::span<const Option> options, const QList<QByteArray>& arguments)
{
    Parsed result;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size() && result.error.isEmpty(); ++i) {
        const QByteArray& argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith('-') || argument == "-") {
            result.operands.append(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument.startsWith("--")) {
            const qsizetype equals = argument.indexOf('=');
            const QByteArray written = argument.mid(2, equals < 0 ? -1 : equals - 2);
            QList<const Option*> matches;
            for (const Option& option : options) {
                if (written == option.longName) {
                    matches = {&option};
                    break;
                }
                if (QByteArray(option.longName).startsWith(written))
                    matches.append(&option);
            }
            if (matches.isEmpty()) {
                result.error = "unrecognized option " + ShellQuote::quoted(argument);
            } else if (matches.size() > 1) {
                result.error
                    = "option " + ShellQuote::quoted(argument) + " is ambiguous; possibilities:";
                for (const Option* option : matches)
                    result.error += " '--" + QByteArray(option->longName) + '\'';
            } else if (const Option* option = matches.first(); !option->takesValue && equals >= 0) {
                result.error
                    = "option '--" + QByteArray(option->longName) + "' doesn't allow an argument";
            } else if (option->takesValue && !option->valueOptional && equals < 0
                && i + 1 >= arguments.size()) {
                result.error
                    = "option '--" + QByteArray(option->longName) + "' requires an argument";
            } else {
                const QByteArray value = !option->takesValue ? QByteArray()
                    : equals >= 0                            ? argument.mid(equals + 1)
                    : option->valueOptional                  ? QByteArray()
                                                             : arguments.at(++i);
                result.options.append({option, value});
            }
        } else {
            // A cluster of short options; one that takes a value takes the rest of the word, or
            // the next argument.
            for (qsizetype k = 1; k < argument.size(); ++k) {
                const char c = argument.at(k);
                const Option* option = nullptr;
                for (const Option& candidate : options) {
                    if (candidate.shortName != 0 && candidate.shortName == c)
                        option = &candidate;
                }
                if (!option) {
                    result.error = "invalid option -- " + ShellQuote::quoted(QByteArray(1, c));
                    break;
                }
                if (!option->takesValue) {
                    result.options.append({option, QByteArray()});
                    continue;
                }
                if (k + 1 < argument.size())
                    result.options.append({option, argument.mid(k + 1)});
                else if (i + 1 < arguments.size())
                    result.options.append({option, arguments.at(++i)});
                else
                    result.error
                        = "option requires an argument -- " + ShellQuote::quoted(QByteArray(1, c));
                break;
            }
        }
    }
    return result;
}
