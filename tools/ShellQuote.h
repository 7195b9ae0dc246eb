// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

/// A path as GNU coreutils quote it in messages: in single quotes, in double quotes when it holds
/// a single quote, and with control characters and bytes that are not UTF-8 as $'\n' or $'\377'
/// pieces, so every name is visible, unambiguous and can be pasted back into a shell.
class ShellQuote
{
public:
    static QByteArray quoted(const QByteArray& bytes);
};
