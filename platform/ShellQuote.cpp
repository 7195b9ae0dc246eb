// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShellQuote.h"

#include <QString>
#include <cstdio>
#include <cstring>
#include <langinfo.h>

namespace {

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

QByteArray escaped(unsigned char c)
{
    switch (c) {
    case '\n':
        return "\\n";
    case '\t':
        return "\\t";
    case '\r':
        return "\\r";
    case '\a':
        return "\\a";
    case '\b':
        return "\\b";
    case '\f':
        return "\\f";
    case '\v':
        return "\\v";
    case 0x1b:
        return "\\E";
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

qsizetype ShellQuote::validSequenceLength(const QByteArray& bytes, qsizetype at)
{
    const auto byte = [&bytes](qsizetype i) { return static_cast<unsigned char>(bytes.at(i)); };
    const unsigned char lead = byte(at);
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

bool ShellQuote::isValidUtf8(const QByteArray& bytes)
{
    for (qsizetype i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes.at(i)) < 0x80)
            ++i;
        else if (const qsizetype length = validSequenceLength(bytes, i))
            i += length;
        else
            return false;
    }
    return true;
}

bool ShellQuote::localeIsUtf8()
{
    const char* codeset = ::nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

QByteArray ShellQuote::quoted(const QByteArray& bytes, bool utf8)
{
    const bool validUtf8 = utf8 && isValidUtf8(bytes);
    const auto special
        = [validUtf8](unsigned char c) { return isControl(c) || (!validUtf8 && c >= 0x80); };

    bool anySpecial = false;
    for (const char c : bytes)
        anySpecial = anySpecial || special(static_cast<unsigned char>(c));
    if (!anySpecial) {
        if (!bytes.contains('\''))
            return '\'' + bytes + '\'';
        if (!bytes.contains('"') && !bytes.contains('$') && !bytes.contains('`')
            && !bytes.contains('\\'))
            return '"' + bytes + '"';
        return singleQuoted(bytes);
    }
    // Printable runs quoted, each run of special bytes as one $'...' piece: 'a'$'\n\t''b'.
    QByteArray out;
    QByteArray run;
    QByteArray specials;
    for (const char c : bytes) {
        if (special(static_cast<unsigned char>(c))) {
            if (!run.isEmpty())
                out += singleQuoted(run);
            run.clear();
            specials += escaped(static_cast<unsigned char>(c));
        } else {
            if (!specials.isEmpty())
                out += (out.isEmpty() ? "''$'" : "$'") + specials + '\'';
            specials.clear();
            run += c;
        }
    }
    // A name that begins with an escaped byte still begins with a quote, as coreutils writes it.
    if (!specials.isEmpty())
        out += (out.isEmpty() ? "''$'" : "$'") + specials + '\'';
    if (!run.isEmpty())
        out += singleQuoted(run);
    return out;
}
