// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShellQuote.h"

#include <QStringDecoder>

namespace {

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

QByteArray escaped(unsigned char c)
{
    switch (c) {
    case '\n': return "\\n";
    case '\t': return "\\t";
    case '\r': return "\\r";
    case '\a': return "\\a";
    case '\b': return "\\b";
    case '\f': return "\\f";
    case '\v': return "\\v";
    case 0x1b: return "\\E";
    default: {
        char octal[5];
        std::snprintf(octal, sizeof octal, "\\%03o", c);
        return octal;
    }
    }
}

// Printable text in single quotes, a quote inside as \'.
QByteArray singleQuoted(const QByteArray& text)
{
    QByteArray out = "'";
    for (const char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + '\'';
}

} // namespace

QByteArray ShellQuote::quoted(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)utf8.decode(bytes);
    const bool validUtf8 = !utf8.hasError();
    const auto special = [validUtf8](unsigned char c) { return isControl(c) || (!validUtf8 && c >= 0x80); };

    bool anySpecial = false;
    for (const char c : bytes)
        anySpecial = anySpecial || special(static_cast<unsigned char>(c));
    if (!anySpecial) {
        if (!bytes.contains('\''))
            return '\'' + bytes + '\'';
        if (!bytes.contains('"') && !bytes.contains('$') && !bytes.contains('`') && !bytes.contains('\\'))
            return '"' + bytes + '"';
        return singleQuoted(bytes);
    }
    // Printable runs quoted, each special byte as its own $'...' piece: 'a'$'\n''b'.
    QByteArray out;
    QByteArray run;
    for (const char c : bytes) {
        if (special(static_cast<unsigned char>(c))) {
            if (!run.isEmpty())
                out += singleQuoted(run);
            run.clear();
            out += "$'" + escaped(static_cast<unsigned char>(c)) + '\'';
        } else {
            run += c;
        }
    }
    if (!run.isEmpty())
        out += singleQuoted(run);
    return out;
}
