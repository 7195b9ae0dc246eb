// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredArguments.h"

#include "OptionGrammar.h"
#include "ShellQuote.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr OptionGrammar::Option kOptions[] = {
    {"dry-run", 0, false},
    {"files0-from", 0, true},
    {"force", 'f', false},
    {"help", 'h', false},
    {"method", 'm', true},
    {"quiet", 'q', false},
    {"verbose", 'v', false},
    {"verify", 0, false},
    {"version", 0, false},
    {"wipe-free-space", 0, true, true},
};

} // namespace

ShredArguments ShredArguments::parse(const QList<QByteArray>& arguments)
{
    ShredArguments result;
    const OptionGrammar::Parsed parsed = OptionGrammar::parse(kOptions, arguments.mid(1));
    for (const auto& [option, value] : parsed.options) {
        const QByteArray name = option->longName;
        if (name == "dry-run") {
            result.dryRun = true;
        } else if (name == "files0-from") {
            result.files0From = value;
        } else if (name == "force") {
            result.force = true;
        } else if (name == "help") {
            result.help = true;
        } else if (name == "method") {
            if (value != "1" && value != "2" && value != "3") {
                result.error = "invalid method " + ShellQuote::quoted(value) + ": use 1, 2 or 3";
                return result;
            }
            result.method = value.toInt();
        } else if (name == "quiet") {
            result.quiet = true;
        } else if (name == "verbose") {
            result.verbose = true;
        } else if (name == "verify") {
            result.verify = true;
        } else if (name == "version") {
            result.version = true;
        } else if (name == "wipe-free-space") {
            result.wipeFreeSpace = true;
            result.wipeFolder = value;
        }
    }
    result.error = parsed.error;
    if (!result.error.isEmpty())
        return result;
    result.paths = parsed.operands;
    if (!result.files0From.isEmpty() && !result.paths.isEmpty())
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
        error = "cannot read file names from " + ShellQuote::quoted(files0From) + ": "
            + std::strerror(errno);
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
