// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

/// A path as GNU coreutils quote it in messages: in single quotes, in double quotes when it holds
/// a single quote, and with control characters and bytes that are not UTF-8 as $'\n' or $'\377'
/// pieces, so every name is visible, unambiguous and can be pasted back into a shell.
class ShellQuote
{
public:
    /// `utf8`: whether the terminal shows UTF-8 text; when it does not (the C locale), every
    /// byte above 0x7F is escaped too, as coreutils does.
    static QByteArray quoted(const QByteArray& bytes, bool utf8 = true);
    /// Whether the locale set with setlocale() uses UTF-8 (QCoreApplication sets it from the
    /// environment).
    static bool localeIsUtf8();

    /// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
    static bool isValidUtf8(const QByteArray& bytes);
    /// The length of the valid UTF-8 sequence of two to four bytes at `at`, or 0.
    static qsizetype validSequenceLength(const QByteArray& bytes, qsizetype at);
};
