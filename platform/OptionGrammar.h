// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <span>

/// The command-line grammar both of Corvane's programs share, the way GNU tools read theirs:
/// options anywhere before "--", combined short options ("-vm3"), long options by any unique
/// prefix ("--verb"), "--opt=value" or "--opt value", and every other argument an operand,
/// kept as its own bytes. Errors are worded as getopt words them.
class OptionGrammar
{
public:
    struct Option
    {
        const char* longName;
        char shortName; ///< 0: long form only
        bool takesValue;
        /// The value may be left out; then only "--opt=value" gives one, never the next word.
        bool valueOptional = false;
    };

    struct Parsed
    {
        /// The options in the order given, each with its value (empty when it takes none).
        QList<std::pair<const Option*, QByteArray>> options;
        QList<QByteArray> operands;
        /// Why the line is not usable, without the program's name; empty when it is.
        QByteArray error;
    };

    /// `arguments` without the program name. Stops at the first error.
    static Parsed parse(std::span<const Option> options, const QList<QByteArray>& arguments);
};
